// The item editor's logic: loading, the delay choice, OK and Cancel, token
// insertion and the window search tool, on the fake window system.
#include <gtest/gtest.h>

#include "tests/unit/CoreFixture.h"
#include "ui/ItemEditorPresenter.h"

using namespace rw;

namespace {

class FieldsView : public ItemEditorView {
public:
    void ShowTokenLists(const std::vector<std::string>& k, const std::vector<std::string>& f) override {
        keys = k;
        functions = f;
    }
    void ShowDelayChoices(const std::vector<std::string>& c) override { choices = c; }
    void ShowFields(const EditorFields& f) override { fields = f; }
    EditorFields ReadFields() override { return fields; }
    void ShowFoundWindow(const FoundWindow& f) override { found.push_back(f); }
    void InsertIntoMacro(const std::string& token) override { inserted.push_back(token); }
    void ShowSearchFace(bool dragging) override { faces.push_back(dragging); }
    void ShowNormalPointer() override { ++normalPointer; }
    void CloseWindow() override { ++closed; }

    int normalPointer = 0;
    Lines keys, functions, choices, inserted;
    EditorFields fields;
    std::vector<FoundWindow> found;
    std::vector<bool> faces;
    int closed = 0;
};

class ItemEditorTest : public DialogTest {
protected:
    void Load(const ItemRec& item) {
        CurItem = item;
        editor = std::make_unique<ItemEditorPresenter>(view, CurItem, KeyNames, facts, ItemEditorTextsFor(false));
        editor->Load();
    }
    std::string Chosen() const {
        const auto i = view.fields.delayChoice;
        return i < 0 ? "(none)" : view.choices[static_cast<std::size_t>(i)];
    }

    FieldsView view;
    SystemWindowFacts facts;
    std::unique_ptr<ItemEditorPresenter> editor;
};

// Edit sets the wait pointer for the whole program before the editor
// opens; the editor's loading gives the normal pointer back.
TEST_F(ItemEditorTest, LoadingEndsWithTheNormalPointer) {
    Load(Named("A", "t"));
    EXPECT_EQ(view.normalPointer, 1);
}

TEST_F(ItemEditorTest, BlankItemShowsExactAndNoDelayAndOkNamesItAfterTheTitle) {
    Load(ItemRec{});
    EXPECT_EQ(view.fields.titleTest, 0);
    EXPECT_EQ(Chosen(), "0");
    EXPECT_EQ(CurItem.Desc, "") << "not confirmed until OK";
    view.fields.title = "Save changes?";
    editor->Ok();
    EXPECT_EQ(CurItem, (ItemRec{"Save changes?", "Save changes?", 0, "", "", "", "", "", 0}));
    EXPECT_EQ(view.closed, 1);
}

TEST_F(ItemEditorTest, DelayChoiceRoundsUpAndALongerDelayKeepsAChoiceOfItsOwn) {
    struct Case {
        std::int32_t delay;
        const char* shown;
        std::int32_t back;
    };
    for (const Case& c : {Case{30, "50 ms", 50}, Case{1000, "1 s", 1000}, Case{-5, "0", 0}, Case{5000, "5 s", 5000},
                          Case{7000, "7 s", 7000}, Case{7500, "7500 ms", 7500}}) {
        SCOPED_TRACE(c.delay);
        ItemRec r = Named("d", "t");
        r.Delay = c.delay;
        Load(r);
        EXPECT_EQ(Chosen(), c.shown);
        editor->Ok();
        EXPECT_EQ(CurItem.Delay, c.back);
    }
}

TEST_F(ItemEditorTest, CancelLeavesTheRecordAsLoadedButForItsName) {
    const ItemRec r{"d", "t", 2, "c", "x", "m", "mac", "1x2", 100};
    Load(r);
    view.fields.title = "changed";
    editor->Cancel();
    ItemRec want = r;
    want.Desc = "";
    EXPECT_EQ(CurItem, want);
    // OK with neither name nor title stays unconfirmed too.
    Load(r);
    view.fields.desc = view.fields.title = "";
    editor->Ok();
    EXPECT_EQ(CurItem.Desc, "");
}

TEST_F(ItemEditorTest, TitleTestBeyondTheFourChoicesShowsNoneAndStaysUnmatchable) {
    ItemRec r = Named("d", "t");
    r.TitleTestType = 7;
    Load(r);
    EXPECT_EQ(view.fields.titleTest, -1);
    editor->Ok();
    EXPECT_EQ(CurItem.TitleTestType, -1);
}

TEST_F(ItemEditorTest, TokenListsAndInsertion) {
    Load(ItemRec{});
    ASSERT_FALSE(view.keys.empty());
    EXPECT_EQ(view.keys.front(), "{" + KeyNames.front() + "}");
    EXPECT_EQ(view.keys.size(), KeyNames.size());
    ASSERT_EQ(view.functions.size(), 10u);
    EXPECT_EQ(view.functions.front(), "{DELAY=100}");
    EXPECT_EQ(view.functions.back(), "{Window Close}");
    editor->TokenChosen(view.functions.back());
    EXPECT_EQ(view.inserted, Lines{"{Window Close}"});
}

TEST_F(ItemEditorTest, SearchToolFillsInTheDialogBehindAControl) {
    fake.modulePaths[70] = "C:\\Apps\\other.exe";
    AddQuestion();
    fake.AddChild(dlg, "Static", "Do you want to save?");
    const WinHandle yes = fake.AddChild(dlg, "Button", "&Yes", 6);
    fake.Win(yes).rect = {150, 200, 200, 220};
    FakeWindow mine;
    mine.title = "Eintrag bearbeiten";
    mine.rect = {500, 500, 600, 600};
    const WinHandle own = fake.AddWindow(mine);
    Load(ItemRec{});
    editor->SetOwnWindow(own);

    editor->SearchPressed();
    EXPECT_EQ(view.faces, std::vector<bool>{true});
    editor->SearchMoved(160, 210, true);  // over the button
    editor->SearchMoved(170, 210, true);  // still the same dialog: shown once
    editor->SearchMoved(550, 550, true);  // over the editor itself: nothing
    editor->SearchMoved(160, 210, false);  // another button held too: nothing
    ASSERT_EQ(view.found.size(), 1u);
    EXPECT_EQ(view.found[0], (FoundWindow{"Question", "#32770", "Do you want to save?", true, "C:\\Apps\\other.exe",
                                         "300x150"}));
    editor->SearchReleased();
    EXPECT_EQ(view.faces, (std::vector<bool>{true, false}));
    editor->SearchMoved(160, 210, true);  // no longer dragging
    EXPECT_EQ(view.found.size(), 1u);
}

TEST_F(ItemEditorTest, NoWindowUnderThePointerLeavesTheModuleAlone) {
    Load(ItemRec{});
    editor->SearchPressed();
    editor->RefreshAll(0, true);
    ASSERT_EQ(view.found.size(), 1u);
    EXPECT_FALSE(view.found[0].hasModule);
    EXPECT_EQ(view.found[0].size, "0x0");
}

}  // namespace

namespace {

// The system's facts where the pointer finds no windows (Wayland).
class NoPointerFacts final : public WindowFacts {
public:
    WinHandle WindowAt(std::int32_t x, std::int32_t y) override { return inner.WindowAt(x, y); }
    bool PointerFindsWindows() override { return false; }
    WinHandle Foreground() override { return inner.Foreground(); }
    WinHandle CaptionWindowOf(WinHandle w) override { return inner.CaptionWindowOf(w); }
    std::string Title(WinHandle w) override { return inner.Title(w); }
    std::string ClassName(WinHandle w) override { return inner.ClassName(w); }
    std::string DialogText(WinHandle w) override { return inner.DialogText(w); }
    std::string Module(WinHandle w) override { return inner.Module(w); }
    Rect Bounds(WinHandle w) override { return inner.Bounds(w); }
    SystemWindowFacts inner;
};

class CaptureTest : public ItemEditorTest {
protected:
    void LoadCapturing() {
        CurItem = ItemRec{};
        editor = std::make_unique<ItemEditorPresenter>(view, CurItem, KeyNames, noPointer, ItemEditorTextsFor(false));
        editor->Load();
    }
    NoPointerFacts noPointer;
};

TEST_F(CaptureTest, WithoutThePointerTheToolCapturesTheNextWindowBroughtToTheFront) {
    fake.modulePaths[70] = "C:\\Apps\\other.exe";
    AddQuestion();
    fake.AddChild(dlg, "Static", "Do you want to save?");
    FakeWindow mine;
    mine.title = "Add Item";
    const WinHandle own = fake.AddWindow(mine);
    fake.SetForeground(own);
    LoadCapturing();

    editor->SearchPressed();
    EXPECT_TRUE(editor->Capturing());
    EXPECT_EQ(view.faces, std::vector<bool>{true});
    editor->SearchReleased();  // letting go of the tool does not end it
    editor->SearchMoved(160, 210, true);
    editor->CaptureTick();  // the editor is still in front: nothing yet
    EXPECT_TRUE(view.found.empty());
    EXPECT_TRUE(editor->Capturing());

    fake.SetForeground(dlg);
    editor->CaptureTick();
    ASSERT_EQ(view.found.size(), 1u);
    EXPECT_EQ(view.found[0], (FoundWindow{"Question", "#32770", "Do you want to save?", true, "C:\\Apps\\other.exe",
                                         "300x150"}));
    EXPECT_FALSE(editor->Capturing());
    EXPECT_EQ(view.faces, (std::vector<bool>{true, false}));
    editor->CaptureTick();  // captured once only
    EXPECT_EQ(view.found.size(), 1u);
    EXPECT_FALSE(editor->SearchCancelled()) << "Escape after the capture is Cancel again";
}

TEST_F(CaptureTest, EscapeEndsTheCaptureWithoutAWindow) {
    AddQuestion();
    FakeWindow mine;
    mine.title = "Add Item";
    const WinHandle own = fake.AddWindow(mine);
    fake.SetForeground(own);
    LoadCapturing();
    editor->SearchPressed();
    EXPECT_TRUE(editor->SearchCancelled());
    EXPECT_FALSE(editor->Capturing());
    EXPECT_EQ(view.faces, (std::vector<bool>{true, false}));
    fake.SetForeground(dlg);
    editor->CaptureTick();
    EXPECT_TRUE(view.found.empty());
    EXPECT_EQ(view.closed, 0) << "Escape ended the capture, not the editor";
}

TEST_F(CaptureTest, WhereThePointerFindsWindowsTheToolIsDragged) {
    AddQuestion();
    Load(ItemRec{});
    editor->SearchPressed();
    EXPECT_FALSE(editor->Capturing());
    fake.SetForeground(dlg);
    editor->CaptureTick();
    EXPECT_TRUE(view.found.empty());
}

}  // namespace

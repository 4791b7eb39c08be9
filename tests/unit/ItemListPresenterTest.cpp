// The item list window's logic against a view that keeps what it is told,
// as a list box would.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "items/ItemText.h"
#include "tests/unit/CoreFixture.h"
#include "ui/ItemListPresenter.h"
#include "ui/SettingsServices.h"

using namespace rw;

namespace {

class ListBoxView : public ItemListView {
public:
    void InsertRow(std::int32_t row, const std::string& text) override {
        rows.insert(rows.begin() + row, text);
        selected.insert(selected.begin() + row, false);
    }
    void RemoveRow(std::int32_t row) override {
        rows.erase(rows.begin() + row);
        selected.erase(selected.begin() + row);
    }
    void SetRowText(std::int32_t row, const std::string& text) override { rows[static_cast<std::size_t>(row)] = text; }
    void SetRowSelected(std::int32_t row, bool on) override { selected[static_cast<std::size_t>(row)] = on; }
    void SetCurrentRow(std::int32_t row) override { current = row; }
    void ShowCommandStates(const ListCommandStates& s) override { states = s; }
    void FocusList() override {}
    void SetWaitCursor(bool) override {}
    void SuspendDrawing(bool on) override { events.push_back(on ? "suspend" : "resume"); }
    void ShowInformation(const std::string& text) override { events.push_back("info " + text); }
    void RunItemEditor(const std::string& caption) override {
        events.push_back("editor " + caption);
        if (editor) editor();
    }
    void CloseWindow() override { events.push_back("close"); }

    std::vector<std::int32_t> Selected() const {
        std::vector<std::int32_t> out;
        for (std::size_t i = 0; i < selected.size(); ++i)
            if (selected[i]) out.push_back(static_cast<std::int32_t>(i));
        return out;
    }

    Lines rows;
    std::vector<bool> selected;
    std::int32_t current = -1;
    ListCommandStates states;
    Lines events;
    std::function<void()> editor;  // what the user does in the editor
};

class ItemListTest : public CoreTest {
protected:
    void Open(const Lines& descs) {
        view = ListBoxView{};
        gItems.Clear();
        gItems.UpdateConfirm();
        for (const auto& d : descs) gItems.AddItem(Named(d, "t " + d));
        ItemListServices s;
        s.getClipText = [this] { return clipboard; };
        s.setClipText = [this](const std::string& t) { clipboard = t; };
        s.saveSettings = [this] {
            view.events.push_back("save");
            return saveResult;
        };
        s.settingsPath = "/home/u/replywick.ini";
        s.addCaption = "Add Item";
        s.editCaption = "Edit Item";
        s.texts = ItemListTextsFor(true);
        list = std::make_unique<ItemListPresenter>(view, gItems, CurItem, s);
        list->Init();
    }
    // The user selects rows; the first one given becomes the current row.
    void Pick(std::int32_t currentRow, const std::vector<std::int32_t>& rows) {
        for (std::size_t i = 0; i < view.selected.size(); ++i) view.selected[i] = false;
        for (auto r : rows) view.selected[static_cast<std::size_t>(r)] = true;
        view.current = currentRow;
        list->SelectionChanged(currentRow, rows);
    }
    Lines Descs() const {
        Lines out;
        for (std::int32_t i = 0; i < gItems.Count(); ++i) out.push_back(gItems.GetDesc(i));
        return out;
    }
    // The user types a name in the editor and confirms.
    void EditorNames(const std::string& desc) {
        view.editor = [desc] { CurItem.Desc = desc; };
    }
    // The rows the view shows must always be the items plus the end row.
    void ExpectRowsMatchItems() {
        Lines want = Descs();
        want.push_back("");
        EXPECT_EQ(view.rows, want);
        EXPECT_EQ(list->Rows(), want);
        EXPECT_EQ(view.Selected(), list->SelectedRows());
        EXPECT_EQ(view.current, list->CurrentRow());
    }

    ListBoxView view;
    std::unique_ptr<ItemListPresenter> list;
    std::string clipboard;
    SaveResult saveResult = SaveResult::Saved;
};

TEST_F(ItemListTest, EmptyListShowsTheEndRowSelectedAndAddAppends) {
    Open({});
    EXPECT_EQ(view.rows, Lines{""});
    EXPECT_EQ(view.Selected(), std::vector<std::int32_t>{0});
    EXPECT_EQ(view.states, (ListCommandStates{false, false, false, false, true}));
    EXPECT_TRUE(gItems.HasSnapshot());
    EditorNames("X");
    list->Add();
    EXPECT_EQ(Descs(), Lines{"X"});
    ExpectRowsMatchItems();
    EXPECT_EQ(view.events, Lines{"editor Add Item"});
}

TEST_F(ItemListTest, AddInsertsBeforeTheCurrentRowWithTheLastLoadedTypeAndDelay) {
    Open({"A", "B", "C"});
    Pick(1, {1});
    // The matcher last loaded another item into the shared record.
    CurItem = ItemRec{"old", "old", 3, "cls", "txt", "mod", "mac", "1x1", 250};
    ItemRec seen;
    view.editor = [&] {
        seen = CurItem;
        CurItem.Desc = "X";
    };
    list->Add();
    EXPECT_EQ(seen, (ItemRec{"", "", 3, "", "", "", "", "", 250}));
    EXPECT_EQ(Descs(), (Lines{"A", "X", "B", "C"}));
    ExpectRowsMatchItems();
    EXPECT_EQ(list->CurrentRow(), 1);
    EXPECT_EQ(view.Selected(), std::vector<std::int32_t>{1});
    // With the end row current it appends.
    Pick(4, {4});
    EditorNames("Z");
    list->Add();
    EXPECT_EQ(Descs(), (Lines{"A", "X", "B", "C", "Z"}));
    ExpectRowsMatchItems();
}

TEST_F(ItemListTest, EditorCancelChangesNothing) {
    Open({"A", "B"});
    view.editor = [] {};  // the editor empties Desc when it loads; Cancel leaves it so
    CurItem.Desc.clear();
    list->Add();
    Pick(0, {0});
    view.editor = [] { CurItem.Desc.clear(); };
    list->Edit();
    EXPECT_EQ(Descs(), (Lines{"A", "B"}));
    ExpectRowsMatchItems();
}

TEST_F(ItemListTest, EditReplacesInPlaceAndTheEndRowIsNeverEdited) {
    Open({"A", "B", "C"});
    Pick(1, {1});
    view.editor = [] { CurItem.Desc = "Y"; };
    list->Edit();
    EXPECT_EQ(Descs(), (Lines{"A", "Y", "C"}));
    EXPECT_EQ(gItems.Count(), 3);
    ExpectRowsMatchItems();
    // One item row selected, the end row current (Ctrl+click on it twice):
    // Edit adds, and the end row stays empty.
    Pick(3, {0});
    EditorNames("N");
    list->Edit();
    EXPECT_EQ(view.events.back(), "editor Add Item");
    EXPECT_EQ(Descs(), (Lines{"A", "Y", "C", "N"}));
    ExpectRowsMatchItems();
}

TEST_F(ItemListTest, RemoveTakesTheSelectedItemsAndSelectsWhatFollows) {
    Open({"A", "B", "C"});
    Pick(0, {0, 2});
    list->Remove();
    EXPECT_EQ(Descs(), Lines{"B"});
    ExpectRowsMatchItems();
    EXPECT_EQ(list->CurrentRow(), 0);
    EXPECT_EQ(view.Selected(), std::vector<std::int32_t>{0});
    // The last item: the end row becomes current, and only Paste is left.
    list->Remove();
    EXPECT_EQ(view.Selected(), std::vector<std::int32_t>{0});
    EXPECT_EQ(view.states, (ListCommandStates{false, false, false, false, true}));
    // Nothing selected (the current row deselected): nothing happens.
    Open({"A"});
    Pick(0, {});
    list->Remove();
    EXPECT_EQ(gItems.Count(), 1);
}

TEST_F(ItemListTest, MovesShiftTheSelectionAsABlockOrNotAtAll) {
    struct Case {
        Lines items;
        std::vector<std::int32_t> selected;
        bool up;
        Lines after;
        std::vector<std::int32_t> selectedAfter;
    };
    const Case cases[] = {
        {{"A", "B", "C"}, {0}, true, {"A", "B", "C"}, {0}},
        {{"A", "B", "C"}, {1, 2}, true, {"B", "C", "A"}, {0, 1}},
        {{"A", "B", "C"}, {2}, false, {"A", "B", "C"}, {2}},
        {{"A", "B", "C"}, {0, 1}, false, {"C", "A", "B"}, {1, 2}},
        {{"A", "B", "C", "D"}, {0, 2}, false, {"B", "A", "D", "C"}, {1, 3}},
        {{"A", "B", "C"}, {1, 3}, true, {"A", "B", "C"}, {1, 3}},   // end row in the selection
        {{"A", "B", "C"}, {2, 3}, false, {"A", "B", "C"}, {2, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.selected) + (c.up ? " up" : " down"));
        Open(c.items);
        Pick(c.selected.front(), c.selected);
        view.rows = list->Rows();
        c.up ? list->MoveUp() : list->MoveDown();
        EXPECT_EQ(Descs(), c.after);
        ExpectRowsMatchItems();
        EXPECT_EQ(view.Selected(), c.selectedAfter);
        EXPECT_EQ(list->CurrentRow(), c.selected.front()) << "the current index stays";
    }
}

TEST_F(ItemListTest, CopyAndCutPutTheSelectedItemsTextOnTheClipboard) {
    Open({"A", "B", "C"});
    Pick(0, {0, 2});
    list->Copy();
    EXPECT_EQ(clipboard, gItems.GetItemAsString(0) + "\r\n" + gItems.GetItemAsString(2) + "\r\n");
    Pick(1, {1});
    const std::string b = gItems.GetItemAsString(1);
    list->Cut();
    EXPECT_EQ(clipboard, b + "\r\n");
    EXPECT_EQ(Descs(), (Lines{"A", "C"}));
    ExpectRowsMatchItems();
    EXPECT_EQ(view.Selected(), std::vector<std::int32_t>{1});
}

TEST_F(ItemListTest, PasteInsertsEachItemAtTheCurrentRowInTextOrder) {
    struct Case {
        std::string text;
        Lines after;
    };
    const std::string two = "[Item]\r\nDesc=P\r\n\r\n[Item]\r\nDesc=Q\r\n\r\n";
    const Case cases[] = {
        {two, {"P", "Q", "A", "B"}},
        {"some other text\r\n" + two, {"P", "Q", "A", "B"}},
        {"text [Item]\r\nDesc=P\r\n", {"A", "B"}},  // not at the start of a line
        {"[Item]\r\n[Item]\r\nDesc=R\r\n", {"-", "R", "A", "B"}},
        {"Desc=X\n[Item]\nDesc=P\n", {"A", "B"}},  // LF alone: no marker line
        {"", {"A", "B"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text));
        Open({"A", "B"});
        clipboard = c.text;
        list->Paste();
        EXPECT_EQ(Descs(), c.after);
        ExpectRowsMatchItems();
        EXPECT_EQ(list->CurrentRow(), 0);
        EXPECT_EQ(view.Selected(), std::vector<std::int32_t>{0}) << "the first pasted row alone";
    }
}

TEST_F(ItemListTest, KeysOfTheWindow) {
    Open({"A", "B", "C"});
    Pick(0, {0});
    // Ctrl with any key is swallowed, whether or not it does something.
    EXPECT_TRUE(list->KeyDown({'A', true, false, false, true}));
    EXPECT_EQ(gItems.Count(), 3);
    EXPECT_TRUE(list->KeyDown({vk::Delete, true, false, false, true}));  // Ctrl+Delete removes
    EXPECT_EQ(Descs(), (Lines{"B", "C"}));
    // Delete with the end row selected: Remove is off.
    Pick(2, {2});
    EXPECT_TRUE(list->KeyDown({vk::Delete, false, false, false, true}));
    EXPECT_EQ(gItems.Count(), 2);
    // Space on the end row adds; on an item row with three rows selected it
    // edits the current row; Enter in the list does the same.
    EditorNames("S");
    EXPECT_TRUE(list->KeyDown({vk::Space, false, false, false, true}));
    EXPECT_EQ(Descs(), (Lines{"B", "C", "S"}));
    Pick(1, {0, 1, 2});
    EditorNames("E");
    EXPECT_TRUE(list->KeyDown({vk::Return, false, false, false, true}));
    EXPECT_EQ(Descs(), (Lines{"B", "E", "S"}));
    ExpectRowsMatchItems();
    // Ctrl+C copies, Ctrl+O only answers that it is not there yet.
    EXPECT_TRUE(list->KeyDown({'C', true, false, false, false}));
    EXPECT_FALSE(clipboard.empty());
    EXPECT_TRUE(list->KeyDown({'O', true, false, false, false}));
    EXPECT_EQ(view.events.back(), "info Geht noch nicht");
    // A plain letter is the focused control's.
    EXPECT_FALSE(list->KeyDown({'A', false, false, false, true}));
    // Escape outside the list is Cancel.
    EXPECT_TRUE(list->KeyDown({vk::Escape, false, false, false, false}));
    EXPECT_EQ(Descs(), (Lines{"A", "B", "C"}));
}

TEST_F(ItemListTest, DoubleClickEditsOnlyWhereEditIsOn) {
    Open({"A"});
    Pick(1, {1});
    EditorNames("X");
    list->DoubleClicked();
    EXPECT_EQ(Descs(), Lines{"A"});
    EXPECT_TRUE(view.events.empty());
}

TEST_F(ItemListTest, OkKeepsTheChangesAndSavesAfterClosing) {
    Open({"A", "B"});
    Pick(0, {0});
    list->Remove();
    list->Ok();
    EXPECT_EQ(view.events, (Lines{"close", "save"}));
    EXPECT_FALSE(gItems.HasSnapshot());
    EXPECT_EQ(Descs(), Lines{"B"});
}

TEST_F(ItemListTest, OkSaysWhenTheSettingsFileWasLeftAsItWas) {
    Open({"A"});
    saveResult = SaveResult::NotRead;
    list->Ok();
    EXPECT_EQ(view.events.back(),
              "info The settings file could not be read at start-up and was left as it was:\n/home/u/replywick.ini");
}

TEST_F(ItemListTest, OkSaysWhenOtherUsersCouldChangeTheSettingsFile) {
    Open({"A"});
    saveResult = SaveResult::NotTrusted;
    list->Ok();
    EXPECT_EQ(view.events.back(),
              "info Other users can change the settings file or a folder on the way to it. It is not trusted and "
              "was left as it was:\n/home/u/replywick.ini");
    // German too, in the same form as the other messages.
    EXPECT_EQ(ItemListTextsFor(false).notTrusted.back(), ':');
}

// OK with the program's own services on a real settings file: what the
// user is told when the save does not happen, and that the file stays.
TEST_F(ItemListTest, OkOnAReadOnlyOrUnwritableFileSaysSoAndKeepsTheFile) {
    const std::string path = (Folder() / "replywick.ini").string();
    const std::string old = "; Replywick\r\n\r\n\r\n[Item]\r\nDesc=old\r\n\r\n\r\n";
    const auto fileText = [&path] {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    App.IniPath = path;
    App.UseEnglish = true;
    for (const bool readOnly : {true, false}) {
        SCOPED_TRACE(readOnly ? "read-only" : "the write fails");
        std::filesystem::remove(path);
        std::ofstream(path, std::ios::binary) << old;
        if (readOnly) std::filesystem::permissions(path, std::filesystem::perms::owner_read);
        fake.failNextWrite = !readOnly;
        view = ListBoxView{};
        gItems.Clear();
        gItems.AddItem(Named("new", "t new"));
        gItems.UpdateConfirm();
        list = std::make_unique<ItemListPresenter>(view, gItems, CurItem, ProgramItemListServices(gItems));
        list->Init();
        list->Ok();
        EXPECT_EQ(view.events.back(), readOnly ? "info The settings file is read-only and was left as it was:\n" + path
                                               : "info The settings file could not be written and is unchanged:\n" + path);
        EXPECT_EQ(fileText(), old);
    }
    // The same OK where the file can be written says nothing and saves.
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    view = ListBoxView{};
    list = std::make_unique<ItemListPresenter>(view, gItems, CurItem, ProgramItemListServices(gItems));
    list->Init();
    list->Ok();
    EXPECT_EQ(view.events.back(), "close");
    EXPECT_NE(fileText().find("Desc=new"), std::string::npos);
}

TEST_F(ItemListTest, CancelPutsTheListBackAndWritesNothing) {
    Open({"A", "B", "C"});
    Pick(0, {0, 1});
    list->MoveDown();
    list->Remove();
    list->Cancel();
    list->Cancel();  // the title bar's close after Esc changes nothing more
    EXPECT_EQ(Descs(), (Lines{"A", "B", "C"}));
    EXPECT_EQ(view.events, (Lines{"suspend", "resume", "close"}));
}

TEST_F(ItemListTest, EnglishAndGermanTexts) {
    const ItemListTexts de = ItemListTextsFor(false), en = ItemListTextsFor(true);
    EXPECT_EQ((Lines{de.ok, de.cancel, de.add, de.edit, de.remove, de.arrange}),
              (Lines{"OK", "Abbrechen", "&Hinzufügen...", "&Bearbeiten...", "&Entfernen", "Umstellen"}));
    EXPECT_EQ((Lines{en.ok, en.cancel, en.add, en.edit, en.remove, en.arrange, en.moveTip}),
              (Lines{"OK", "Cancel", "&Add", "&Edit", "&Remove", "arrange", " Einfügen "}));
    EXPECT_EQ(en.notYet, "Geht noch nicht");
}

}  // namespace

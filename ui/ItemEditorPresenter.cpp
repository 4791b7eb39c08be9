#include "ui/ItemEditorPresenter.h"

#include <utility>

#include "base/Numeric.h"

namespace rw {

namespace {

const std::vector<std::string> kDelayChoices{"0", "10 ms", "20 ms", "50 ms", "100 ms", "500 ms", "1 s", "2 s", "5 s"};

// A delay longer than every choice gets a choice of its own, so that an
// unchanged OK keeps it instead of turning it into 0.
std::string ChoiceFor(std::int32_t delay) {
    if (delay % 1000 == 0) return std::to_string(delay / 1000) + " s";
    return std::to_string(delay) + " ms";
}

}  // namespace

std::int32_t DelayOfChoice(const std::string& choice) {
    const double value = ReadLeadingNumber(choice);
    return RoundToInt32(choice.find("ms") != std::string::npos ? value : value * 1000.0);
}

const std::vector<std::string>& ItemEditorPresenter::FunctionTokens() {
    static const std::vector<std::string> kTokens{
        "{DELAY=100}",     "{Dialog OK}",   "{Dialog Cancel}",   "{Dialog Retry}",    "{Dialog Ignore}",
        "{Dialog Yes}",    "{Dialog No}",   "{Window Minimize}", "{Window Maximize}", "{Window Close}"};
    return kTokens;
}

ItemEditorPresenter::ItemEditorPresenter(ItemEditorView& view, ItemRec& item, std::vector<std::string> keyNames,
                                         WindowFacts& facts, ItemEditorTexts texts)
    : view_(view), item_(item), keyNames_(std::move(keyNames)), facts_(facts), texts_(std::move(texts)) {}

void ItemEditorPresenter::Load() {
    std::vector<std::string> keys;
    keys.reserve(keyNames_.size());
    for (const auto& name : keyNames_) keys.push_back("{" + name + "}");
    view_.ShowTokenLists(keys, FunctionTokens());

    delayChoices_ = kDelayChoices;
    std::int32_t delayChoice = -1;
    for (std::size_t i = 0; i < delayChoices_.size(); ++i) {
        if (DelayOfChoice(delayChoices_[i]) >= item_.Delay) {
            delayChoice = static_cast<std::int32_t>(i);
            break;
        }
    }
    if (delayChoice < 0) {
        delayChoices_.push_back(ChoiceFor(item_.Delay));
        delayChoice = static_cast<std::int32_t>(delayChoices_.size() - 1);
    }
    view_.ShowDelayChoices(delayChoices_);

    EditorFields f;
    f.desc = item_.Desc;
    f.title = item_.Title;
    // A hand-made test type beyond the four choices shows none; OK then
    // stores -1, which matches nothing, as the stored value did.
    f.titleTest = item_.TitleTestType >= 0 && item_.TitleTestType < static_cast<std::int32_t>(texts_.titleTests.size())
                      ? item_.TitleTestType
                      : -1;
    f.cls = item_.WinClass;
    f.text = item_.Text;
    f.module = item_.Modul;
    f.size = item_.WinSize;
    f.macro = item_.Macro;
    f.delayChoice = delayChoice;
    view_.ShowFields(f);
    // Not confirmed until OK.
    item_.Desc.clear();
    view_.ShowNormalPointer();
}

void ItemEditorPresenter::Ok() {
    EditorFields f = view_.ReadFields();
    if (f.desc.empty()) f.desc = f.title;
    item_.Desc = f.desc;
    item_.Title = f.title;
    item_.TitleTestType = f.titleTest;
    item_.WinClass = f.cls;
    item_.Text = f.text;
    item_.Modul = f.module;
    item_.WinSize = f.size;
    item_.Macro = f.macro;
    const bool chosen = f.delayChoice >= 0 && f.delayChoice < static_cast<std::int32_t>(delayChoices_.size());
    item_.Delay = chosen ? DelayOfChoice(delayChoices_[static_cast<std::size_t>(f.delayChoice)]) : 0;
    view_.CloseWindow();
}

void ItemEditorPresenter::Cancel() {
    searching_ = false;
    view_.CloseWindow();
}

void ItemEditorPresenter::TokenChosen(const std::string& row) {
    if (!row.empty()) view_.InsertIntoMacro(row);
}

void ItemEditorPresenter::SearchPressed() {
    if (!facts_.PointerFindsWindows()) {
        // One gesture still: press the tool, then bring the window to the
        // front (click it, or switch to it).
        capturing_ = true;
        captureFrom_ = facts_.Foreground();
        view_.ShowSearchFace(true);
        return;
    }
    searching_ = true;
    view_.ShowSearchFace(true);
}

void ItemEditorPresenter::CaptureTick() {
    if (!capturing_) return;
    const WinHandle fg = facts_.Foreground();
    if (fg == 0 || fg == captureFrom_ || (own_ != 0 && fg == own_)) return;
    capturing_ = false;
    RefreshAll(fg, true);
    view_.ShowSearchFace(false);
}

bool ItemEditorPresenter::SearchCancelled() {
    if (!capturing_) return false;
    capturing_ = false;
    view_.ShowSearchFace(false);
    return true;
}

void ItemEditorPresenter::SearchMoved(std::int32_t x, std::int32_t y, bool leftButtonOnly) {
    if (!searching_ || !leftButtonOnly) return;
    RefreshAll(facts_.CaptionWindowOf(facts_.WindowAt(x, y)));
}

void ItemEditorPresenter::SearchReleased() {
    if (!searching_) return;
    searching_ = false;
    view_.ShowSearchFace(false);
}

void ItemEditorPresenter::RefreshAll(WinHandle h0, bool force) {
    const WinHandle h = facts_.CaptionWindowOf(h0);
    if ((own_ != 0 && h == own_) || (!force && h == lastShown_)) return;
    lastShown_ = h;
    FoundWindow found;
    found.title = facts_.Title(h);
    found.cls = facts_.ClassName(h);
    found.text = facts_.DialogText(h);
    if (h != 0) {
        found.hasModule = true;
        found.module = facts_.Module(h);
    }
    const Rect r = facts_.Bounds(h);
    found.size = std::to_string(static_cast<std::int64_t>(r.right) - r.left) + "x" +
                 std::to_string(static_cast<std::int64_t>(r.bottom) - r.top);
    view_.ShowFoundWindow(found);
}

}  // namespace rw

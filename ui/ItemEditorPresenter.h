// The item editor's logic: loading the shared record into the fields, the
// delay choice, the token lists, OK and Cancel, and the window search tool.
//
// The editor works on the record it is given (CurItem): loading shows it
// and empties its Desc, so that an empty Desc afterwards means "nothing
// confirmed"; OK writes every field back with a Desc that is not empty
// unless both name and title were.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "items/Items.h"
#include "ui/Texts.h"
#include "ui/WindowFacts.h"

namespace rw {

struct EditorFields {
    std::string desc;
    std::string title;
    std::int32_t titleTest = 0;  // index of the chosen test, -1 for none
    std::string cls;
    std::string text;
    std::string module;
    std::string size;
    std::string macro;
    std::int32_t delayChoice = 0;  // index into DelayChoices(), -1 for none
    bool operator==(const EditorFields&) const = default;
};

// What the search tool found; module is left alone when the window is none.
struct FoundWindow {
    std::string title;
    std::string cls;
    std::string text;
    bool hasModule = false;
    std::string module;
    std::string size;
    bool operator==(const FoundWindow&) const = default;
};

class ItemEditorView {
public:
    virtual ~ItemEditorView() = default;
    virtual void ShowTokenLists(const std::vector<std::string>& keys, const std::vector<std::string>& functions) = 0;
    virtual void ShowDelayChoices(const std::vector<std::string>& choices) = 0;
    virtual void ShowFields(const EditorFields& fields) = 0;
    virtual EditorFields ReadFields() = 0;
    virtual void ShowFoundWindow(const FoundWindow& found) = 0;
    // Types the token into the macro box at its caret, replacing its
    // selection, then gives the box the focus.
    virtual void InsertIntoMacro(const std::string& token) = 0;
    // The search tool's two faces: the resting cross-hair, or the empty box
    // while the cross-hair rides on the pointer.
    virtual void ShowSearchFace(bool dragging) = 0;
    // Loading ends with the normal pointer, whatever pointer the opener set
    // (Edit sets the wait pointer for the whole program).
    virtual void ShowNormalPointer() = 0;
    virtual void CloseWindow() = 0;
};

class ItemEditorPresenter {
public:
    // ownWindow: the editor's own top-level window, which the search tool
    // ignores.
    ItemEditorPresenter(ItemEditorView& view, ItemRec& item, std::vector<std::string> keyNames, WindowFacts& facts,
                        ItemEditorTexts texts);
    void SetOwnWindow(WinHandle own) { own_ = own; }

    void Load();
    void Ok();
    // Cancel, Escape and the close box.
    void Cancel();
    // A double click on a row of either token list.
    void TokenChosen(const std::string& row);

    // The search tool is pressed. Where the pointer finds windows, it is
    // dragged onto one (SearchMoved, SearchReleased). Elsewhere (Wayland) it
    // captures the next window the user brings to the front, which the view
    // asks about with CaptureTick while Capturing() says so; Escape
    // (SearchCancelled) gives up.
    void SearchPressed();
    // Each pointer movement while the search tool holds the pointer, in
    // screen coordinates; only a move with the left button alone counts.
    void SearchMoved(std::int32_t x, std::int32_t y, bool leftButtonOnly);
    void SearchReleased();
    // While capturing: shows the window in front once it is another than
    // the one in front when the tool was pressed (the editor), and ends the
    // capture.
    void CaptureTick();
    // Ends a capture without a window; false when none was going on (then
    // Escape means Cancel).
    bool SearchCancelled();
    bool Capturing() const { return capturing_; }
    void RefreshAll(WinHandle h0, bool force = false);

    const std::vector<std::string>& DelayChoices() const { return delayChoices_; }
    const ItemEditorTexts& Texts() const { return texts_; }
    bool Searching() const { return searching_ || capturing_; }

    // The ten ready-made function tokens.
    static const std::vector<std::string>& FunctionTokens();

private:
    ItemEditorView& view_;
    ItemRec& item_;
    std::vector<std::string> keyNames_;
    WindowFacts& facts_;
    ItemEditorTexts texts_;
    std::vector<std::string> delayChoices_;
    WinHandle own_ = 0;
    WinHandle lastShown_ = 0;
    bool searching_ = false;
    bool capturing_ = false;
    WinHandle captureFrom_ = 0;
};

// Milliseconds a delay choice stands for: its number, times 1000 unless the
// text says "ms".
std::int32_t DelayOfChoice(const std::string& choice);

}  // namespace rw

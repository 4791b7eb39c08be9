// The item list window's logic: rows, selection, commands, keys and the
// update transaction. A view (Qt on Linux, a Win32 dialog on Windows, a
// recording fake in tests) renders what it is told and reports what the user
// does; the presenter keeps the row model in step with the item list.
//
// Rows 0..n-1 show the Desc of items 0..n-1; row n, the end row, is empty
// and stands for the place after the last item. Add and Paste insert before
// the current row, so with the end row current they append.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "items/Items.h"
#include "items/Settings.h"
#include "ui/Texts.h"

namespace rw {

struct ListCommandStates {
    bool remove = false;
    bool edit = false;
    bool cut = false;
    bool copy = false;
    bool paste = false;
    bool operator==(const ListCommandStates&) const = default;
};

class ItemListView {
public:
    virtual ~ItemListView() = default;
    virtual void InsertRow(std::int32_t row, const std::string& text) = 0;
    virtual void RemoveRow(std::int32_t row) = 0;
    virtual void SetRowText(std::int32_t row, const std::string& text) = 0;
    virtual void SetRowSelected(std::int32_t row, bool selected) = 0;
    virtual void SetCurrentRow(std::int32_t row) = 0;
    virtual void ShowCommandStates(const ListCommandStates& states) = 0;
    virtual void FocusList() = 0;
    virtual void SetWaitCursor(bool wait) = 0;
    // Many row changes appear as one.
    virtual void SuspendDrawing(bool suspend) = 0;
    // An information message box with the window's caption.
    virtual void ShowInformation(const std::string& text) = 0;
    // Shows the item editor modally with this caption; it edits the shared
    // record it was given (see ItemEditorPresenter) and returns when closed.
    virtual void RunItemEditor(const std::string& caption) = 0;
    virtual void CloseWindow() = 0;
};

// What the window uses besides its view.
struct ItemListServices {
    std::function<std::string()> getClipText;
    std::function<void(const std::string&)> setClipText;
    std::function<SaveResult()> saveSettings;
    std::string settingsPath;  // named in the message when OK could not save
    std::string addCaption;
    std::string editCaption;
    ItemListTexts texts;
};

// Keys as the window sees them before its controls do.
struct ListKey {
    int code = 0;  // virtual-key code
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
    bool listHasFocus = false;
    // Enter on a focused button presses that button, as in any dialog.
    bool buttonHasFocus = false;
};

class ItemListPresenter {
public:
    // current is the shared record through which the editor gets and gives
    // back one item (CurItem).
    ItemListPresenter(ItemListView& view, clsItems& items, ItemRec& current, ItemListServices services);

    // Fills the rows, selects row 0 and begins the update transaction.
    void Init();

    // The user changed the selection (click, Shift, Ctrl, arrows).
    void SelectionChanged(std::int32_t currentRow, const std::vector<std::int32_t>& selectedRows);

    void Add();
    // Edits the current row; on the end row it is Add, so the end row stays
    // empty.
    void Edit();
    void Remove();
    void MoveUp();
    void MoveDown();
    void Cut();
    void Copy();
    void Paste();
    // Read from file and Save to file: only the message, for now.
    void ReadFromFile();
    void SaveToFile();
    void DoubleClicked();
    // True when the key was handled (and reaches no control).
    bool KeyDown(const ListKey& key);
    // OK keeps the changes and writes the settings file; a file that could
    // not be written is named in a message. Cancel (also the title-bar
    // close) puts the list back as it was when the window opened.
    void Ok();
    void Cancel();

    // The model, for views that draw from it and for tests.
    const std::vector<std::string>& Rows() const { return rows_; }
    std::vector<std::int32_t> SelectedRows() const;
    std::int32_t CurrentRow() const { return current_; }
    const ListCommandStates& States() const { return states_; }
    const ItemListTexts& Texts() const { return texts_; }

    // The multi-item text of the selected items, in row order.
    std::string GetSelItemsAsString() const;
    void AddItemsByString(const std::string& sItems);
    void RemoveSelItems();

private:
    std::int32_t ItemCount() const { return items_.Count(); }
    bool EndRowSelected() const { return selected_.back() != 0; }
    std::int32_t SelectionCount() const { return selectionCount_; }
    void Select(std::int32_t row, bool on);
    void SetCurrent(std::int32_t row);
    void UpdateStates();
    // Inserts a row at p, keeping the selection as a list box would.
    void InsertRowAt(std::int32_t p, const std::string& text);
    void RemoveRowAt(std::int32_t row);
    void SwapRows(std::int32_t a, std::int32_t b);

    ItemListView& view_;
    clsItems& items_;
    ItemRec& current_item_;
    ItemListServices services_;
    ItemListTexts texts_;
    std::vector<std::string> rows_;
    std::vector<char> selected_;
    std::int32_t selectionCount_ = 0;
    std::int32_t current_ = 0;
    ListCommandStates states_;
    bool closed_ = false;
};

}  // namespace rw

#include "ui/ItemListPresenter.h"

#include <utility>

#include "actions/Strings.h"
#include "items/ItemText.h"
#include "platform/Keys.h"

namespace rw {

namespace {

constexpr int kKeyX = 'X';
constexpr int kKeyC = 'C';
constexpr int kKeyV = 'V';
constexpr int kKeyO = 'O';
constexpr int kKeyS = 'S';

}  // namespace

ItemListPresenter::ItemListPresenter(ItemListView& view, clsItems& items, ItemRec& current,
                                     ItemListServices services)
    : view_(view), items_(items), current_item_(current), services_(std::move(services)), texts_(services_.texts) {}

void ItemListPresenter::Init() {
    const std::int32_t n = ItemCount();
    rows_.clear();
    rows_.reserve(static_cast<std::size_t>(n) + 1);
    for (std::int32_t i = 0; i < n; ++i) {
        rows_.push_back(items_.GetDesc(i));
        view_.InsertRow(i, rows_.back());
    }
    rows_.emplace_back();
    view_.InsertRow(n, std::string());
    selected_.assign(rows_.size(), 0);
    selectionCount_ = 0;
    SetCurrent(0);
    Select(0, true);
    UpdateStates();
    items_.UpdateBegin();
}

void ItemListPresenter::SelectionChanged(std::int32_t currentRow, const std::vector<std::int32_t>& selectedRows) {
    std::fill(selected_.begin(), selected_.end(), 0);
    selectionCount_ = 0;
    for (std::int32_t r : selectedRows) {
        if (r < 0 || r >= static_cast<std::int32_t>(rows_.size()) || selected_[static_cast<std::size_t>(r)]) continue;
        selected_[static_cast<std::size_t>(r)] = 1;
        ++selectionCount_;
    }
    if (currentRow >= 0 && currentRow < static_cast<std::int32_t>(rows_.size())) current_ = currentRow;
    UpdateStates();
}

std::vector<std::int32_t> ItemListPresenter::SelectedRows() const {
    std::vector<std::int32_t> out;
    for (std::size_t i = 0; i < selected_.size(); ++i)
        if (selected_[i]) out.push_back(static_cast<std::int32_t>(i));
    return out;
}

void ItemListPresenter::Select(std::int32_t row, bool on) {
    char& s = selected_[static_cast<std::size_t>(row)];
    if ((s != 0) == on) return;
    s = on ? 1 : 0;
    selectionCount_ += on ? 1 : -1;
    view_.SetRowSelected(row, on);
}

void ItemListPresenter::SetCurrent(std::int32_t row) {
    current_ = row;
    view_.SetCurrentRow(row);
}

void ItemListPresenter::UpdateStates() {
    const std::int32_t n = ItemCount();
    const bool any = SelectionCount() > 0;
    ListCommandStates s;
    s.remove = current_ < n && !EndRowSelected();
    s.edit = SelectionCount() == 1 && !EndRowSelected();
    s.cut = s.copy = any && !EndRowSelected();
    s.paste = any;
    states_ = s;
    view_.ShowCommandStates(s);
}

void ItemListPresenter::InsertRowAt(std::int32_t p, const std::string& text) {
    // A list box keeps the selection where it was; the new row becomes the
    // only selected one when nothing, or only the row it pushes down, was
    // selected before.
    const bool takeSelection =
        SelectionCount() == 0 || (SelectionCount() == 1 && selected_[static_cast<std::size_t>(p)] != 0);
    rows_.insert(rows_.begin() + p, text);
    selected_.insert(selected_.begin() + p, 0);
    view_.InsertRow(p, text);
    if (current_ >= p) view_.SetCurrentRow(current_);  // the index stays, the row moves down
    if (takeSelection) {
        Select(p, true);
        Select(p + 1, false);
    }
}

void ItemListPresenter::RemoveRowAt(std::int32_t row) {
    if (selected_[static_cast<std::size_t>(row)]) --selectionCount_;
    rows_.erase(rows_.begin() + row);
    selected_.erase(selected_.begin() + row);
    view_.RemoveRow(row);
}

void ItemListPresenter::SwapRows(std::int32_t a, std::int32_t b) {
    std::swap(rows_[static_cast<std::size_t>(a)], rows_[static_cast<std::size_t>(b)]);
    view_.SetRowText(a, rows_[static_cast<std::size_t>(a)]);
    view_.SetRowText(b, rows_[static_cast<std::size_t>(b)]);
}

void ItemListPresenter::Add() {
    // The seven texts are emptied; the test type and the delay are those of
    // the item last loaded into the shared record.
    ItemRec& c = current_item_;
    c.Desc.clear();
    c.Title.clear();
    c.WinClass.clear();
    c.Text.clear();
    c.Modul.clear();
    c.WinSize.clear();
    c.Macro.clear();
    view_.RunItemEditor(services_.addCaption);
    if (!c.Desc.empty()) {
        const std::int32_t at = current_;
        InsertRowAt(at, c.Desc);
        items_.AddItemAt(at, c);
        UpdateStates();
    }
    view_.FocusList();
    view_.SetWaitCursor(false);
}

void ItemListPresenter::Edit() {
    const std::int32_t c = current_;
    // The end row holds no item: editing it adds one, and the end row stays
    // empty.
    if (c >= ItemCount()) {
        Add();
        return;
    }
    view_.SetWaitCursor(true);
    items_.GetItem(c, current_item_);
    view_.RunItemEditor(services_.editCaption);
    if (!current_item_.Desc.empty()) {
        rows_[static_cast<std::size_t>(c)] = current_item_.Desc;
        view_.SetRowText(c, current_item_.Desc);
        items_.SetItemAt(c, current_item_);
    }
    view_.FocusList();
    view_.SetWaitCursor(false);
}

void ItemListPresenter::RemoveSelItems() {
    if (SelectionCount() == 0) return;
    std::int32_t lowest = -1;
    // Downwards, so the rows still to visit keep their positions; the end
    // row is never visited.
    for (std::int32_t i = ItemCount() - 1; i >= 0; --i) {
        if (!selected_[static_cast<std::size_t>(i)]) continue;
        RemoveRowAt(i);
        items_.RemoveItem(i);
        lowest = i;
    }
    if (lowest >= 0) {
        SetCurrent(lowest);
        Select(lowest, true);
    }
    UpdateStates();
    view_.FocusList();
    view_.SetWaitCursor(false);
}

void ItemListPresenter::Remove() { RemoveSelItems(); }

void ItemListPresenter::MoveUp() {
    const std::int32_t n = ItemCount();
    if (SelectionCount() == 0 || EndRowSelected() || selected_[0]) return;
    view_.SuspendDrawing(true);
    for (std::int32_t i = 1; i < n; ++i) {
        if (!selected_[static_cast<std::size_t>(i)]) continue;
        SwapRows(i - 1, i);
        Select(i, false);
        Select(i - 1, true);
        items_.MoveItem(i, i - 1);
    }
    view_.SuspendDrawing(false);
    UpdateStates();
}

void ItemListPresenter::MoveDown() {
    const std::int32_t n = ItemCount();
    if (SelectionCount() == 0 || n == 0 || EndRowSelected() || selected_[static_cast<std::size_t>(n - 1)]) return;
    view_.SuspendDrawing(true);
    for (std::int32_t i = n - 2; i >= 0; --i) {
        if (!selected_[static_cast<std::size_t>(i)]) continue;
        SwapRows(i, i + 1);
        Select(i, false);
        Select(i + 1, true);
        items_.MoveItem(i, i + 1);
    }
    view_.SuspendDrawing(false);
    UpdateStates();
}

std::string ItemListPresenter::GetSelItemsAsString() const {
    std::string out;
    if (SelectionCount() == 0) return out;
    for (std::int32_t i = 0; i < ItemCount(); ++i) {
        if (!selected_[static_cast<std::size_t>(i)]) continue;
        items_.AppendItemText(i, out);
        out += "\r\n";
    }
    return out;
}

void ItemListPresenter::Copy() { services_.setClipText(GetSelItemsAsString()); }

void ItemListPresenter::Cut() {
    Copy();
    RemoveSelItems();
}

void ItemListPresenter::Paste() { AddItemsByString(services_.getClipText()); }

void ItemListPresenter::AddItemsByString(const std::string& sItems) {
    const std::int32_t c = current_;
    // A marker at the very start counts as one; one that does not begin a
    // line does not.
    // Text written by hand on Linux ends its lines with LF alone; it is
    // read as if it had CR LF, as the stored file has.
    const std::string work = "\r\n" + NormalizeLineBreaks(sItems);
    const std::string separator = "\r\n[Item]";
    std::int32_t pos = 1;
    NextToken(pos, work, separator);  // whatever stands before the first marker
    for (std::int32_t k = 0;; ++k) {
        const std::string section = NextToken(pos, work, separator);
        if (pos == 0) break;  // the position lay beyond the end: no more sections
        items_.AddItemAtByString(c + k, section);
        InsertRowAt(c + k, current_item_.Desc);
    }
    UpdateStates();
}

void ItemListPresenter::ReadFromFile() { view_.ShowInformation(texts_.notYet); }
void ItemListPresenter::SaveToFile() { view_.ShowInformation(texts_.notYet); }

void ItemListPresenter::DoubleClicked() {
    if (states_.edit) Edit();
}

bool ItemListPresenter::KeyDown(const ListKey& key) {
    const bool onlyCtrl = key.ctrl && !key.shift && !key.alt;
    if (key.code == vk::Delete || key.code == vk::Subtract) {
        if (states_.remove) Remove();
        return true;
    }
    if (key.code == vk::Add) {
        Add();
        return true;
    }
    if (onlyCtrl) {
        switch (key.code) {
            case kKeyX:
                if (states_.cut) Cut();
                break;
            case kKeyC:
                if (states_.copy) Copy();
                break;
            case kKeyV:
                if (states_.paste) Paste();
                break;
            case kKeyO:
                ReadFromFile();
                break;
            case kKeyS:
                SaveToFile();
                break;
            default:
                break;
        }
        // Every other Ctrl combination is swallowed too: no control acts on
        // it behind the window's back.
        return true;
    }
    if (key.listHasFocus && (key.code == vk::Space || key.code == vk::Return)) {
        // Enter in the list edits the current row like Space (Enter on a
        // button presses it, anywhere else it is OK, the default button).
        if (current_ >= ItemCount()) {
            Add();
        } else {
            Edit();
        }
        return true;
    }
    if (key.code == vk::Return && !key.buttonHasFocus) {
        Ok();
        return true;
    }
    if (key.code == vk::Escape) {
        Cancel();
        return true;
    }
    return false;
}

void ItemListPresenter::Ok() {
    if (closed_) return;
    closed_ = true;
    view_.SetWaitCursor(true);
    items_.UpdateConfirm();
    view_.SetWaitCursor(false);
    view_.CloseWindow();
    const SaveResult saved = services_.saveSettings ? services_.saveSettings() : SaveResult::Saved;
    view_.SetWaitCursor(false);
    const std::string* why = nullptr;
    switch (saved) {
        case SaveResult::Saved:
            break;
        case SaveResult::NotRead:
            why = &texts_.notRead;
            break;
        case SaveResult::NotTrusted:
            why = &texts_.notTrusted;
            break;
        case SaveResult::ReadOnly:
            why = &texts_.readOnly;
            break;
        case SaveResult::Failed:
            why = &texts_.notWritten;
            break;
    }
    if (why != nullptr) view_.ShowInformation(*why + "\n" + services_.settingsPath);
}

void ItemListPresenter::Cancel() {
    if (closed_) return;
    closed_ = true;
    items_.UpdateCancel();
    view_.SetWaitCursor(false);
    view_.CloseWindow();
}

}  // namespace rw

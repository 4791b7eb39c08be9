#include "items/Items.h"

#include <stdexcept>
#include <utility>

#include "items/ItemText.h"

namespace rw {

clsItems gItems;
ItemRec CurItem;

namespace {

[[noreturn]] void BadIndex(const char* op, std::int32_t n, std::int32_t count) {
    throw std::out_of_range(std::string("clsItems::") + op + ": index " + std::to_string(n) +
                            " outside 0.." + std::to_string(count));
}

}  // namespace

void clsItems::AddItemAt(std::int32_t n, const ItemRec& item) {
    if (n < 0 || n > Count()) BadIndex("AddItemAt", n, Count());
    ItemRec stored = item;
    MakeStorable(stored);
    items_.insert(items_.begin() + n, std::move(stored));
}

void clsItems::AddItem(const ItemRec& item) { AddItemAt(Count(), item); }

void clsItems::AddItemAtByString(std::int32_t n, const std::string& sItemString) {
    // Check before parsing so that a rejected call leaves CurItem as it was.
    if (n < 0 || n > Count()) BadIndex("AddItemAtByString", n, Count());
    ParseItemText(sItemString, CurItem);
    AddItemAt(n, CurItem);
}

void clsItems::AddItemAtEndByString(const std::string& sItemString) {
    AddItemAtByString(Count(), sItemString);
}

void clsItems::SetItemAt(std::int32_t n, const ItemRec& item) {
    if (n < 0 || n >= Count()) BadIndex("SetItemAt", n, Count());
    ItemRec stored = item;
    MakeStorable(stored);
    items_[static_cast<std::size_t>(n)] = std::move(stored);
}

void clsItems::GetItem(std::int32_t n, ItemRec& out) const {
    if (n < 0 || n >= Count()) return;
    out = items_[static_cast<std::size_t>(n)];
}

std::string clsItems::GetDesc(std::int32_t n) const {
    if (n < 0 || n >= Count()) return {};
    return items_[static_cast<std::size_t>(n)].Desc;
}

void clsItems::SetDesc(std::int32_t n, const std::string& Desc) {
    if (n < 0 || n >= Count()) return;
    ItemRec& item = items_[static_cast<std::size_t>(n)];
    item.Desc = Desc;
    MakeStorable(item);
}

void clsItems::Clear() { items_.clear(); }

void clsItems::RemoveItem(std::int32_t n) {
    if (n < 0 || n >= Count()) return;
    items_.erase(items_.begin() + n);
}

void clsItems::MoveItem(std::int32_t Source, std::int32_t Target) {
    if (Source < 0 || Target < 0 || Source >= Count() || Target >= Count()) return;
    auto s = static_cast<std::size_t>(Source);
    auto t = static_cast<std::size_t>(Target);
    ItemRec saved = std::move(items_[s]);
    if (s >= t) {
        for (std::size_t i = s; i > t; --i) items_[i] = std::move(items_[i - 1]);
    } else {
        for (std::size_t i = s; i < t; ++i) items_[i] = std::move(items_[i + 1]);
    }
    items_[t] = std::move(saved);
}

void clsItems::CopyItem(std::int32_t Source, std::int32_t Target) {
    if (Source < 0 || Target < 0 || Source >= Count() || Target > Count()) return;
    // The copy is taken aside before the list grows, so the source's new
    // position after the insertion does not matter.
    ItemRec copy = items_[static_cast<std::size_t>(Source)];
    items_.insert(items_.begin() + Target, std::move(copy));
}

void clsItems::UpdateBegin() {
    snapshot_ = items_;
    hasSnapshot_ = true;
}

void clsItems::UpdateCancel() {
    if (!hasSnapshot_) return;
    items_ = std::move(snapshot_);
    snapshot_ = {};
    hasSnapshot_ = false;
}

void clsItems::UpdateConfirm() {
    snapshot_ = {};
    hasSnapshot_ = false;
}

std::string clsItems::GetItemAsString(std::int32_t ItemIdx) const {
    if (ItemIdx < 0 || ItemIdx >= Count()) BadIndex("GetItemAsString", ItemIdx, Count());
    return ItemToText(items_[static_cast<std::size_t>(ItemIdx)]);
}

void clsItems::AppendItemText(std::int32_t ItemIdx, std::string& out) const {
    if (ItemIdx < 0 || ItemIdx >= Count()) BadIndex("AppendItemText", ItemIdx, Count());
    rw::AppendItemText(out, items_[static_cast<std::size_t>(ItemIdx)]);
}

std::size_t clsItems::TextSizeHint() const {
    std::size_t total = 0;
    for (const auto& it : items_) total += ItemTextSizeHint(it);
    return total;
}

}  // namespace rw

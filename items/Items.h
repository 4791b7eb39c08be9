// The ordered item list, the one global list and the one shared
// current-item record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "items/ItemRec.h"

namespace rw {

// Ordered, zero-based list of items. Records are copied in and out by value,
// and every record is stored as MakeStorable (items/ItemText.h) makes it, so
// that whatever the list holds survives the text form unchanged.
// AddItemAt, SetItemAt and GetItemAsString require a valid index and throw
// std::out_of_range otherwise (AddItemAtByString checks before it parses, so
// CurItem is left alone then); the other operations ignore bad indices,
// negative ones included.
class clsItems {
public:
    std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }

    // Inserts a copy of item at n (0 <= n <= Count; Count appends).
    void AddItemAt(std::int32_t n, const ItemRec& item);
    // Appends a copy of item.
    void AddItem(const ItemRec& item);
    // Parses the text into CurItem (fields whose key is absent are empty or
    // 0) and inserts a copy of CurItem at n.
    void AddItemAtByString(std::int32_t n, const std::string& sItemString);
    // The same at the end; the settings reader uses it.
    void AddItemAtEndByString(const std::string& sItemString);
    // Overwrites every field of item n (0 <= n < Count).
    void SetItemAt(std::int32_t n, const ItemRec& item);
    // Copies item n into out; leaves out untouched for a bad index.
    void GetItem(std::int32_t n, ItemRec& out) const;
    std::string GetDesc(std::int32_t n) const;
    void SetDesc(std::int32_t n, const std::string& Desc);
    void Clear();
    void RemoveItem(std::int32_t n);
    void MoveItem(std::int32_t Source, std::int32_t Target);
    void CopyItem(std::int32_t Source, std::int32_t Target);
    // Snapshot of all items; a second UpdateBegin replaces the first.
    void UpdateBegin();
    // Back to the snapshot, which is then dropped. Without a snapshot (none
    // taken, or already confirmed or cancelled) it does nothing, so a stray
    // call can never wipe the list.
    void UpdateCancel();
    void UpdateConfirm();
    bool HasSnapshot() const { return hasSnapshot_; }
    std::string GetItemAsString(std::int32_t ItemIdx) const;
    // Appends the text of item ItemIdx to out (no copy of the record); the
    // settings writer builds the whole file this way.
    void AppendItemText(std::int32_t ItemIdx, std::string& out) const;
    // Rough size of the whole list as text, for reserving buffers.
    std::size_t TextSizeHint() const;

private:
    std::vector<ItemRec> items_;
    std::vector<ItemRec> snapshot_;
    bool hasSnapshot_ = false;
};

extern clsItems gItems;
extern ItemRec CurItem;

}  // namespace rw

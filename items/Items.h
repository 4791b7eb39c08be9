// The item record, the ordered item list, the one global list and the one
// shared current-item record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rw {

struct ItemRec {
    std::string Desc;
    std::string Title;
    std::int32_t TitleTestType = 0;
    std::string WinClass;
    std::string Text;
    std::string Modul;
    std::string Macro;
    std::string WinSize;
    std::int32_t Delay = 0;
    bool operator==(const ItemRec&) const = default;
};

// Ordered, zero-based list of items. Records are copied in and out by value.
// AddItemAt, SetItemAt and GetItemAsString require a valid index and throw
// std::out_of_range otherwise; the other operations ignore bad indices.
class clsItems {
public:
    std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }

    void AddItemAt(std::int32_t n, const std::string& Desc, const std::string& Title,
                   std::int32_t TitleTestType, const std::string& WinClass, const std::string& Text,
                   const std::string& Modul, const std::string& WinSize, const std::string& Macro,
                   std::int32_t Delay);
    void AddItemAt(std::int32_t n, const ItemRec& item);
    void AddItem(const std::string& Desc, const std::string& Title, std::int32_t TitleTestType = 0,
                 const std::string& WinClass = {}, const std::string& Text = {},
                 const std::string& Modul = {}, const std::string& WinSize = {},
                 const std::string& Macro = {}, std::int32_t Flags = 0);
    void AddItemAtByString(std::int32_t n, const std::string& sItemString);
    void AddItemByString(const std::string& sItemString);
    void AddItemAtEndByString(const std::string& sItemString);
    void SetItemAt(std::int32_t n, const std::string& Desc, const std::string& Title,
                   std::int32_t TitleTestType, const std::string& WinClass, const std::string& Text,
                   const std::string& Modul, const std::string& WinSize, const std::string& Macro,
                   std::int32_t Delay);
    // Copies item n into out; leaves out untouched for a bad index.
    void GetItem(std::int32_t n, ItemRec& out) const;
    std::string GetDesc(std::int32_t n) const;
    void SetDesc(std::int32_t n, const std::string& Desc);
    void Clear();
    void RemoveItem(std::int32_t n);
    void MoveItem(std::int32_t Source, std::int32_t Target);
    void CopyItem(std::int32_t Source, std::int32_t Target);
    void UpdateBegin();
    void UpdateCancel();
    void UpdateConfirm();
    std::string GetItemAsString(std::int32_t ItemIdx) const;

private:
    std::vector<ItemRec> items_;
    std::vector<ItemRec> snapshot_;
    bool hasSnapshot_ = false;
};

extern clsItems gItems;
extern ItemRec CurItem;

}  // namespace rw

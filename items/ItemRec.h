// One item: what a window must be like, and the macro played into it.
#pragma once

#include <cstdint>
#include <string>

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

}  // namespace rw

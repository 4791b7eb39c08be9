// Readable gtest failure messages for whole item records, and a short way
// to make one.
#pragma once

#include <gtest/gtest.h>

#include <ostream>

#include "items/Items.h"

namespace rw {
// An item with only a name and a title, the rest empty.
inline ItemRec Named(const std::string& desc, const std::string& title = {}) {
    ItemRec r;
    r.Desc = desc;
    r.Title = title;
    return r;
}

inline void PrintTo(const ItemRec& r, std::ostream* os) {
    using ::testing::PrintToString;
    *os << "{Desc=" << PrintToString(r.Desc) << " Title=" << PrintToString(r.Title)
        << " TitleTestType=" << r.TitleTestType << " Class=" << PrintToString(r.WinClass)
        << " Text=" << PrintToString(r.Text) << " Modul=" << PrintToString(r.Modul)
        << " Macro=" << PrintToString(r.Macro) << " Size=" << PrintToString(r.WinSize)
        << " Delay=" << r.Delay << "}";
}
}  // namespace rw

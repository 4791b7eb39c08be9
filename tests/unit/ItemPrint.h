// Readable gtest failure messages for whole item records.
#pragma once

#include <gtest/gtest.h>

#include <ostream>

#include "items/Items.h"

namespace rw {
inline void PrintTo(const ItemRec& r, std::ostream* os) {
    using ::testing::PrintToString;
    *os << "{Desc=" << PrintToString(r.Desc) << " Title=" << PrintToString(r.Title)
        << " TitleTestType=" << r.TitleTestType << " Class=" << PrintToString(r.WinClass)
        << " Text=" << PrintToString(r.Text) << " Modul=" << PrintToString(r.Modul)
        << " Macro=" << PrintToString(r.Macro) << " Size=" << PrintToString(r.WinSize)
        << " Delay=" << r.Delay << "}";
}
}  // namespace rw

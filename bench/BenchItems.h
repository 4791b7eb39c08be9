// The item list the benchmarks measure: sizes as a user's list would have
// them (short names, a title, a class, a two-line message text, a module
// path, a macro).
#pragma once

#include <string>

#include "items/Items.h"

namespace rw {

inline void FillBenchList(clsItems& list, int count) {
    list.Clear();
    for (int i = 0; i < count; ++i) {
        std::string n = std::to_string(i);
        list.AddItemAt(i, ItemRec{"Answer save prompt " + n, "Save changes to document " + n + "?", i % 4,
                                  "#32770",
                                  "Do you want to save the changes you made to document " + n +
                                      "?\r\nYour changes will be lost if you don't save them.",
                                  "/usr/lib/office/program/soffice.bin", "{TAB}{TAB}%n{ENTER}" + n, "420x160",
                                  (i * 37) % 2000});
    }
}

}  // namespace rw

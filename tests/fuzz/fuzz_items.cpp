// Feeds arbitrary bytes to the item text parser, the settings file reader and
// the numeric rule, and checks what must hold for any input:
//  - Desc is never empty after a parse, Text never longer than the buffer;
//  - a list read from any file, written and read again, gives the same items
//    and, written once more, the same bytes (the writer and reader agree).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "items/ItemText.h"
#include "items/Items.h"
#include "items/Settings.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_items: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace rw;
    const std::string input(reinterpret_cast<const char*>(data), size);
    // Each input starts from the state the program starts with.
    CurItem = ItemRec{};

    (void)NumericValue(input);

    ItemRec rec;
    ParseItemText(input, rec);
    Check(!rec.Desc.empty(), "empty Desc after parse");
    Check(rec.Text.size() <= kTextBufferChars - 2, "Text longer than its buffer");
    (void)ItemToText(rec);

    clsItems first;
    ReadSettingsText(input, first);
    for (std::int32_t i = 0; i < first.Count(); ++i) {
        ItemRec r;
        first.GetItem(i, r);
        Check(!r.Desc.empty(), "empty Desc in list");
        Check(r.Text.size() <= kTextBufferChars - 2, "Text longer than its buffer in list");
    }

    const std::string text1 = SettingsFileText(first);
    clsItems second;
    ReadSettingsText(text1, second);
    Check(second.Count() == first.Count(), "item count changed by write and read");
    for (std::int32_t i = 0; i < first.Count(); ++i) {
        ItemRec a, b;
        first.GetItem(i, a);
        second.GetItem(i, b);
        Check(a == b, "item changed by write and read");
    }
    Check(SettingsFileText(second) == text1, "file text changed by write and read");

    // The list operations on whatever came out.
    if (first.Count() > 0) {
        first.UpdateBegin();
        first.CopyItem(0, first.Count());
        first.MoveItem(0, first.Count() - 1);
        first.RemoveItem(0);
        first.UpdateCancel();
        Check(SettingsFileText(first) == text1, "cancel did not restore the list");
    }
    return 0;
}

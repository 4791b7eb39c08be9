// Feeds arbitrary bytes to the item text parser, the settings file reader and
// the numeric rule, and checks what must hold for any input:
//  - Desc is never empty after a parse, Text never longer than the buffer;
//  - a list read from any file, written and read again, gives the same items
//    and, written once more, the same bytes (the writer and reader agree);
//  - records made of arbitrary field values (line breaks of every kind
//    included), stored in a list, written and read back, come back as
//    stored, but for the spaces the text form drops at the end of a line;
//    so no value can split its item or smuggle in a key of its own;
//  - a field whose key an item's text lacks is empty, whatever the shared
//    record held before.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
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

std::string TrimEnd(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// What the text form gives back for a stored record.
rw::ItemRec AfterRoundTrip(rw::ItemRec r) {
    for (std::string* f : {&r.Desc, &r.Title, &r.WinClass, &r.Modul, &r.Macro, &r.WinSize}) *f = TrimEnd(*f);
    if (r.Desc.empty()) r.Desc = "-";
    std::string text;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t e = r.Text.find("\r\n", pos);
        text += TrimEnd(r.Text.substr(pos, e == std::string::npos ? std::string::npos : e - pos));
        if (e == std::string::npos) break;
        text += "\r\n";
        pos = e + 2;
    }
    r.Text = text;
    return r;
}

// Field values from the input, rich in the bytes that matter here.
std::string Value(FuzzedDataProvider& in) {
    std::string v = in.ConsumeRandomLengthString(80);
    for (char& c : v) {
        switch (static_cast<unsigned char>(c) % 16) {
            case 0: c = '\r'; break;
            case 1: c = '\n'; break;
            case 2: c = ' '; break;
            case 3: c = '='; break;
            default: break;
        }
    }
    return v;
}

void RecordsSurviveTheFile(const std::uint8_t* data, std::size_t size) {
    using namespace rw;
    FuzzedDataProvider in(data, size);
    clsItems list;
    std::vector<ItemRec> expected;
    const int n = in.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < n; ++i) {
        ItemRec r;
        r.Desc = Value(in);
        r.Title = Value(in);
        r.TitleTestType = in.ConsumeIntegral<std::int32_t>();
        r.WinClass = Value(in);
        r.Text = Value(in);
        r.Modul = Value(in);
        r.Macro = Value(in);
        r.WinSize = Value(in);
        r.Delay = in.ConsumeIntegral<std::int32_t>();
        list.AddItemAt(i, r);
        ItemRec stored;
        list.GetItem(i, stored);
        for (const std::string* f : {&stored.Desc, &stored.Title, &stored.WinClass, &stored.Modul,
                                     &stored.Macro, &stored.WinSize})
            Check(f->find_first_of("\r\n") == std::string::npos, "line break kept in a one-line field");
        expected.push_back(AfterRoundTrip(stored));
    }
    clsItems back;
    CurItem = ItemRec{"stale", "stale", 3, "stale", "stale", "stale", "stale secret", "1x1", 99};
    ReadSettingsText(SettingsFileText(list), back);
    Check(back.Count() == n, "records: item count changed by the file");
    for (int i = 0; i < n; ++i) {
        ItemRec b;
        back.GetItem(i, b);
        Check(b == expected[static_cast<std::size_t>(i)], "records: item changed by the file");
    }
    // An item text without some keys takes nothing from the record before.
    ItemRec partial{"x", "x", 1, "x", "x", "x", "secret", "x", 1};
    ParseItemText("Title=t\r\n", partial);
    Check(partial == ItemRec{"-", "t", 0, "", "", "", "", "", 0}, "absent key kept an old value");
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

    RecordsSurviveTheFile(data, size);

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

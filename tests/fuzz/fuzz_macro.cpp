// Plays arbitrary macros into a dialog on the fake window system, with the
// target leaving the foreground, closing, or being replaced by a new window
// with its handle at an arbitrary moment, and checks what must hold for any
// macro:
//  - playback ends within the bound its pauses allow (no hang);
//  - no modifier is left down when it ends;
//  - once the target is gone or replaced, nothing more reaches any window;
//    once it merely left the foreground, no key is pressed (characters
//    posted to the captured window may follow where they do not follow the
//    focus).
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "actions/KeyTable.h"
#include "actions/SendKeys.h"
#include "actions/WinServices.h"
#include "backends/fake/FakePlatform.h"
#include "base/AppValues.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "fuzz_macro: %s\n", what);
        std::abort();
    }
}

std::size_t CountNoCase(const std::string& text, const std::string& what) {
    std::string upper = text;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::size_t n = 0;
    for (auto at = upper.find(what); at != std::string::npos; at = upper.find(what, at + 1)) ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace rw;
    if (size < 4) return 0;
    const int kind = data[0] % 4;  // 0 nothing, 1 another window in front, 2 target closed, 3 handle reused
    const std::uint32_t when = 11u + ((static_cast<std::uint32_t>(data[1]) << 8) | data[2]);
    const bool followsFocus = (data[3] & 1) != 0;
    const std::string macro(reinterpret_cast<const char*>(data + 4), std::min<std::size_t>(size - 4, 300));

    FakePlatform fake;
    SetPlatform(&fake.roles);
    App = AppValues{};
    fake.recordSleeps = false;
    fake.charactersFollowFocus = followsFocus;
    LoadKeyTable();
    gMainWindow = fake.AddOwnMainWindow(5);
    FakeWindow d;
    d.title = "Question";
    d.cls = "#32770";
    d.thread = 7;
    d.pid = 70;
    const WinHandle dlg = fake.AddWindow(d);
    const WinHandle edit = fake.AddChild(dlg, "Edit", "", 0x3E9);
    fake.AddChild(dlg, "Button", "&Yes", 6);
    FakeWindow o;
    o.title = "Other";
    o.thread = 8;
    o.pid = 80;
    const WinHandle other = fake.AddWindow(o);
    fake.SetForeground(dlg);
    fake.SetFocusWindow(edit);
    fake.priorities[70] = priority::Normal;

    std::size_t eventAt = static_cast<std::size_t>(-1);
    if (kind != 0) {
        fake.At(when, [&] {
            eventAt = fake.transcript.size();
            if (kind == 1) {
                fake.SetForeground(other);
                fake.SetFocusWindow(other);
            } else if (kind == 2) {
                fake.DestroyWindow(dlg);
                fake.SetForeground(other);
            } else {
                FakeWindow next;
                next.title = "Next";
                next.thread = 9;
                next.pid = 90;
                fake.AddWindowReusing(dlg, next);
                fake.SetForeground(dlg);
                fake.SetFocusWindow(dlg);
            }
        });
    }

    const std::uint32_t start = fake.Now();
    SendKeys(macro, fake.IdentifyWindow(dlg));
    const std::uint64_t bound = 2000 + 400ull * macro.size() + 60000ull * CountNoCase(macro, "{DELAY=");
    Check(fake.Now() - start <= bound, "playback outlasted every pause it asked for");

    for (int vk : {0x10, 0x11, 0x12, 0x5B, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5})
        Check(fake.GetKeyState(vk) >= 0, "a modifier is still down after playback");

    if (eventAt != static_cast<std::size_t>(-1)) {
        for (std::size_t i = eventAt; i < fake.transcript.size(); ++i) {
            const std::string& line = fake.transcript[i];
            const bool key = line.rfind("keydown", 0) == 0;
            const bool typed = line.rfind("char", 0) == 0;
            const bool aimed = line.rfind("command", 0) == 0 || line.rfind("show", 0) == 0 ||
                               line.rfind("close", 0) == 0;
            Check(!key, "a key was pressed after the target left the foreground");
            if (kind >= 2) Check(!typed && !aimed, "input reached a window after the target went away");
            if (kind == 1 && followsFocus) Check(!typed, "a character followed the focus into another window");
        }
    }
    gMainWindow = 0;
    SetPlatform(nullptr);
    return 0;
}

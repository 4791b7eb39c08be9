// The set-up the unit tests share: the core's globals on a fresh fake window
// system, a dialog of another program to aim at, a private folder for real
// files, and readable item records in failure messages.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "actions/KeyTable.h"
#include "actions/Pause.h"
#include "actions/WinServices.h"
#include "app/Startup.h"
#include "backends/fake/FakePlatform.h"
#include "items/Items.h"

namespace rw {

using Lines = std::vector<std::string>;

// The sleeps of one long wait (an item's delay, a {DELAY=}): slice by slice.
inline Lines PauseLines(std::uint32_t ms) {
    Lines lines;
    do {
        const std::uint32_t slice = ms < kPauseSliceMs ? ms : kPauseSliceMs;
        lines.push_back("sleep " + std::to_string(slice));
        ms -= slice;
    } while (ms > 0);
    return lines;
}

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

// A top-level window of another program.
inline FakeWindow Window(const std::string& title, const std::string& cls = {}, std::uint32_t thread = 1,
                         std::uint32_t pid = 1) {
    FakeWindow w;
    w.title = title;
    w.cls = cls;
    w.thread = thread;
    w.pid = pid;
    return w;
}

// Every global the core keeps, emptied before and after each test so that no
// test sees another's items, keys or windows.
template <class Fake = FakePlatform>
class CoreTestOf : public ::testing::Test {
protected:
    void SetUp() override {
        SetPlatform(&fake.roles);
        ResetGlobals();
    }
    void TearDown() override {
        ResetGlobals();
        SetPlatform(nullptr);
        if (!folder_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(folder_, ec);
        }
    }
    static void ResetGlobals() {
        App = AppValues{};
        gItems.Clear();
        gItems.UpdateConfirm();
        CurItem = ItemRec{};
        KeyNames.clear();
        KeyCodes.clear();
        gMainWindow = 0;
        SetPauseService({});
        ClearStopRequest();
    }
    // An empty folder of this test's own, removed afterwards.
    const std::filesystem::path& Folder() {
        if (folder_.empty()) {
            std::string pattern = (std::filesystem::temp_directory_path() / "rw-unit-XXXXXX").string();
            EXPECT_NE(::mkdtemp(pattern.data()), nullptr);
            folder_ = pattern;
        }
        return folder_;
    }

    Fake fake;

private:
    std::filesystem::path folder_;
};
using CoreTest = CoreTestOf<>;

// Our program running (main window, key table, debug lines on) next to a
// dialog of another program: thread 7, process 70.
class DialogTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        App.DebugMode = true;
        LoadKeyTable();
        gMainWindow = fake.AddOwnMainWindow();
    }
    WinHandle AddDialog(const std::string& title, Rect rect = {100, 100, 400, 250}) {
        FakeWindow d = Window(title, "#32770", 7, 70);
        d.rect = rect;
        return fake.AddWindow(d);
    }
    // The "Question" dialog with an edit box that has the focus.
    void AddQuestion() {
        dlg = AddDialog("Question");
        edit = fake.AddChild(dlg, "Edit", "", 0x3E9);
        fake.SetFocusWindow(edit);
    }

    WinHandle dlg = 0;
    WinHandle edit = 0;
};

}  // namespace rw

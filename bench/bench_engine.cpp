// The engine's own cost: one examination against a long item list, and the
// player per character and per named key with every pause and every wait on
// the target taken out (a platform whose calls cost nothing).
#include <benchmark/benchmark.h>

#include <string>

#include "actions/KeyTable.h"
#include "actions/SendKeys.h"
#include "actions/WinServices.h"
#include "app/Startup.h"
#include "app/Matcher.h"
#include "backends/fake/FakePlatform.h"
#include "items/Items.h"

using namespace rw;

namespace {

// The fake window system with everything the player sends or waits for
// turned into nothing: no transcript, no clock, no pauses.
class NullPlatform : public FakePlatform {
public:
    NullPlatform() { recordSleeps = false; }
    void Sleep(std::uint32_t) override {}
    void TimeBeginPeriod(std::uint32_t) override {}
    void TimeEndPeriod(std::uint32_t) override {}
    void DebugOutput(const std::string&) override {}
    std::uint32_t GetPriorityClass(std::uint32_t) override { return 0; }
    bool SetPriorityClass(std::uint32_t, std::uint32_t) override { return true; }
    void WaitForInputIdle(std::uint32_t, std::uint32_t) override {}
    bool PostChar(WinHandle, const std::string& ch) override {
        benchmark::DoNotOptimize(ch.data());
        return true;
    }
    bool PostCommand(WinHandle, int, WinHandle) override { return true; }
    bool PostClose(WinHandle) override { return true; }
    bool WaitUntilAnswers(WinHandle, std::uint32_t) override { return true; }
    // Unrecorded: the transcript would grow with every macro.
    WinHandle FocusedControl(WinHandle) override { return focusedControl; }
    WinHandle focusedControl = 0;
    void KeyEvent(std::uint8_t vk, std::uint8_t, std::uint32_t) override { benchmark::DoNotOptimize(vk); }
    std::string GetProcessModulePath(std::uint32_t) override { return "C:\\WINDOWS\\NOTEPAD.EXE"; }
};

struct Scene {
    NullPlatform sys;
    WinHandle dlg = 0;
    WinHandle edit = 0;

    Scene() {
        SetPlatform(&sys.roles);
        App = AppValues{};
        LoadKeyTable();
        gMainWindow = sys.AddOwnMainWindow();
        FakeWindow d;
        d.title = "Save changes";
        d.cls = "#32770";
        d.rect = {100, 100, 740, 580};
        d.pid = 70;
        dlg = sys.AddWindow(d);
        sys.AddChild(dlg, "Static", "");
        sys.AddChild(dlg, "Static", "Do you want to save the changes?");
        edit = sys.AddChild(dlg, "Edit", "", 0x3E9);
        sys.SetForeground(dlg);
        sys.SetFocusWindow(edit);
        sys.focusedControl = edit;
    }
    ~Scene() {
        gItems.Clear();
        gMainWindow = 0;
        SetPlatform(nullptr);
    }
};

ItemRec MakeItem(const std::string& title, std::int32_t type, const std::string& cls) {
    ItemRec r;
    r.Desc = title;
    r.Title = title;
    r.TitleTestType = type;
    r.WinClass = cls;
    r.Text = "Do you want";
    r.Modul = "*";
    r.Macro = "{Dialog Yes}";
    return r;
}

// 10,000 items of every test type whose titles do not fit; only the last
// one matches.
void BM_ExamineAgainst10000Items(benchmark::State& state) {
    Scene scene;
    gItems.Clear();
    const std::int32_t n = 10000;
    for (std::int32_t i = 0; i < n - 1; ++i)
        gItems.AddItemAt(i, MakeItem("Untitled - Program " + std::to_string(i), i % 4, "#32770"));
    gItems.AddItemAt(n - 1, MakeItem("Save", FromLeft, "#32770"));
    for (auto _ : state) {
        bool hit = FindMatchingItem(scene.dlg);
        benchmark::DoNotOptimize(hit);
        if (!hit || CurItem.Title != "Save") state.SkipWithError("wrong item matched");
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ExamineAgainst10000Items)->Unit(benchmark::kMillisecond);

// The expensive case: every item passes title, class, text and size and
// fails only at the module, so each one reads the rectangle and looks the
// module up.
void BM_ExamineAgainst10000ItemsFailingLate(benchmark::State& state) {
    Scene scene;
    gItems.Clear();
    const std::int32_t n = 10000;
    for (std::int32_t i = 0; i < n - 1; ++i) {
        ItemRec r = MakeItem("Save changes", Exact, "#32770");
        r.WinSize = "640x480";
        r.Modul = "C:\\Other\\Program" + std::to_string(i) + ".exe";
        gItems.AddItemAt(i, r);
    }
    gItems.AddItemAt(n - 1, MakeItem("Save", FromLeft, "#32770"));
    for (auto _ : state) {
        bool hit = FindMatchingItem(scene.dlg);
        benchmark::DoNotOptimize(hit);
        if (!hit || CurItem.Title != "Save") state.SkipWithError("wrong item matched");
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ExamineAgainst10000ItemsFailingLate)->Unit(benchmark::kMillisecond);

constexpr int kMacroUnits = 1000;

void RunMacro(benchmark::State& state, const std::string& macro) {
    Scene scene;
    for (auto _ : state) SendKeys(macro);
    state.SetItemsProcessed(state.iterations() * kMacroUnits);
}

// Plain characters without a "}": the fast path.
void BM_PlayPlainCharacter(benchmark::State& state) { RunMacro(state, std::string(kMacroUnits, 'a')); }
BENCHMARK(BM_PlayPlainCharacter);

// Plain characters in brace mode (a "}" somewhere): each one waits first.
void BM_PlayPlainCharacterBraceMode(benchmark::State& state) {
    RunMacro(state, std::string(kMacroUnits - 1, 'a') + "}");
}
BENCHMARK(BM_PlayPlainCharacterBraceMode);

void BM_PlayNamedKey(benchmark::State& state) {
    std::string macro;
    for (int i = 0; i < kMacroUnits; ++i) macro += "{ENTER}";
    RunMacro(state, macro);
}
BENCHMARK(BM_PlayNamedKey);

// A name near the end of the key table costs the longest lookup.
void BM_PlayNamedKeyLastFixedName(benchmark::State& state) {
    std::string macro;
    for (int i = 0; i < kMacroUnits; ++i) macro += "{scrolllock-}";
    RunMacro(state, macro);
}
BENCHMARK(BM_PlayNamedKeyLastFixedName);

}  // namespace

BENCHMARK_MAIN();

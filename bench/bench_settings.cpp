// Load and save of a settings file with 10,000 items.
//
//   build/<dir>/bench/bench_settings
//
// Counters: file_MB is the size of the file; alloc_MB the bytes allocated per
// iteration; peak_MB the most memory held at once during one iteration
// (above what was held before it). Both memory figures should stay a small
// multiple of the file size.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <new>
#include <string>
#include <unistd.h>

#include "app/Startup.h"
#include "backends/fake/FakePlatform.h"
#include "items/ItemText.h"
#include "bench/BenchItems.h"
#include "items/Items.h"
#include "items/Settings.h"

// ---- Allocation counting ----------------------------------------------------

namespace {
std::atomic<std::size_t> gAllocated{0};
std::atomic<std::size_t> gLive{0};
std::atomic<std::size_t> gPeak{0};
constexpr std::size_t kHeader = 16;

void* CountedAlloc(std::size_t n) {
    void* p = std::malloc(n + kHeader);
    if (p == nullptr) throw std::bad_alloc();
    *static_cast<std::size_t*>(p) = n;
    gAllocated += n;
    std::size_t live = gLive += n;
    std::size_t peak = gPeak.load();
    while (live > peak && !gPeak.compare_exchange_weak(peak, live)) {
    }
    return static_cast<char*>(p) + kHeader;
}
void CountedFree(void* q) noexcept {
    if (q == nullptr) return;
    void* p = static_cast<char*>(q) - kHeader;
    gLive -= *static_cast<std::size_t*>(p);
    std::free(p);
}
}  // namespace

void* operator new(std::size_t n) { return CountedAlloc(n); }
void* operator new[](std::size_t n) { return CountedAlloc(n); }
void operator delete(void* p) noexcept { CountedFree(p); }
void operator delete[](void* p) noexcept { CountedFree(p); }
void operator delete(void* p, std::size_t) noexcept { CountedFree(p); }
void operator delete[](void* p, std::size_t) noexcept { CountedFree(p); }

namespace {

using namespace rw;

constexpr int kItems = 10000;

void FillList(clsItems& list) { FillBenchList(list, kItems); }

// Files written like the real ones but without the final flush to disk, so
// that a save can be timed without the disk's latency.
class NoFlushFiles : public FakeFiles {
public:
    using FakeFiles::FakeFiles;
    bool WriteNewFileDurably(const std::string& path, const std::string& bytes,
                             const std::string& /*modeTemplate*/) override {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        if (::close(fd) != 0) ok = false;
        if (!ok) ::unlink(path.c_str());
        return ok;
    }
    bool ReplaceFileWith(const std::string& source, const std::string& target) override {
        return std::rename(source.c_str(), target.c_str()) == 0;
    }
    // Through the two steps above, not the fake's own checked save.
    FileOutcome ReplaceUsersFile(const std::string& path, const std::string& bytes,
                                 const std::string& tmpSuffix) override {
        return Files::ReplaceUsersFile(path, bytes, tmpSuffix);
    }
};

// The fake with those files.
struct NoFlushPlatform {
    FakePlatform fake;
    NoFlushFiles files{fake};
    const Platform roles{files,          fake.roles.facts, fake.roles.clock, fake.roles.clipboard,
                         fake.roles.windows, fake.roles.processes, fake.roles.input, fake.roles.dialogs};
};

struct Env {
    NoFlushPlatform noFlush;
    FakePlatform real;
    std::string dir;
    std::string fileText;
    Env() {
        char tmpl[] = "/tmp/rw-bench-XXXXXX";
        if (::mkdtemp(tmpl) == nullptr) std::abort();
        dir = tmpl;
        App.IniPath = dir + "/replywick.ini";
        SetPlatform(&real.roles);
        FillList(gItems);
        fileText = SettingsFileText(gItems);
        if (SaveSettings() != SaveResult::Saved) std::abort();
    }
    ~Env() {
        std::remove(App.IniPath.c_str());
        std::remove((App.IniPath + ".tmp").c_str());
        ::rmdir(dir.c_str());
    }
};

Env& TheEnv() {
    static Env env;
    return env;
}

// Runs body once per iteration and reports the memory it needed.
template <class Body>
void Measure(benchmark::State& state, Body&& body) {
    Env& env = TheEnv();
    std::size_t allocated = 0;
    std::size_t peakAbove = 0;
    std::int64_t iterations = 0;
    for (auto _ : state) {
        std::size_t before = gAllocated.load();
        std::size_t liveBefore = gLive.load();
        gPeak = liveBefore;
        body();
        allocated += gAllocated.load() - before;
        peakAbove = std::max(peakAbove, gPeak.load() - liveBefore);
        ++iterations;
    }
    const double mb = 1024.0 * 1024.0;
    state.counters["file_MB"] = static_cast<double>(env.fileText.size()) / mb;
    state.counters["alloc_MB"] =
        iterations ? static_cast<double>(allocated) / static_cast<double>(iterations) / mb : 0.0;
    state.counters["peak_MB"] = static_cast<double>(peakAbove) / mb;
}

void BM_ReadSettingsText(benchmark::State& state) {
    Env& env = TheEnv();
    clsItems list;
    Measure(state, [&] {
        ReadSettingsText(env.fileText, list);
        benchmark::DoNotOptimize(list.Count());
    });
    if (list.Count() != kItems) state.SkipWithError("wrong item count");
}
BENCHMARK(BM_ReadSettingsText)->Unit(benchmark::kMillisecond);

// The whole start-up load: reading the file and filling gItems.
void BM_LoadSettings(benchmark::State& state) {
    Env& env = TheEnv();
    SetPlatform(&env.real.roles);
    Measure(state, [&] {
        LoadSettings();
        benchmark::DoNotOptimize(gItems.Count());
    });
    if (gItems.Count() != kItems) state.SkipWithError("wrong item count");
}
BENCHMARK(BM_LoadSettings)->Unit(benchmark::kMillisecond);

void BM_SettingsFileText(benchmark::State& state) {
    TheEnv();
    Measure(state, [&] {
        std::string text = SettingsFileText(gItems);
        benchmark::DoNotOptimize(text.data());
    });
}
BENCHMARK(BM_SettingsFileText)->Unit(benchmark::kMillisecond);

// The whole save (text, temporary file, rename) without the flush to disk.
void BM_SaveSettingsNoFlush(benchmark::State& state) {
    Env& env = TheEnv();
    SetPlatform(&env.noFlush.roles);
    Measure(state, [&] {
        if (SaveSettings() != SaveResult::Saved) std::abort();
    });
    SetPlatform(&env.real.roles);
}
BENCHMARK(BM_SaveSettingsNoFlush)->Unit(benchmark::kMillisecond);

// The same with the flush to disk, for comparison (depends on the disk).
void BM_SaveSettingsDurable(benchmark::State& state) {
    Env& env = TheEnv();
    SetPlatform(&env.real.roles);
    Measure(state, [&] {
        if (SaveSettings() != SaveResult::Saved) std::abort();
    });
}
BENCHMARK(BM_SaveSettingsDurable)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

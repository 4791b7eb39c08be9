// Drives the settings writer for the fault runs of save_faults.sh: the real
// SaveSettings on the scriptable platform, whose file calls are the real
// POSIX ones. Every list it writes is a pure function of a generation
// number and an item count, so a checker can tell exactly which complete
// list, if any, a file holds.
//
//   save_driver loop FILE FIRST_GEN [COUNT]
//       saves generation FIRST_GEN, FIRST_GEN+1, ... until killed; prints
//       "saved G" once save G is complete (the file replaced)
//   save_driver write FILE GEN [COUNT]
//       one save; prints the result (Saved, Failed, ReadOnly, NotRead);
//       exit code 0 only for Saved
//   save_driver check FILE GEN[:COUNT]...
//       prints the generation the file holds exactly, or EMPTY, MISSING or
//       OTHER (a mix, a torn or a foreign file); exit code 0 for a match

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "backends/fake/FakePlatform.h"
#include "base/AppValues.h"
#include "items/Items.h"
#include "items/Settings.h"

namespace {

constexpr int kDefaultCount = 10000;

// Generations differ in every item and in their length, so neither a file
// cut short nor one made of two generations' pieces can pass for either.
void FillItems(long gen, int count, rw::clsItems& items) {
    items.Clear();
    const int n = count + static_cast<int>(gen % 3);
    for (int i = 0; i < n; ++i) {
        rw::ItemRec r;
        const std::string tag = std::to_string(gen) + "/" + std::to_string(i);
        r.Desc = "Item " + tag;
        r.Title = "Confirm " + tag;
        r.TitleTestType = i % 4;
        r.WinClass = i % 2 ? "Zenity" : "#32770";
        r.Text = "Generation " + std::to_string(gen) + " asks";
        r.Modul = i % 5 ? "" : "/usr/bin/zenity";
        r.Macro = "{Dialog Yes}answer " + tag + "{ENTER}";
        r.WinSize = i % 7 ? "" : "400x300";
        r.Delay = static_cast<std::int32_t>(i % 100);
        items.AddItem(r);
    }
}

// The file's bytes; false when it cannot be opened.
bool ReadAll(const std::string& path, std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    const bool ok = std::ferror(f) == 0;
    std::fclose(f);
    return ok;
}

std::string Expected(long gen, int count) {
    rw::clsItems items;
    FillItems(gen, count, items);
    return rw::SettingsFileText(items);
}

const char* ResultName(rw::SaveResult r) {
    switch (r) {
        case rw::SaveResult::Saved: return "Saved";
        case rw::SaveResult::NotRead: return "NotRead";
        case rw::SaveResult::ReadOnly: return "ReadOnly";
        case rw::SaveResult::Failed: return "Failed";
    }
    return "?";
}

int Usage() {
    std::fputs("usage: save_driver loop FILE FIRST_GEN [COUNT]\n"
               "       save_driver write FILE GEN [COUNT]\n"
               "       save_driver check FILE GEN[:COUNT]...\n",
               stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return Usage();
    const std::string mode = argv[1];
    const std::string file = argv[2];

    rw::FakePlatform fake;
    fake.sep = '/';
    fake.exePath = "/nonexistent/replywick";
    // Each process names its temporary file after its own id, as the
    // program does.
    fake.processId = static_cast<std::uint32_t>(getpid());
    fake.recordSleeps = false;
    rw::SetPlatform(&fake.roles);
    rw::App.IniPath = file;

    if (mode == "check") {
        std::string bytes;
        if (access(file.c_str(), F_OK) != 0) {
            std::puts("MISSING");
            return 1;
        }
        if (!ReadAll(file, bytes) || bytes.empty()) {
            std::puts("EMPTY");
            return 1;
        }
        for (int i = 3; i < argc; ++i) {
            const std::string arg = argv[i];
            const auto colon = arg.find(':');
            const long gen = std::atol(arg.substr(0, colon).c_str());
            const int count = colon == std::string::npos ? kDefaultCount : std::atoi(arg.c_str() + colon + 1);
            if (bytes == Expected(gen, count)) {
                std::printf("%ld\n", gen);
                return 0;
            }
        }
        std::puts("OTHER");
        return 1;
    }

    const long gen = std::atol(argv[3]);
    const int count = argc > 4 ? std::atoi(argv[4]) : kDefaultCount;
    if (mode == "write") {
        FillItems(gen, count, rw::gItems);
        const rw::SaveResult r = rw::SaveSettings();
        std::puts(ResultName(r));
        return r == rw::SaveResult::Saved ? 0 : 1;
    }
    if (mode == "loop") {
        for (long g = gen;; ++g) {
            FillItems(g, count, rw::gItems);
            const rw::SaveResult r = rw::SaveSettings();
            if (r != rw::SaveResult::Saved) {
                std::printf("failed %ld %s\n", g, ResultName(r));
                std::fflush(stdout);
                return 1;
            }
            std::printf("saved %ld\n", g);
            std::fflush(stdout);
        }
    }
    return Usage();
}

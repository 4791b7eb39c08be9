// Looks at a dialog through the accessibility bridge, as the X11 backend
// will: finds the managed X window of a process, prints the accessible nodes
// below it and the dialog text, optionally presses a dialog button, and can
// time repeated examinations.
//
//   atspi_probe PID                 print nodes and dialog text
//   atspi_probe PID --press ID      press the button of control ID (1 OK, 2 Cancel, 4 Retry,
//                                   5 Ignore, 6 Yes, 7 No; OK falls back to 2)
//   atspi_probe PID --bench N       N examinations (Snapshot + dialog text): min/median/p95
//   atspi_probe PID --ready         ms from the window being managed until its text is seen
//   atspi_probe --soak N [single]   N zenity dialogs one after another, each read as soon as its
//                                   window is managed (as the program reads it) and answered;
//                                   prints the dialogs missed and the resident memory on the way
//                                   ("single": one look per dialog, no waiting for registration)
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "AccessibilityBridge.h"
#include "XWindows.h"

namespace {

long ResidentKiB() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

pid_t Spawn(const std::vector<std::string>& argv) {
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        if (FILE* null = std::fopen("/dev/null", "w")) dup2(fileno(null), 2);
        execvp(args[0], args.data());
        _exit(127);
    }
    return pid;
}

// The dialogs of a long day: each read the moment its window is managed and
// answered, the next one started once the last has ended.
int Soak(int count, bool singleLook) {
    rwtest::XDisplay x;
    if (!x.get()) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    rw::atspi::AccessibilityBridge bridge;
    int missed = 0, unanswered = 0;
    std::vector<std::pair<int, long>> rss;
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 1; i <= count; ++i) {
        const std::string title = "Soak " + std::to_string(i);
        const std::string text = "Soak dialog number " + std::to_string(i);
        const pid_t pid = Spawn({"zenity", "--info", "--title=" + title, "--text=" + text, "--no-markup"});
        std::optional<rwtest::XWin> win;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            const auto all = x.AllOfPid(pid);
            if (!all.empty() && all.front().title == title) {
                win = all.front();
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        bool answered = false;
        if (win) {
            const rw::atspi::AccWindow window{static_cast<std::uint32_t>(pid), win->title, win->x, win->y,
                                            win->w, win->h};
            const std::string read = rw::atspi::DialogTextFromNodes(
                singleLook ? bridge.TextNodes(window) : bridge.TextNodesOnceReady(window));
            if (read != text) {
                ++missed;
                std::printf("dialog %d missed: read '%s'\n", i, read.c_str());
            }
            answered = bridge.PressButton(window, {1}) == 1;
        } else {
            ++missed;
            std::printf("dialog %d: no window\n", i);
        }
        int status = 0;
        const auto waitEnd = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (waitpid(pid, &status, WNOHANG) != pid) {
            if (std::chrono::steady_clock::now() >= waitEnd) {
                answered = false;
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        if (!answered) ++unanswered;
        if (i == 1 || i == 10 || i == 100 || i % 500 == 0 || i == count) rss.emplace_back(i, ResidentKiB());
    }
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("dialogs: %d; missed: %d; not answered: %d; %.0f s\n", count, missed, unanswered, secs);
    long at100 = -1;
    for (const auto& [i, kib] : rss) {
        std::printf("resident memory after dialog %d: %ld KiB\n", i, kib);
        if (i == 100) at100 = kib;
    }
    if (at100 >= 0 && count > 100)
        std::printf("growth from dialog 100 to dialog %d: %ld KiB\n", count, rss.back().second - at100);
    return missed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--soak") == 0)
        return Soak(std::max(1, std::atoi(argv[2])), argc >= 4 && std::strcmp(argv[3], "single") == 0);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PID [--press ID | --bench N]\n", argv[0]);
        return 2;
    }
    const auto pid = static_cast<pid_t>(std::atoi(argv[1]));
    rwtest::XDisplay x;
    if (!x.get()) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    auto win = x.FindByPid(pid, 5000);
    if (!win) {
        std::fprintf(stderr, "no managed window of pid %d\n", static_cast<int>(pid));
        return 1;
    }
    std::printf("window 0x%lx '%s' %d,%d %dx%d\n", win->id, win->title.c_str(), win->x, win->y,
                win->w, win->h);
    rw::atspi::AccessibilityBridge bridge;
    const rw::atspi::AccWindow window{static_cast<std::uint32_t>(pid), win->title, win->x, win->y, win->w,
                                    win->h};

    if (argc >= 4 && std::strcmp(argv[2], "--press") == 0) {
        const int id = std::atoi(argv[3]);
        const int pressed = id == 1 ? bridge.PressButton(window, {1, 2}) : bridge.PressButton(window, {id});
        std::printf("press %d: %s\n", pressed != 0 ? pressed : id, pressed != 0 ? "pressed" : "not pressed");
        return pressed != 0 ? 0 : 1;
    }
    if (argc >= 3 && std::strcmp(argv[2], "--ready") == 0) {
        const auto t0 = std::chrono::steady_clock::now();
        int tries = 0;
        std::string text;
        while (text.empty() && std::chrono::steady_clock::now() - t0 < std::chrono::seconds(10)) {
            ++tries;
            text = rw::atspi::DialogTextFromNodes(bridge.Snapshot(window));
        }
        std::printf("text '%s' after %.1f ms, %d examinations\n", text.c_str(),
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count(),
                    tries);
        return text.empty() ? 1 : 0;
    }
    if (argc >= 4 && std::strcmp(argv[2], "--bench") == 0) {
        const int n = std::max(1, std::atoi(argv[3]));
        for (const bool full : {true, false}) {
            std::vector<double> ms;
            std::string text;
            for (int i = 0; i < n; ++i) {
                const auto t0 = std::chrono::steady_clock::now();
                text = rw::atspi::DialogTextFromNodes(full ? bridge.Snapshot(window) : bridge.TextNodes(window));
                ms.push_back(
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                        .count());
            }
            const double first = ms.front();
            std::sort(ms.begin(), ms.end());
            std::printf("%s, text '%s'\n", full ? "Snapshot" : "TextNodes", text.c_str());
            std::printf("examinations %d: first %.2f ms, min %.2f ms, median %.2f ms, p95 %.2f ms, "
                        "max %.2f ms\n",
                        n, first, ms.front(), ms[ms.size() / 2],
                        ms[std::min(ms.size() - 1, ms.size() * 95 / 100)], ms.back());
        }
        return 0;
    }
    const auto nodes = bridge.Snapshot(window);
    for (const auto& n : nodes) std::printf("[%s] '%s'\n", n.role.c_str(), n.name.c_str());
    std::printf("text '%s'\n", rw::atspi::DialogTextFromNodes(nodes).c_str());
    return nodes.empty() ? 1 : 0;
}

#include "backends/posix/PosixProcess.h"

#include <pwd.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <string_view>
#include <vector>

namespace rw::posix {

namespace {

// The target of a symbolic link; empty when it cannot be read.
std::string ReadLink(const std::string& link) {
    char buf[PATH_MAX];
    ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<std::size_t>(n));
}

}  // namespace

std::uint32_t MonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
              static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

void SleepMs(std::uint32_t ms) {
    if (ms == 0) {
        sched_yield();
        return;
    }
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

std::uint32_t CurrentThreadId() { return static_cast<std::uint32_t>(syscall(SYS_gettid)); }

std::string ExecutablePath() { return ReadLink("/proc/self/exe"); }

std::string ProcessModulePath(std::uint32_t pid) {
    if (pid == 0) return {};
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    std::string path = ReadLink(link);
    // A program whose file was replaced (an update while it runs) shows
    // its path with this mark; the path is still the program's. A file
    // that really has such a name is the very file the link names.
    static constexpr std::string_view kDeleted = " (deleted)";
    if (path.size() > kDeleted.size() && path.ends_with(kDeleted)) {
        struct stat real {}, named {};
        const bool sameFile = stat(link.c_str(), &real) == 0 && stat(path.c_str(), &named) == 0 &&
                              real.st_dev == named.st_dev && real.st_ino == named.st_ino;
        if (!sameFile) path.resize(path.size() - kDeleted.size());
    }
    return path;
}

bool GetNice(std::uint32_t pid, int& nice) {
    errno = 0;
    nice = getpriority(PRIO_PROCESS, static_cast<id_t>(pid));
    return !(nice == -1 && errno != 0);
}

bool SetNice(std::uint32_t pid, int nice) {
    return setpriority(PRIO_PROCESS, static_cast<id_t>(pid), nice) == 0;
}

std::string UserConfigDir() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return xdg;
    // A relative HOME would put the settings wherever the program happens
    // to be started; the account's home folder is asked for instead.
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.config";
    std::vector<char> buf(16384);
    struct passwd pw {};
    struct passwd* res = nullptr;
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &res) == 0 && res != nullptr &&
        res->pw_dir != nullptr && res->pw_dir[0] == '/')
        return std::string(res->pw_dir) + "/.config";
    return {};
}

std::uint32_t PriorityClassOfNice(int nice) {
    if (nice == 0) return 0x20;        // normal
    if (nice <= -10) return 0x80;      // high
    if (nice < 0) return 0x8000;       // above normal
    if (nice >= 19) return 0x40;       // idle
    return 0x4000;                     // below normal
}

int NiceOfPriorityClass(std::uint32_t pc, bool& known) {
    known = true;
    switch (pc) {
        case 0x20: return 0;
        case 0x80: return -10;
        case 0x8000: return -5;
        case 0x4000: return 10;
        case 0x40: return 19;
        case 0x100: return -20;
        default: known = false; return 0;
    }
}

std::uint32_t PosixProcesses::GetPriorityClass(std::uint32_t pid) {
    int nice = 0;
    if (pid == 0 || !GetNice(pid, nice)) return 0;
    return PriorityClassOfNice(nice);
}

bool PosixProcesses::ProcessRunning(std::uint32_t pid) {
    if (pid == 0) return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

bool PosixProcesses::SetPriorityClass(std::uint32_t pid, std::uint32_t priorityClass) {
    bool known = false;
    const int nice = NiceOfPriorityClass(priorityClass, known);
    if (pid == 0 || !known) return false;
    return SetNice(pid, nice);
}

}  // namespace rw::posix

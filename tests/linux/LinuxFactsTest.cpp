// The Linux facts and processes every window system shares: the case rules
// and the module path of a process.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "backends/linux/LinuxFacts.h"
#include "backends/posix/PosixProcess.h"

namespace rw::lnx {
namespace {

// The facts without a screen: only the text rules are asked here.
class FactsWithoutScreen final : public LinuxFacts {
public:
    FactsWithoutScreen() : LinuxFacts(0, nullptr) {}
    std::int32_t GetScreenWidth() override { return 0; }
    std::int32_t GetScreenHeight() override { return 0; }
    std::int32_t TwipsPerPixelX() override { return 15; }
    std::int32_t TwipsPerPixelY() override { return 15; }
};

FactsWithoutScreen& Facts() {
    static FactsWithoutScreen f;
    return f;
}

posix::PosixProcesses& Processes() {
    static posix::PosixProcesses p;
    return p;
}

TEST(LinuxEqualsIgnoringCase, FoldsUnicodeLetters) {
    EXPECT_TRUE(Facts().EqualsIgnoringCase("C:\\Büro\\a.exe", "C:\\BÜRO\\A.EXE"));
    EXPECT_TRUE(Facts().EqualsIgnoringCase("/usr/bin/Zenity", "/USR/BIN/zenity"));
    EXPECT_TRUE(Facts().EqualsIgnoringCase("Ωmega", "ωMEGA"));
    EXPECT_TRUE(Facts().EqualsIgnoringCase("", ""));
    EXPECT_FALSE(Facts().EqualsIgnoringCase("Büro", "Buro"));
    EXPECT_FALSE(Facts().EqualsIgnoringCase("a.exe", "a.ex"));
}

TEST(LinuxEqualsIgnoringCase, StrayBytesNeverFoldTogether) {
    // Latin-1 "ä" and "ö" are no UTF-8: both would read as a replacement
    // character.
    EXPECT_FALSE(Facts().EqualsIgnoringCase("\xE4", "\xF6"));
    EXPECT_FALSE(Facts().EqualsIgnoringCase("a\xE4", "A\xF6"));
    EXPECT_TRUE(Facts().EqualsIgnoringCase("a\xE4", "A\xE4"));
    EXPECT_FALSE(Facts().EqualsIgnoringCase("\xE4", "\xC4"));  // no Latin-1 folding either
    EXPECT_FALSE(Facts().EqualsIgnoringCase("\xE4", "ä"));
}

// Runs a copy of sleep(1) from `path` until stopped.
pid_t StartCopyOfSleep(const std::string& path) {
    std::filesystem::copy_file("/bin/sleep", path, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    pid_t pid = fork();
    if (pid == 0) {
        execl(path.c_str(), path.c_str(), "30", static_cast<char*>(nullptr));
        _exit(127);
    }
    // Until exec has happened, /proc/PID/exe names this test program.
    for (int i = 0; i < 200 && Processes().GetProcessModulePath(static_cast<std::uint32_t>(pid)) != path; ++i)
        usleep(10000);
    return pid;
}

void Stop(pid_t pid) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

class ModulePath : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/rw-modpath.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string dir_;
};

TEST_F(ModulePath, ReplacedProgramKeepsItsPath) {
    const std::string path = dir_ + "/tool";
    pid_t pid = StartCopyOfSleep(path);
    ASSERT_EQ(Processes().GetProcessModulePath(static_cast<std::uint32_t>(pid)), path);
    // An update replaces the file while the program runs.
    std::filesystem::remove(path);
    EXPECT_EQ(Processes().GetProcessModulePath(static_cast<std::uint32_t>(pid)), path);
    std::filesystem::copy_file("/bin/true", path);
    EXPECT_EQ(Processes().GetProcessModulePath(static_cast<std::uint32_t>(pid)), path);
    Stop(pid);
}

TEST_F(ModulePath, NameThatEndsLikeTheMarkStaysWhole) {
    const std::string path = dir_ + "/tool (deleted)";
    pid_t pid = StartCopyOfSleep(path);
    EXPECT_EQ(Processes().GetProcessModulePath(static_cast<std::uint32_t>(pid)), path);
    Stop(pid);
}

TEST(ModulePathNone, NoProcessNoPath) {
    EXPECT_EQ(Processes().GetProcessModulePath(0), "");
    EXPECT_EQ(Processes().GetProcessModulePath(0x7FFFFFF0u), "");
}

}  // namespace
}  // namespace rw::lnx

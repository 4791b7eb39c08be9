// Start-up: the values every other part reads, from the executable's place,
// the command line, the system language and the platform.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "actions/KeyTable.h"
#include "app/AppValues.h"
#include "backends/fake/FakePlatform.h"

using namespace rw;

namespace {

// Start-up inputs of a Windows program in C:\Apps with a scripted set of
// existing files (paths compared exactly; the current directory is C:\Work).
struct Machine {
    std::set<std::string> files;
    std::set<std::string> folders;  // also listed in files: they exist
    std::set<std::string> unwritable;
    std::string cwd = "C:\\Work";

    StartupInputs Windows(const std::string& exe, const std::string& args) {
        StartupInputs in;
        in.exePath = exe;
        in.args = args;
        in.sep = '\\';
        in.fileExists = [this](const std::string& path, const std::string& dir) {
            EXPECT_EQ(dir, "");
            return files.count(path) != 0 || files.count(cwd + "\\" + path) != 0;
        };
        in.isDirectory = [this](const std::string& path) {
            return folders.count(path) != 0 || folders.count(cwd + "\\" + path) != 0;
        };
        return in;
    }
    StartupInputs Linux(const std::string& exe, const std::string& args) {
        StartupInputs in;
        in.exePath = exe;
        in.args = args;
        in.sep = '/';
        in.fileExists = [this](const std::string& path, const std::string& dir) {
            EXPECT_EQ(dir, "");
            if (!path.empty() && path[0] == '/') return files.count(path) != 0;
            return files.count(cwd + "/" + path) != 0;
        };
        in.dirWritable = [this](const std::string& dir) { return unwritable.count(dir) == 0; };
        return in;
    }
};

}  // namespace

// ---- Small pure rules -----------------------------------------------------

TEST(OsVersion, ForegroundLockOnTheNinetyEightLineAndFromNt5) {
    auto v = [](int platform, int major, int minor) { return ReadOsVersion({platform, major, minor, 1}); };
    EXPECT_FALSE(v(1, 4, 0).HasForegroundLock);  // 95
    EXPECT_TRUE(v(1, 4, 10).HasForegroundLock);  // 98
    EXPECT_TRUE(v(1, 4, 90).HasForegroundLock);  // Me
    EXPECT_FALSE(v(2, 4, 0).HasForegroundLock);  // NT 4
    EXPECT_FALSE(v(2, 4, 1).HasForegroundLock);  // not the 98 line
    EXPECT_TRUE(v(2, 5, 0).HasForegroundLock);   // 2000
    EXPECT_TRUE(v(2, 10, 0).HasForegroundLock);
    EXPECT_FALSE(v(1, 3, 1).HasForegroundLock);
}

TEST(OsVersion, FieldsAndNtFlags) {
    const auto nt4 = ReadOsVersion({2, 4, 0, 1381});
    EXPECT_TRUE(nt4.IsNT);
    EXPECT_TRUE(nt4.IsNT4);
    EXPECT_EQ(nt4.MajorVersion, 4);
    EXPECT_EQ(nt4.MinorVersion, 0);
    EXPECT_EQ(nt4.BuildNumber, 1381);
    const auto me = ReadOsVersion({1, 4, 90, 3000});
    EXPECT_FALSE(me.IsNT);
    EXPECT_FALSE(me.IsNT4);
    EXPECT_FALSE(ReadOsVersion({2, 5, 1, 2600}).IsNT4);
}

TEST(StartupText, StripExtensionCutsAtTheLastDot) {
    EXPECT_EQ(StripExtension("a.b.c"), "a.b");
    EXPECT_EQ(StripExtension("abc"), "abc");
    EXPECT_EQ(StripExtension(".ini"), "");
    EXPECT_EQ(StripExtension("abc."), "abc");
    EXPECT_EQ(StripExtension(""), "");
}

TEST(StartupText, VersionText) { EXPECT_EQ(GetVersionText(), "Replywick V0.9"); }

TEST(StartupText, GermanLanguageIds) {
    for (int id : {1031, 1070, 2055, 3079}) EXPECT_TRUE(IsGermanLangId(static_cast<std::uint16_t>(id))) << id;
    // English, German (Luxembourg), German (Liechtenstein), English (UK), the
    // neutral ids, and Lower Sorbian next to Upper Sorbian.
    for (int id : {1033, 4103, 5127, 2057, 0, 7, 2094, 1032})
        EXPECT_FALSE(IsGermanLangId(static_cast<std::uint16_t>(id))) << id;
}

// ---- Command line ---------------------------------------------------------

TEST(CommandLine, DebugSwitchAnywhereInAnyCase) {
    EXPECT_TRUE(ParseCommandLine("/d", false).debug);
    EXPECT_TRUE(ParseCommandLine("/D", false).debug);
    EXPECT_TRUE(ParseCommandLine("x/dy", false).debug);
    EXPECT_TRUE(ParseCommandLine("/Data", true).debug);
    EXPECT_FALSE(ParseCommandLine("", false).debug);
    EXPECT_FALSE(ParseCommandLine("-d d/ \\d", false).debug);
    EXPECT_FALSE(ParseCommandLine("/ini=x.ini", false).debug);
}

TEST(CommandLine, WindowsValueEndsAtTheNextSlash) {
    auto sw = ParseCommandLine("/ini=sub/x.ini", false);
    EXPECT_TRUE(sw.hasIni);
    EXPECT_EQ(sw.iniValue, "sub");
    EXPECT_FALSE(sw.debug);
}

TEST(CommandLine, WindowsValueIsVerbatimAndDataTurnsDebugOn) {
    auto sw = ParseCommandLine("/ini=other.ini /Data", false);
    EXPECT_EQ(sw.iniValue, "other.ini ");
    EXPECT_TRUE(sw.debug);
    EXPECT_EQ(ParseCommandLine("/INI=\"C:\\My Files\\a.ini\"", false).iniValue, "\"C:\\My Files\\a.ini\"");
    EXPECT_EQ(ParseCommandLine("/d /Ini= a.ini ", false).iniValue, " a.ini ");
}

TEST(CommandLine, FirstIniSwitchCountsAndAnEmptyValueIsPossible) {
    EXPECT_EQ(ParseCommandLine("/ini=a.ini/ini=b.ini", false).iniValue, "a.ini");
    auto sw = ParseCommandLine("/ini=", false);
    EXPECT_TRUE(sw.hasIni);
    EXPECT_EQ(sw.iniValue, "");
    EXPECT_FALSE(ParseCommandLine("ini=x /in=y", false).hasIni);
}

TEST(CommandLine, LinuxValueRunsToABlankFollowedBySlash) {
    EXPECT_EQ(ParseCommandLine("/ini=/home/u/x.ini", true).iniValue, "/home/u/x.ini");
    EXPECT_EQ(ParseCommandLine("/ini=/home/u/My Files/x.ini /d", true).iniValue, "/home/u/My Files/x.ini");
    EXPECT_EQ(ParseCommandLine("/ini=sub/x.ini", true).iniValue, "sub/x.ini");
    EXPECT_EQ(ParseCommandLine("/ini=other.ini /Data", true).iniValue, "other.ini");
    EXPECT_EQ(ParseCommandLine("/ini=a b.ini   /d", true).iniValue, "a b.ini");
    EXPECT_EQ(ParseCommandLine("/ini=x.ini ", true).iniValue, "x.ini ");
    EXPECT_EQ(ParseCommandLine("/d /INI=/tmp/a.ini", true).iniValue, "/tmp/a.ini");
    EXPECT_EQ(ParseCommandLine("/ini= /d", true).iniValue, "");
}

TEST(CommandLine, LinuxSettingsPathDoesNotSwitchDebugOn) {
    // Debug lines would write every macro to standard error.
    EXPECT_FALSE(ParseCommandLine("/ini=/data/x.ini", true).debug);
    EXPECT_FALSE(ParseCommandLine("/ini=/home/dave/x.ini", true).debug);
    EXPECT_TRUE(ParseCommandLine("/ini=/home/dave/x.ini /d", true).debug);
    EXPECT_TRUE(ParseCommandLine("/ini=other.ini /Data", true).debug);
    EXPECT_TRUE(ParseCommandLine("/d /ini=/tmp/a.ini", true).debug);
    // Windows keeps its rule: the value already ends at the next "/".
    EXPECT_TRUE(ParseCommandLine("/ini=sub/d.ini", false).debug);
}

// ---- Paths ----------------------------------------------------------------

TEST(StartupPaths, ExecutableInAFolder) {
    Machine m;
    const auto v = ComputeAppValues(m.Windows("C:\\Apps\\replywick.exe", ""));
    EXPECT_EQ(v.AppPath, "C:\\Apps");
    EXPECT_EQ(v.ExePath, "C:\\Apps\\replywick.exe");
    EXPECT_EQ(v.IniPath, "C:\\Apps\\replywick.ini");
    EXPECT_FALSE(v.DebugMode);
}

TEST(StartupPaths, DottedExecutableNameUsesTheFirstPartForTheSettings) {
    Machine m;
    const auto v = ComputeAppValues(m.Windows("C:\\Apps\\my.tool.exe", ""));
    EXPECT_EQ(v.ExePath, "C:\\Apps\\my.tool.exe");
    EXPECT_EQ(v.IniPath, "C:\\Apps\\my.ini");
}

TEST(StartupPaths, DriveRoot) {
    Machine m;
    const auto v = ComputeAppValues(m.Windows("C:\\replywick.exe", ""));
    EXPECT_EQ(v.AppPath, "C:");
    EXPECT_EQ(v.ExePath, "C:\\replywick.exe");
    EXPECT_EQ(v.IniPath, "C:\\replywick.ini");
}

TEST(StartupPaths, ExtensionCaseIsNormalised) {
    Machine m;
    EXPECT_EQ(ComputeAppValues(m.Windows("D:\\T\\RW.EXE", "")).ExePath, "D:\\T\\RW.exe");
}

TEST(StartupPaths, LinuxExecutable) {
    Machine m;
    auto v = ComputeAppValues(m.Linux("/opt/rw/replywick", ""));
    EXPECT_EQ(v.AppPath, "/opt/rw");
    EXPECT_EQ(v.ExePath, "/opt/rw/replywick");
    EXPECT_EQ(v.IniPath, "/opt/rw/replywick.ini");
    v = ComputeAppValues(m.Linux("/replywick", ""));
    EXPECT_EQ(v.AppPath, "");
    EXPECT_EQ(v.ExePath, "/replywick");
    EXPECT_EQ(v.IniPath, "/replywick.ini");
    v = ComputeAppValues(m.Linux("/opt/my.tool", ""));
    EXPECT_EQ(v.ExePath, "/opt/my.tool");
    EXPECT_EQ(v.IniPath, "/opt/my.ini");
}

// ---- Settings file switch -------------------------------------------------

TEST(IniSwitch, BesideTheExecutableWinsOverTheCurrentDirectory) {
    Machine m;
    m.files = {"C:\\Apps\\other.ini", "C:\\Work\\other.ini"};
    EXPECT_EQ(ComputeAppValues(m.Windows("C:\\Apps\\replywick.exe", "/ini=other.ini")).IniPath,
              "C:\\Apps\\other.ini");
}

TEST(IniSwitch, CurrentDirectoryOrAbsoluteWhenNotBesideTheExecutable) {
    Machine m;
    m.files = {"C:\\Work\\other.ini", "D:\\cfg\\a.ini"};
    EXPECT_EQ(ComputeAppValues(m.Windows("C:\\Apps\\replywick.exe", "/ini=other.ini")).IniPath, "other.ini");
    EXPECT_EQ(ComputeAppValues(m.Windows("C:\\Apps\\replywick.exe", "/ini=D:\\cfg\\a.ini")).IniPath,
              "D:\\cfg\\a.ini");
}

TEST(IniSwitch, MissingFileKeepsTheDefault) {
    Machine m;
    const auto v = ComputeAppValues(m.Windows("C:\\Apps\\replywick.exe", "/ini=missing.ini"));
    EXPECT_EQ(v.IniPath, "C:\\Apps\\replywick.ini");
    EXPECT_FALSE(v.DebugMode);
}

TEST(IniSwitch, ValueWithTheBlankBeforeDataIsTakenVerbatim) {
    Machine m;
    m.files = {"C:\\Apps\\other.ini "};
    const auto v = ComputeAppValues(m.Windows("C:\\Apps\\replywick.exe", "/ini=other.ini /Data"));
    EXPECT_EQ(v.IniPath, "C:\\Apps\\other.ini ");
    EXPECT_TRUE(v.DebugMode);
}

TEST(IniSwitch, SlashCutsTheValueToItsFirstPart) {
    Machine m;
    m.files = {"C:\\Apps\\sub\\x.ini"};
    EXPECT_EQ(ComputeAppValues(m.Windows("C:\\Apps\\replywick.exe", "/ini=sub/x.ini")).IniPath,
              "C:\\Apps\\replywick.ini");
    m.files.insert("C:\\Apps\\sub");
    EXPECT_EQ(ComputeAppValues(m.Windows("C:\\Apps\\replywick.exe", "/ini=sub/x.ini")).IniPath, "C:\\Apps\\sub");
}

TEST(IniSwitch, EmptyValueNeverChoosesTheProgramDirectory) {
    Machine m;
    m.files = {"C:\\Apps\\", "C:\\Apps\\ ", "C:\\Apps"};
    EXPECT_EQ(ComputeAppValues(m.Windows("C:\\Apps\\replywick.exe", "/ini=")).IniPath, "C:\\Apps\\replywick.ini");
    EXPECT_EQ(ComputeAppValues(m.Windows("C:\\Apps\\replywick.exe", "/ini= /d")).IniPath,
              "C:\\Apps\\replywick.ini");
}

TEST(IniSwitch, AFolderIsNoSettingsFile) {
    // "/ini=D:/data/x.ini" gives the value "D:", which names a drive's
    // folder; any folder is like a missing file.
    Machine m;
    m.files = m.folders = {"D:", "C:\\Apps\\conf"};
    EXPECT_EQ(ComputeAppValues(m.Windows("C:\\Apps\\replywick.exe", "/ini=D:/data/x.ini")).IniPath,
              "C:\\Apps\\replywick.ini");
    EXPECT_EQ(ComputeAppValues(m.Windows("C:\\Apps\\replywick.exe", "/ini=conf")).IniPath,
              "C:\\Apps\\replywick.ini");
}

TEST(IniSwitch, DriveRootProgramLooksBesideItself) {
    Machine m;
    m.files = {"C:\\alt.ini"};
    EXPECT_EQ(ComputeAppValues(m.Windows("C:\\replywick.exe", "/ini=alt.ini")).IniPath, "C:\\alt.ini");
}

TEST(IniSwitch, LinuxAbsolutePathWithBlanks) {
    Machine m;
    m.files = {"/home/u/My Files/x.ini"};
    const auto v = ComputeAppValues(m.Linux("/opt/rw/replywick", "/ini=/home/u/My Files/x.ini /d"));
    EXPECT_EQ(v.IniPath, "/home/u/My Files/x.ini");
    EXPECT_TRUE(v.DebugMode);
}

TEST(IniSwitch, LinuxAbsolutePathIsNotJoinedToTheProgramDirectory) {
    Machine m;
    m.files = {"/opt/rw//etc/x.ini"};
    EXPECT_EQ(ComputeAppValues(m.Linux("/opt/rw/replywick", "/ini=/etc/x.ini")).IniPath, "/opt/rw/replywick.ini");
}

TEST(IniSwitch, LinuxRelativePathBesideTheProgramFirst) {
    Machine m;
    m.cwd = "/home/u";
    m.files = {"/opt/rw/conf/a.ini", "/home/u/conf/a.ini", "/home/u/b.ini"};
    EXPECT_EQ(ComputeAppValues(m.Linux("/opt/rw/replywick", "/ini=conf/a.ini")).IniPath, "/opt/rw/conf/a.ini");
    EXPECT_EQ(ComputeAppValues(m.Linux("/opt/rw/replywick", "/ini=b.ini")).IniPath, "b.ini");
    EXPECT_EQ(ComputeAppValues(m.Linux("/replywick", "/ini=b.ini")).IniPath, "b.ini");
}

// ---- Settings in the user's configuration directory -------------------------

TEST(ConfigFallback, UnwritableProgramDirectoryMovesTheDefaultAndStartsFromTheFileBesideIt) {
    Machine m;
    m.unwritable = {"/usr/bin"};
    auto in = m.Linux("/usr/bin/replywick", "");
    in.configDir = "/home/u/.config";
    auto v = ComputeAppValues(in);
    EXPECT_EQ(v.IniPath, "/home/u/.config/replywick/replywick.ini");
    EXPECT_EQ(v.SeedIniPath, "/usr/bin/replywick.ini");
    in.configDir = "/home/u/.config/";
    EXPECT_EQ(ComputeAppValues(in).IniPath, "/home/u/.config/replywick/replywick.ini");
    // The user's file keeps the program's own name.
    in.exePath = "/usr/bin/rw-work";
    EXPECT_EQ(ComputeAppValues(in).IniPath, "/home/u/.config/replywick/rw-work.ini");
}

TEST(ConfigFallback, WritableDirectoryOrNoConfigDirectoryKeepsTheDefault) {
    Machine m;
    auto in = m.Linux("/opt/rw/replywick", "");
    in.configDir = "/home/u/.config";
    EXPECT_EQ(ComputeAppValues(in).IniPath, "/opt/rw/replywick.ini");
    m.unwritable = {"/opt/rw"};
    in.configDir = "";
    EXPECT_EQ(ComputeAppValues(in).IniPath, "/opt/rw/replywick.ini");
}

TEST(ConfigFallback, ChosenIniFileStaysEvenInAnUnwritableDirectory) {
    Machine m;
    m.unwritable = {"/usr/bin"};
    m.files = {"/etc/rw.ini"};
    auto in = m.Linux("/usr/bin/replywick", "/ini=/etc/rw.ini");
    in.configDir = "/home/u/.config";
    EXPECT_EQ(ComputeAppValues(in).IniPath, "/etc/rw.ini");
    in.args = "/ini=/etc/missing.ini";
    EXPECT_EQ(ComputeAppValues(in).IniPath, "/home/u/.config/replywick/replywick.ini");
}

TEST(ConfigFallback, ProgramInTheRootAsksAboutTheRoot) {
    Machine m;
    m.unwritable = {"/"};
    auto in = m.Linux("/replywick", "");
    in.configDir = "/root/.config";
    EXPECT_EQ(ComputeAppValues(in).IniPath, "/root/.config/replywick/replywick.ini");
}

// ---- Language and screen ----------------------------------------------------

TEST(StartupLanguage, CaptionsFollowTheSystemLanguage) {
    Machine m;
    auto in = m.Windows("C:\\Apps\\replywick.exe", "");
    in.langId = 2055;
    auto v = ComputeAppValues(in);
    EXPECT_FALSE(v.UseEnglish);
    EXPECT_EQ(v.AddItemCaption, "Eintrag hinzuf\xC3\xBCgen");
    EXPECT_EQ(v.EditItemCaption, "Eintrag bearbeiten");
    for (int id : {4103, 1033}) {
        in.langId = static_cast<std::uint16_t>(id);
        v = ComputeAppValues(in);
        EXPECT_TRUE(v.UseEnglish) << id;
        EXPECT_EQ(v.AddItemCaption, "Add Item");
        EXPECT_EQ(v.EditItemCaption, "Edit Item");
    }
}

TEST(StartupLanguage, OsVersionAndTwipsAreCarriedOver) {
    Machine m;
    auto in = m.Windows("C:\\Apps\\replywick.exe", "");
    in.os = {1, 4, 10, 1998};
    in.twipsX = 12;
    in.twipsY = 20;
    const auto v = ComputeAppValues(in);
    EXPECT_FALSE(v.OsVersion.IsNT);
    EXPECT_TRUE(v.OsVersion.HasForegroundLock);
    EXPECT_EQ(v.OsVersion.BuildNumber, 1998);
    EXPECT_EQ(v.TwipsPerPixelX, 12);
    EXPECT_EQ(v.TwipsPerPixelY, 20);
}

// ---- InitApp on the fake platform -------------------------------------------

class InitAppTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetPlatform(&fake);
        App = AppValues{};
        KeyNames.clear();
        KeyCodes.clear();
        dir = std::filesystem::temp_directory_path() /
              ("rw-initapp-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        std::filesystem::remove_all(dir);
        App = AppValues{};
        KeyNames.clear();
        KeyCodes.clear();
        SetPlatform(nullptr);
    }
    FakePlatform fake;
    std::filesystem::path dir;
};

TEST_F(InitAppTest, FillsTheValuesAndBuildsTheKeyTable) {
    fake.langId = 3079;
    fake.os = {2, 6, 1, 7601};
    InitApp();
    EXPECT_EQ(App.AppPath, "C:\\Apps");
    EXPECT_EQ(App.ExePath, "C:\\Apps\\replywick.exe");
    EXPECT_EQ(App.IniPath, "C:\\Apps\\replywick.ini");
    EXPECT_FALSE(App.UseEnglish);
    EXPECT_EQ(App.EditItemCaption, "Eintrag bearbeiten");
    EXPECT_EQ(App.OsVersion.MajorVersion, 6);
    EXPECT_EQ(App.TwipsPerPixelX, 15);
    EXPECT_FALSE(App.DebugMode);
    EXPECT_EQ(LookupKeyCode("Enter"), 0x0D);
    EXPECT_TRUE(fake.debugLines.empty());
}

TEST_F(InitAppTest, DebugSwitchWritesTheStartLineOnce) {
    fake.commandLine = "/D";
    InitApp();
    EXPECT_TRUE(App.DebugMode);
    EXPECT_EQ(fake.debugLines, std::vector<std::string>{"Replywick started in debugmode"});
    EXPECT_EQ(LookupKeyCode("TAB+WAIT"), 9);
}

TEST_F(InitAppTest, LinuxSettingsFileBesideTheProgram) {
    fake.sep = '/';
    fake.exePath = (dir / "replywick").string();
    std::ofstream(dir / "other.ini") << "";
    fake.commandLine = "/ini=other.ini /d";
    InitApp();
    EXPECT_EQ(App.AppPath, dir.string());
    EXPECT_EQ(App.ExePath, (dir / "replywick").string());
    EXPECT_EQ(App.IniPath, (dir / "other.ini").string());
    EXPECT_TRUE(App.DebugMode);
    EXPECT_EQ(fake.debugLines.size(), 1u);
}

TEST_F(InitAppTest, LinuxUnwritableProgramDirectoryUsesTheConfigDirectory) {
    fake.sep = '/';
    fake.exePath = (dir / "replywick").string();
    fake.unwritableDirs = {dir.string()};
    fake.configDir = "/home/u/.config";
    InitApp();
    EXPECT_EQ(App.IniPath, "/home/u/.config/replywick/replywick.ini");
}

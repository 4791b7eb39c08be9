// Start-up: the values every other part reads, from the executable's place,
// the command line, the system language and the platform.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "app/Startup.h"
#include "tests/unit/CoreFixture.h"

using namespace rw;

namespace {

// Start-up inputs with a scripted set of existing files and folders (paths
// compared exactly, relative ones also against the current directory).
struct Machine {
    std::set<std::string> files;
    std::set<std::string> folders;  // also listed in files: they exist
    std::set<std::string> unwritable;
    std::string cwd = "C:\\Work";

    StartupInputs Inputs(bool posix, const std::string& exe, const std::string& args) {
        StartupInputs in;
        in.exePath = exe;
        in.args = args;
        in.sep = posix ? '/' : '\\';
        auto known = [this, posix](const std::set<std::string>& set, const std::string& path) {
            if (set.count(path) != 0) return true;
            const bool absolute = posix && !path.empty() && path[0] == '/';
            return !absolute && set.count(cwd + (posix ? "/" : "\\") + path) != 0;
        };
        in.fileExists = [this, known](const std::string& path, const std::string& dir) {
            EXPECT_EQ(dir, "");
            return known(files, path);
        };
        in.isDirectory = [this, known](const std::string& path) { return known(folders, path); };
        in.dirWritable = [this](const std::string& dir) { return unwritable.count(dir) == 0; };
        return in;
    }
};

}  // namespace

// ---- Small pure rules -----------------------------------------------------

TEST(OsVersion, ForegroundLockAndNtFlags) {
    const struct {
        int platform, major, minor;
        bool lock, nt, nt4;
    } cases[] = {
        {1, 4, 0, false, false, false},  // 95
        {1, 4, 10, true, false, false},  // 98
        {1, 4, 90, true, false, false},  // Me
        {1, 3, 1, false, false, false},
        {2, 4, 0, false, true, true},    // NT 4
        {2, 4, 1, false, true, true},    // not the 98 line
        {2, 5, 0, true, true, false},    // 2000
        {2, 5, 1, true, true, false},
        {2, 10, 0, true, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.platform) + " " + std::to_string(c.major) + "." + std::to_string(c.minor));
        const auto v = ReadOsVersion({c.platform, c.major, c.minor, 1381});
        EXPECT_EQ(v.HasForegroundLock, c.lock);
        EXPECT_EQ(v.IsNT, c.nt);
        EXPECT_EQ(v.IsNT4, c.nt4);
    }
}

TEST(StartupText, StripExtensionVersionAndGermanLanguageIds) {
    const std::pair<const char*, const char*> strip[] = {
        {"a.b.c", "a.b"}, {"abc", "abc"}, {".ini", ""}, {"abc.", "abc"}, {"", ""}};
    for (const auto& [in, out] : strip) EXPECT_EQ(StripExtension(in), out) << in;
    EXPECT_EQ(GetVersionText(), "Replywick V0.9");
    for (int id : {1031, 1070, 2055, 3079}) EXPECT_TRUE(IsGermanLangId(static_cast<std::uint16_t>(id))) << id;
    // English, German (Luxembourg), German (Liechtenstein), English (UK), the
    // neutral ids, and Lower Sorbian next to Upper Sorbian.
    for (int id : {1033, 4103, 5127, 2057, 0, 7, 2094, 1032})
        EXPECT_FALSE(IsGermanLangId(static_cast<std::uint16_t>(id))) << id;
}

// ---- Command line ---------------------------------------------------------

TEST(CommandLine, Switches) {
    const struct {
        const char* args;
        bool linux, debug, hasIni;
        const char* value;
    } cases[] = {
        // "/d" anywhere, in any case.
        {"/d", false, true, false, ""},
        {"/D", false, true, false, ""},
        {"x/dy", false, true, false, ""},
        {"/Data", true, true, false, ""},
        {"", false, false, false, ""},
        {"-d d/ \\d", false, false, false, ""},
        {"ini=x /in=y", false, false, false, ""},
        // Windows: the value is verbatim and ends at the next "/".
        {"/ini=x.ini", false, false, true, "x.ini"},
        {"/ini=sub/x.ini", false, false, true, "sub"},
        {"/ini=other.ini /Data", false, true, true, "other.ini "},
        {"/INI=\"C:\\My Files\\a.ini\"", false, false, true, "\"C:\\My Files\\a.ini\""},
        {"/d /Ini= a.ini ", false, true, true, " a.ini "},
        {"/ini=a.ini/ini=b.ini", false, false, true, "a.ini"},  // the first counts
        {"/ini=", false, false, true, ""},
        {"/ini=sub/d.ini", false, true, true, "sub"},
        // Linux: the value runs to a blank followed by "/", and a settings
        // path never switches debug lines on (they would write every macro
        // to standard error).
        {"/ini=/home/u/x.ini", true, false, true, "/home/u/x.ini"},
        {"/ini=/home/u/My Files/x.ini /d", true, true, true, "/home/u/My Files/x.ini"},
        {"/ini=sub/x.ini", true, false, true, "sub/x.ini"},
        {"/ini=other.ini /Data", true, true, true, "other.ini"},
        {"/ini=a b.ini   /d", true, true, true, "a b.ini"},
        {"/ini=x.ini ", true, false, true, "x.ini "},
        {"/d /INI=/tmp/a.ini", true, true, true, "/tmp/a.ini"},
        {"/ini= /d", true, true, true, ""},
        {"/ini=/data/x.ini", true, false, true, "/data/x.ini"},
        {"/ini=/home/dave/x.ini", true, false, true, "/home/dave/x.ini"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.args) + (c.linux ? " (Linux)" : " (Windows)"));
        const auto sw = ParseCommandLine(c.args, c.linux);
        EXPECT_EQ(sw.debug, c.debug);
        EXPECT_EQ(sw.hasIni, c.hasIni);
        EXPECT_EQ(sw.iniValue, c.value);
    }
}

// ---- Paths ----------------------------------------------------------------

TEST(StartupPaths, FromTheExecutable) {
    const struct {
        bool linux;
        const char *exe, *appPath, *exePath, *iniPath;
    } cases[] = {
        {false, "C:\\Apps\\replywick.exe", "C:\\Apps", "C:\\Apps\\replywick.exe", "C:\\Apps\\replywick.ini"},
        {false, "C:\\Apps\\my.tool.exe", "C:\\Apps", "C:\\Apps\\my.tool.exe", "C:\\Apps\\my.ini"},
        {false, "C:\\replywick.exe", "C:", "C:\\replywick.exe", "C:\\replywick.ini"},
        {false, "D:\\T\\RW.EXE", "D:\\T", "D:\\T\\RW.exe", "D:\\T\\RW.ini"},  // extension case normalised
        {true, "/opt/rw/replywick", "/opt/rw", "/opt/rw/replywick", "/opt/rw/replywick.ini"},
        {true, "/replywick", "", "/replywick", "/replywick.ini"},
        {true, "/opt/my.tool", "/opt", "/opt/my.tool", "/opt/my.ini"},
    };
    for (const auto& c : cases) {
        Machine m;
        const auto v = ComputeAppValues(m.Inputs(c.linux, c.exe, ""));
        EXPECT_EQ(v.AppPath, c.appPath) << c.exe;
        EXPECT_EQ(v.ExePath, c.exePath) << c.exe;
        EXPECT_EQ(v.IniPath, c.iniPath) << c.exe;
        EXPECT_FALSE(v.DebugMode) << c.exe;
    }
}

// ---- Settings file switch -------------------------------------------------

TEST(IniSwitch, ChosenSettingsFile) {
    const char* W = "C:\\Apps\\replywick.exe";
    const char* D = "C:\\Apps\\replywick.ini";  // the default
    const struct {
        bool linux;
        std::set<std::string> files, folders;  // folders exist too
        const char *exe, *args, *want;
        bool debug;
    } cases[] = {
        // Beside the executable wins over the current directory.
        {false, {"C:\\Apps\\other.ini", "C:\\Work\\other.ini"}, {}, W, "/ini=other.ini", "C:\\Apps\\other.ini", false},
        {false, {"C:\\Work\\other.ini"}, {}, W, "/ini=other.ini", "other.ini", false},
        {false, {"D:\\cfg\\a.ini"}, {}, W, "/ini=D:\\cfg\\a.ini", "D:\\cfg\\a.ini", false},
        {false, {}, {}, W, "/ini=missing.ini", D, false},
        // The blank before "/Data" belongs to the value.
        {false, {"C:\\Apps\\other.ini "}, {}, W, "/ini=other.ini /Data", "C:\\Apps\\other.ini ", true},
        // A slash cuts the value to its first part.
        {false, {"C:\\Apps\\sub\\x.ini"}, {}, W, "/ini=sub/x.ini", D, false},
        {false, {"C:\\Apps\\sub\\x.ini", "C:\\Apps\\sub"}, {}, W, "/ini=sub/x.ini", "C:\\Apps\\sub", false},
        // An empty value never chooses the program's directory.
        {false, {"C:\\Apps\\", "C:\\Apps\\ ", "C:\\Apps"}, {}, W, "/ini=", D, false},
        {false, {"C:\\Apps\\", "C:\\Apps\\ ", "C:\\Apps"}, {}, W, "/ini= /d", D, true},
        // A folder is no settings file: "/ini=D:/data/x.ini" gives "D:".
        {false, {}, {"D:", "C:\\Apps\\conf"}, W, "/ini=D:/data/x.ini", D, true},
        {false, {}, {"D:", "C:\\Apps\\conf"}, W, "/ini=conf", D, false},
        {false, {"C:\\alt.ini"}, {}, "C:\\replywick.exe", "/ini=alt.ini", "C:\\alt.ini", false},
        {true, {"/home/u/My Files/x.ini"}, {}, "/opt/rw/replywick", "/ini=/home/u/My Files/x.ini /d",
         "/home/u/My Files/x.ini", true},
        // An absolute path is not joined to the program's directory.
        {true, {"/opt/rw//etc/x.ini"}, {}, "/opt/rw/replywick", "/ini=/etc/x.ini", "/opt/rw/replywick.ini", false},
        // Relative: beside the program first, then the current directory.
        {true, {"/opt/rw/conf/a.ini", "/home/u/conf/a.ini"}, {}, "/opt/rw/replywick", "/ini=conf/a.ini",
         "/opt/rw/conf/a.ini", false},
        {true, {"/home/u/b.ini"}, {}, "/opt/rw/replywick", "/ini=b.ini", "b.ini", false},
        {true, {"/home/u/b.ini"}, {}, "/replywick", "/ini=b.ini", "b.ini", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.exe) + " " + c.args);
        Machine m;
        m.files = c.files;
        m.files.insert(c.folders.begin(), c.folders.end());
        m.folders = c.folders;
        if (c.linux) m.cwd = "/home/u";
        const auto v = ComputeAppValues(m.Inputs(c.linux, c.exe, c.args));
        EXPECT_EQ(v.IniPath, c.want);
        EXPECT_EQ(v.DebugMode, c.debug);
    }
}

// ---- Settings in the user's configuration directory -------------------------

TEST(ConfigFallback, UnwritableProgramDirectory) {
    const struct {
        const char *exe, *args;
        std::set<std::string> unwritable, files;
        const char *configDir, *want;
    } cases[] = {
        {"/usr/bin/replywick", "", {"/usr/bin"}, {}, "/home/u/.config", "/home/u/.config/replywick/replywick.ini"},
        {"/usr/bin/replywick", "", {"/usr/bin"}, {}, "/home/u/.config/", "/home/u/.config/replywick/replywick.ini"},
        // The user's file keeps the program's own name.
        {"/usr/bin/rw-work", "", {"/usr/bin"}, {}, "/home/u/.config", "/home/u/.config/replywick/rw-work.ini"},
        {"/opt/rw/replywick", "", {}, {}, "/home/u/.config", "/opt/rw/replywick.ini"},
        {"/opt/rw/replywick", "", {"/opt/rw"}, {}, "", "/opt/rw/replywick.ini"},
        // A chosen file stays, even in an unwritable directory.
        {"/usr/bin/replywick", "/ini=/etc/rw.ini", {"/usr/bin"}, {"/etc/rw.ini"}, "/home/u/.config", "/etc/rw.ini"},
        {"/usr/bin/replywick", "/ini=/etc/missing.ini", {"/usr/bin"}, {"/etc/rw.ini"}, "/home/u/.config",
         "/home/u/.config/replywick/replywick.ini"},
        // A program in the root asks about the root.
        {"/replywick", "", {"/"}, {}, "/root/.config", "/root/.config/replywick/replywick.ini"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.exe) + " " + c.args + " config " + c.configDir);
        Machine m;
        m.unwritable = c.unwritable;
        m.files = c.files;
        auto in = m.Inputs(true, c.exe, c.args);
        in.configDir = c.configDir;
        EXPECT_EQ(ComputeAppValues(in).IniPath, c.want);
    }
    // The starting list is the file beside the program.
    Machine m;
    m.unwritable = {"/usr/bin"};
    auto in = m.Inputs(true, "/usr/bin/replywick", "");
    in.configDir = "/home/u/.config";
    EXPECT_EQ(ComputeAppValues(in).SeedIniPath, "/usr/bin/replywick.ini");
}

// ---- Language and screen ----------------------------------------------------

TEST(StartupLanguage, CaptionsFollowTheSystemLanguageAndFactsAreCarriedOver) {
    Machine m;
    auto in = m.Inputs(false, "C:\\Apps\\replywick.exe", "");
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
    // The system's version and screen measures are carried over.
    in.os = {1, 4, 10, 1998};
    in.twipsX = 12;
    in.twipsY = 20;
    v = ComputeAppValues(in);
    EXPECT_FALSE(v.OsVersion.IsNT);
    EXPECT_TRUE(v.OsVersion.HasForegroundLock);
    EXPECT_EQ(v.OsVersion.BuildNumber, 1998);
    EXPECT_EQ(v.TwipsPerPixelX, 12);
    EXPECT_EQ(v.TwipsPerPixelY, 20);
}

// ---- InitApp on the fake platform -------------------------------------------

class InitAppTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        dir = Folder();
    }
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

TEST_F(InitAppTest, LinuxSettingsFileBesideTheProgramOrInTheConfigDirectory) {
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
    // Where the program's directory cannot be written.
    fake.commandLine.clear();
    fake.unwritableDirs = {dir.string()};
    fake.configDir = "/home/u/.config";
    InitApp();
    EXPECT_EQ(App.IniPath, "/home/u/.config/replywick/replywick.ini");
}

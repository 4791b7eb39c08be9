// The settings file on real files in a temporary directory (through the fake
// backend, which can make a write or the final rename fail, and otherwise
// follows the Linux rules for the user's own files), and the clipboard text
// routines with their one retry.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "backends/posix/PosixProcess.h"

#include "items/ItemText.h"
#include "items/Settings.h"
#include "tests/unit/CoreFixture.h"

using namespace rw;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    return static_cast<unsigned>(st.st_mode & 07777);
}

// An account other than the test's, to own the files "another user" left.
uid_t OtherUser() {
    const passwd* pw = ::getpwnam("nobody");
    return pw != nullptr && pw->pw_uid != ::geteuid() ? pw->pw_uid : 65534;
}

// A group a file of the test's may be given that differs from the group a
// new file gets; -1 when there is none.
gid_t GroupOtherThanOwn() {
    const gid_t own = ::getegid();
    if (::geteuid() == 0) return own != 1 ? 1 : 2;
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    const int n = ::getgroups(static_cast<int>(groups.size()), groups.data());
    for (int i = 0; i < n; ++i) {
        if (groups[static_cast<std::size_t>(i)] != own) return groups[static_cast<std::size_t>(i)];
    }
    return static_cast<gid_t>(-1);
}

// Sets a file's change time back, as a temporary file left an hour ago.
void MakeOld(const std::string& path) {
    const timespec times[2] = {{std::time(nullptr) - 3600, 0}, {std::time(nullptr) - 3600, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

const std::string kOldFile = "; Replywick\r\n\r\n\r\n[Item]\r\nDesc=old\r\n\r\n\r\n";

class SettingsTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        dir = Folder().string();
        App.IniPath = dir + "/replywick.ini";
        // Loading a missing file forgets what an earlier test's load left.
        LoadSettings();
    }
    void TearDown() override {
        App.IniPath = dir + "/none.ini";
        LoadSettings();
        CoreTest::TearDown();
    }

    // Every name in the folder, sorted: a temporary file left behind shows.
    std::vector<std::string> DirEntries() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(dir)) out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

    static ItemRec Item(const std::string& tag, std::int32_t n) {
        return ItemRec{"desc " + tag, "title " + tag, n % 4, "class " + tag,
                       "text " + tag + "\r\nsecond line", "/usr/bin/" + tag, "{ENTER}" + tag,
                       "400x150", n * 10};
    }
    static std::vector<ItemRec> All(const clsItems& l) {
        std::vector<ItemRec> out;
        for (std::int32_t i = 0; i < l.Count(); ++i) {
            ItemRec r;
            l.GetItem(i, r);
            out.push_back(r);
        }
        return out;
    }

    std::string dir;
};

// ---- Writing ----------------------------------------------------------------

TEST_F(SettingsTest, SaveWritesTheFileAndLeavesNoTemporary) {
    EXPECT_EQ(SettingsFileText(gItems), "; Replywick\r\n\r\n\r\n\r\n");
    gItems.AddItemAt(0, Item("a", 1));
    // Every item ends with two empty lines.
    EXPECT_EQ(SettingsFileText(gItems), "; Replywick\r\n\r\n\r\n" + gItems.GetItemAsString(0) + "\r\n\r\n");
    gItems.AddItemAt(1, Item("b", 2));
    ASSERT_EQ(SaveSettings(), SaveResult::Saved);
    EXPECT_EQ(ReadAll(App.IniPath), SettingsFileText(gItems));
    EXPECT_EQ(DirEntries(), std::vector<std::string>{"replywick.ini"});
}

TEST_F(SettingsTest, TwoItemsRoundTripThroughTheFile) {
    std::vector<ItemRec> items{Item("a", 1), Item("b", 2)};
    items[1].Desc = "";
    items[1].Title = "a=b";
    items[1].Macro = "  lead";
    items[1].Text = "one\r\ntwo\r\nthree";
    for (std::size_t i = 0; i < items.size(); ++i) gItems.AddItemAt(static_cast<std::int32_t>(i), items[i]);
    ASSERT_EQ(SaveSettings(), SaveResult::Saved);
    gItems.Clear();
    CurItem = Item("stale", 3);
    LoadSettings();
    items[1].Desc = "-";
    EXPECT_EQ(All(gItems), items);
}

TEST_F(SettingsTest, NewFileIsOwnerOnly) {
    // Even with a permissive umask.
    mode_t oldMask = ::umask(0);
    SaveResult saved = SaveSettings();
    ::umask(oldMask);
    ASSERT_EQ(saved, SaveResult::Saved);
    EXPECT_EQ(ModeOf(App.IniPath), 0600u);
}

TEST_F(SettingsTest, ExistingFileKeepsItsModeAndGroup) {
    WriteAll(App.IniPath, "; old\r\n");
    ASSERT_EQ(::chmod(App.IniPath.c_str(), 0640), 0);
    // A group other than the one a new file would get: the superuser may
    // hand out any group, a user one of the other groups they belong to.
    const gid_t other = GroupOtherThanOwn();
    if (other == static_cast<gid_t>(-1)) {
        GTEST_SKIP() << "the user belongs to no group besides their own, so a kept group cannot be told "
                        "from a new one";
    }
    ASSERT_EQ(::chown(App.IniPath.c_str(), static_cast<uid_t>(-1), other), 0);
    ASSERT_EQ(SaveSettings(), SaveResult::Saved);
    EXPECT_EQ(ModeOf(App.IniPath), 0640u);
    EXPECT_EQ(ReadAll(App.IniPath), SettingsFileText(gItems));
    struct stat st {};
    ASSERT_EQ(::stat(App.IniPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_gid, other);
}

TEST_F(SettingsTest, ReadOnlyFileIsLeftAsItIs) {
    // The folder would allow the rename; the user's read-only mark must win,
    // also for the superuser, who could write anything.
    WriteAll(App.IniPath, kOldFile);
    ASSERT_EQ(::chmod(App.IniPath.c_str(), 0444), 0);
    gItems.AddItemAt(0, Item("new", 1));
    EXPECT_EQ(SaveSettings(), SaveResult::ReadOnly);
    EXPECT_EQ(ReadAll(App.IniPath), kOldFile);
    EXPECT_EQ(ModeOf(App.IniPath), 0444u);
    EXPECT_EQ(DirEntries(), std::vector<std::string>{"replywick.ini"});
}

TEST_F(SettingsTest, UnreadableFileIsNeverReplaced) {
    // It exists, but reading failed (permissions, a sharing violation, an
    // I/O error): the empty list in memory must not replace the user's items,
    // neither at the end nor on any later save.
    const std::string old = "; Replywick\r\n\r\n\r\n[Item]\r\nDesc=mine\r\n\r\n\r\n";
    WriteAll(App.IniPath, old);
    fake.unreadableFiles.push_back(App.IniPath);
    LoadSettings();
    EXPECT_EQ(gItems.Count(), 0);
    EXPECT_TRUE(SettingsReadFailed());
    EXPECT_EQ(SaveSettings(), SaveResult::NotRead);
    gItems.AddItem(Named("added later", ""));
    EXPECT_EQ(SaveSettings(), SaveResult::NotRead);
    EXPECT_EQ(ReadAll(App.IniPath), old);
    // A missing file is no such case.
    fake.unreadableFiles.clear();
    std::filesystem::remove(App.IniPath);
    LoadSettings();
    EXPECT_EQ(gItems.Count(), 0);
    EXPECT_FALSE(SettingsReadFailed());
    EXPECT_EQ(SaveSettings(), SaveResult::Saved);
}

TEST_F(SettingsTest, TheEndOfTheProgramWritesOnlyConfirmedEdits) {
    // The program may end with a settings window open (the X server went
    // away, a signal): its edits were never confirmed.
    gItems.AddItem(Named("kept"));
    gItems.UpdateBegin();
    gItems.RemoveItem(0);
    gItems.AddItem(Named("unconfirmed"));
    ASSERT_EQ(SaveConfirmedSettings(), SaveResult::Saved);
    const std::string file = ReadAll(App.IniPath);
    EXPECT_NE(file.find("Desc=kept"), std::string::npos);
    EXPECT_EQ(file.find("unconfirmed"), std::string::npos);
    // Confirmed edits are written.
    gItems.UpdateBegin();
    gItems.AddItem(Named("confirmed"));
    gItems.UpdateConfirm();
    ASSERT_EQ(SaveConfirmedSettings(), SaveResult::Saved);
    EXPECT_NE(ReadAll(App.IniPath).find("Desc=confirmed"), std::string::npos);
}

TEST_F(SettingsTest, StartingListBesideTheProgramSavesToTheUsersFile) {
    // Installed where the user cannot write: an administrator's list beside
    // the program is read while the user has no file of their own, and is
    // never written.
    const std::string seed = dir + "/beside.ini";
    const std::string seedText = "; Replywick\r\n\r\n\r\n[Item]\r\nDesc=admin\r\n\r\n\r\n";
    WriteAll(seed, seedText);
    App.SeedIniPath = seed;
    LoadSettings();
    ASSERT_EQ(gItems.Count(), 1);
    EXPECT_EQ(gItems.GetDesc(0), "admin");
    gItems.AddItem(Named("mine", ""));
    ASSERT_EQ(SaveSettings(), SaveResult::Saved);
    EXPECT_EQ(ReadAll(seed), seedText);
    // From now on the user's own file counts.
    LoadSettings();
    EXPECT_EQ(gItems.Count(), 2);
}

TEST_F(SettingsTest, LinkedSettingsFileStaysALinkAndItsTargetIsReplaced) {
    // Users keep their settings elsewhere and link them in; saving must not
    // turn the link into a copy that the real file never sees.
    ASSERT_EQ(::mkdir((dir + "/real").c_str(), 0700), 0);
    const std::string real = dir + "/real/mine.ini";
    WriteAll(real, "; old\r\n");
    ASSERT_EQ(::symlink("real/mine.ini", App.IniPath.c_str()), 0);
    gItems.AddItemAt(0, Item("a", 1));
    ASSERT_EQ(SaveSettings(), SaveResult::Saved);
    char buf[256] = {};
    ASSERT_GT(::readlink(App.IniPath.c_str(), buf, sizeof buf - 1), 0);
    EXPECT_EQ(std::string(buf), "real/mine.ini");
    EXPECT_EQ(ReadAll(real), SettingsFileText(gItems));
    EXPECT_EQ(DirEntries(), (std::vector<std::string>{"real", "replywick.ini"}));
}

TEST_F(SettingsTest, FailingWriteOrReplaceLeavesOldFileIntactAndNoTemporary) {
    for (bool failWrite : {true, false}) {
        SCOPED_TRACE(failWrite ? "write fails" : "replace fails");
        WriteAll(App.IniPath, kOldFile);
        gItems.Clear();
        gItems.AddItemAt(0, Item("new", 1));
        fake.failNextWrite = failWrite;
        fake.failNextReplace = !failWrite;
        EXPECT_EQ(SaveSettings(), SaveResult::Failed);
        EXPECT_EQ(ReadAll(App.IniPath), kOldFile);
        EXPECT_EQ(DirEntries(), std::vector<std::string>{"replywick.ini"});
        // The next save goes through.
        EXPECT_EQ(SaveSettings(), SaveResult::Saved);
        EXPECT_EQ(ReadAll(App.IniPath), SettingsFileText(gItems));
    }
    // A new file whose writing fails is not created at all.
    std::filesystem::remove(App.IniPath);
    fake.failNextWrite = true;
    EXPECT_EQ(SaveSettings(), SaveResult::Failed);
    EXPECT_TRUE(DirEntries().empty());
}

TEST_F(SettingsTest, TemporaryFilesOfOtherSavesAreLeftToRunningProcessesOnly) {
    // Ours (a crashed save of an earlier process with our id) must not block
    // the save; a running process's half-written file is its own business;
    // one left long ago by a process of this computer that no longer runs
    // may hold macros, and goes. Another computer sharing the folder runs
    // processes of its own under the same numbers: its files stay, as do
    // names without a computer, and a file of a moment ago.
    const std::string here = App.IniPath + ".testhost.";
    const std::string ours = here + std::to_string(fake.processId) + ".tmp";
    const std::string theirs = here + "77.tmp";
    const std::string stale = here + "88.tmp";
    const std::string young = here + "89.tmp";
    const std::string otherHost = App.IniPath + ".otherhost.88.tmp";
    const std::string noHost = App.IniPath + ".88.tmp";
    WriteAll(ours, "half a file from a crash");
    WriteAll(theirs, "another save under way");
    WriteAll(stale, "Macro=secret, left by a killed save");
    WriteAll(young, "a save that began a moment ago");
    WriteAll(otherHost, "a save under way on another computer");
    WriteAll(noHost, "no computer named");
    WriteAll(App.IniPath + ".bak", "a user's own copy");
    WriteAll(here + "x9.tmp", "not one of ours");
    for (const std::string& p : {ours, theirs, stale, otherHost, noHost}) MakeOld(p);
    fake.runningProcesses = {77};
    gItems.AddItemAt(0, Item("a", 1));
    ASSERT_EQ(SaveSettings(), SaveResult::Saved);
    EXPECT_EQ(ReadAll(App.IniPath), SettingsFileText(gItems));
    EXPECT_EQ(ReadAll(theirs), "another save under way");
    EXPECT_EQ(DirEntries(),
              (std::vector<std::string>{"replywick.ini", "replywick.ini.88.tmp", "replywick.ini.bak",
                                        "replywick.ini.otherhost.88.tmp", "replywick.ini.testhost.77.tmp",
                                        "replywick.ini.testhost.89.tmp", "replywick.ini.testhost.x9.tmp"}));
}

TEST_F(SettingsTest, ComputerNamesThatNoFileNameCanHoldAreMadeSafe) {
    fake.hostName = "pc/7 lab";
    const std::string stale = App.IniPath + ".pc_7_lab.88.tmp";
    WriteAll(stale, "left by a killed save");
    MakeOld(stale);
    ASSERT_EQ(SaveSettings(), SaveResult::Saved);
    EXPECT_EQ(DirEntries(), std::vector<std::string>{"replywick.ini"});
}

TEST_F(SettingsTest, UnwritableDirectoryFailsWithoutTouchingAnything) {
    App.IniPath = dir + "/missing-subdir/replywick.ini";
    EXPECT_EQ(SaveSettings(), SaveResult::Failed);
    App.IniPath.clear();
    EXPECT_EQ(SaveSettings(), SaveResult::Failed);
}

// ---- Files and folders other users could change -------------------------------

TEST_F(SettingsTest, FolderOthersCanWriteIsNeitherReadNorWritten) {
    // Another user could swap the file for a link to a file of theirs
    // between load and save, or plant an item whose macro types commands.
    App.DebugMode = true;
    const std::string open = dir + "/open";
    ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
    const std::string inner = open + "/mine";
    ASSERT_EQ(::mkdir(inner.c_str(), 0700), 0);
    // The file's own folder, and a folder further up.
    for (const std::string& folder : {open, inner}) {
        SCOPED_TRACE(folder);
        App.IniPath = folder + "/replywick.ini";
        WriteAll(App.IniPath, kOldFile);
        ASSERT_EQ(::chmod(App.IniPath.c_str(), 0600), 0);
        fake.debugLines.clear();
        LoadSettings();
        EXPECT_EQ(gItems.Count(), 0);
        EXPECT_TRUE(SettingsReadFailed());
        ASSERT_EQ(fake.debugLines.size(), 1u);
        EXPECT_NE(fake.debugLines[0].find("Settings not read: other users can change it: folder " + open),
                  std::string::npos)
            << fake.debugLines[0];
        gItems.AddItem(Named("secret", ""));
        EXPECT_EQ(SaveSettings(), SaveResult::NotTrusted);
        EXPECT_EQ(ReadAll(App.IniPath), kOldFile);
        // No file is created there either.
        std::filesystem::remove(App.IniPath);
        LoadSettings();
        EXPECT_TRUE(SettingsReadFailed());
        EXPECT_EQ(SaveSettings(), SaveResult::NotTrusted);
        EXPECT_FALSE(std::filesystem::exists(App.IniPath));
    }
    EXPECT_EQ(DirEntries(), std::vector<std::string>{"open"});
}

TEST_F(SettingsTest, FolderOpenToAllWithTheStickyBitIsTrusted) {
    // Like /tmp: others may add names there, but not touch the user's.
    const std::string sticky = dir + "/sticky";
    ASSERT_EQ(::mkdir(sticky.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(sticky.c_str(), 01777), 0);
    App.IniPath = sticky + "/../sticky/replywick.ini";
    WriteAll(App.IniPath, kOldFile);
    LoadSettings();
    EXPECT_FALSE(SettingsReadFailed());
    EXPECT_EQ(gItems.Count(), 1);
    gItems.AddItem(Named("new", ""));
    ASSERT_EQ(SaveSettings(), SaveResult::Saved);
    EXPECT_EQ(ReadAll(sticky + "/replywick.ini"), SettingsFileText(gItems));
}

TEST_F(SettingsTest, FilesLinksAndFoldersOfAnotherUserAreNotTrusted) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give files to another user";
    const uid_t other = OtherUser();
    // The settings file was read; then another user swapped it for a link
    // to a file of theirs that everybody may read and write. The save must
    // neither follow the link nor copy that file's permissions.
    WriteAll(App.IniPath, kOldFile);
    ASSERT_EQ(::chmod(App.IniPath.c_str(), 0600), 0);
    LoadSettings();
    ASSERT_EQ(gItems.Count(), 1);
    gItems.AddItem(Named("Macro=password", ""));
    const std::string theirs = dir + "/theirs.ini";
    WriteAll(theirs, "theirs");
    ASSERT_EQ(::chmod(theirs.c_str(), 0666), 0);
    ASSERT_EQ(::chown(theirs.c_str(), other, other), 0);
    std::filesystem::remove(App.IniPath);
    ASSERT_EQ(::symlink(theirs.c_str(), App.IniPath.c_str()), 0);
    ASSERT_EQ(::lchown(App.IniPath.c_str(), other, other), 0);
    EXPECT_EQ(SaveSettings(), SaveResult::NotTrusted);
    EXPECT_EQ(ReadAll(theirs), "theirs");
    EXPECT_EQ(ModeOf(theirs), 0666u);
    // A link of the user's own to a file of theirs: the target is not the
    // user's.
    std::filesystem::remove(App.IniPath);
    ASSERT_EQ(::symlink(theirs.c_str(), App.IniPath.c_str()), 0);
    EXPECT_EQ(SaveSettings(), SaveResult::NotTrusted);
    EXPECT_EQ(ReadAll(theirs), "theirs");
    LoadSettings();
    EXPECT_TRUE(SettingsReadFailed());
    EXPECT_EQ(SaveSettings(), SaveResult::NotTrusted);
    // Their file under the settings file's name, even one only they may
    // write.
    std::filesystem::remove(App.IniPath);
    WriteAll(App.IniPath, kOldFile);
    ASSERT_EQ(::chown(App.IniPath.c_str(), other, other), 0);
    LoadSettings();
    EXPECT_TRUE(SettingsReadFailed());
    EXPECT_EQ(gItems.Count(), 0);
    // A folder of theirs on the way, and a link of theirs to a folder of
    // the user's.
    const std::string theirDir = dir + "/theirdir";
    ASSERT_EQ(::mkdir(theirDir.c_str(), 0755), 0);
    WriteAll(theirDir + "/replywick.ini", kOldFile);
    ASSERT_EQ(::chown(theirDir.c_str(), other, other), 0);
    const std::string mine = dir + "/mine";
    ASSERT_EQ(::mkdir(mine.c_str(), 0700), 0);
    WriteAll(mine + "/replywick.ini", kOldFile);
    ASSERT_EQ(::symlink("mine", (dir + "/via").c_str()), 0);
    ASSERT_EQ(::lchown((dir + "/via").c_str(), other, other), 0);
    for (const std::string& path : {theirDir + "/replywick.ini", dir + "/via/replywick.ini"}) {
        SCOPED_TRACE(path);
        App.IniPath = path;
        LoadSettings();
        EXPECT_TRUE(SettingsReadFailed());
        EXPECT_EQ(SaveSettings(), SaveResult::NotTrusted);
        EXPECT_EQ(ReadAll(path), kOldFile);
    }
    // The same link made by the user is followed.
    ASSERT_EQ(::lchown((dir + "/via").c_str(), 0, 0), 0);
    LoadSettings();
    EXPECT_FALSE(SettingsReadFailed());
    EXPECT_EQ(gItems.Count(), 1);
    EXPECT_EQ(SaveSettings(), SaveResult::Saved);
}

TEST_F(SettingsTest, FileOrFolderWritableByAGroupWithOtherMembersIsNotTrusted) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file any group";
    // The group of another account: not a private group of the owner.
    const passwd* pw = ::getpwuid(OtherUser());
    const gid_t shared = pw != nullptr ? pw->pw_gid : 65534;
    WriteAll(App.IniPath, kOldFile);
    ASSERT_EQ(::chown(App.IniPath.c_str(), 0, shared), 0);
    ASSERT_EQ(::chmod(App.IniPath.c_str(), 0660), 0);
    LoadSettings();
    EXPECT_TRUE(SettingsReadFailed());
    EXPECT_EQ(SaveSettings(), SaveResult::NotTrusted);
    EXPECT_EQ(ReadAll(App.IniPath), kOldFile);
    // Readable by the group only: fine, and kept so.
    ASSERT_EQ(::chmod(App.IniPath.c_str(), 0640), 0);
    LoadSettings();
    EXPECT_FALSE(SettingsReadFailed());
    ASSERT_EQ(SaveSettings(), SaveResult::Saved);
    EXPECT_EQ(ModeOf(App.IniPath), 0640u);
    // The folder writable by that group.
    const std::string group = dir + "/group";
    ASSERT_EQ(::mkdir(group.c_str(), 0700), 0);
    ASSERT_EQ(::chown(group.c_str(), 0, shared), 0);
    ASSERT_EQ(::chmod(group.c_str(), 0770), 0);
    App.IniPath = group + "/replywick.ini";
    WriteAll(App.IniPath, kOldFile);
    LoadSettings();
    EXPECT_TRUE(SettingsReadFailed());
    EXPECT_EQ(SaveSettings(), SaveResult::NotTrusted);
}

TEST_F(SettingsTest, FifoOrDeviceIsNeverOpenedNorReplaced) {
    // Reading a FIFO nobody writes would wait for ever, a device like
    // /dev/zero would never end.
    App.DebugMode = true;
    ASSERT_EQ(::mkfifo(App.IniPath.c_str(), 0600), 0);
    LoadSettings();
    EXPECT_TRUE(SettingsReadFailed());
    EXPECT_EQ(gItems.Count(), 0);
    ASSERT_FALSE(fake.debugLines.empty());
    EXPECT_EQ(fake.debugLines.back(), "Settings not read: no regular file: " + App.IniPath + " is a FIFO");
    EXPECT_EQ(SaveSettings(), SaveResult::NotRead);
    struct stat st {};
    ASSERT_EQ(::lstat(App.IniPath.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    std::filesystem::remove(App.IniPath);
    ASSERT_EQ(::symlink("/dev/zero", App.IniPath.c_str()), 0);
    LoadSettings();
    EXPECT_TRUE(SettingsReadFailed());
    EXPECT_EQ(fake.debugLines.back(), "Settings not read: no regular file: /dev/zero is a device");
    EXPECT_EQ(SaveSettings(), SaveResult::NotRead);
    // A folder in the file's place.
    std::filesystem::remove(App.IniPath);
    ASSERT_EQ(::mkdir(App.IniPath.c_str(), 0700), 0);
    LoadSettings();
    EXPECT_TRUE(SettingsReadFailed());
    EXPECT_EQ(SaveSettings(), SaveResult::NotRead);
}

TEST_F(SettingsTest, FileOverTheSizeLimitIsNotReadAndNeverReplaced) {
    App.DebugMode = true;
    WriteAll(App.IniPath, kOldFile);
    ASSERT_EQ(::truncate(App.IniPath.c_str(), static_cast<off_t>(kMaxSettingsFileBytes) + 1), 0);
    LoadSettings();
    EXPECT_TRUE(SettingsReadFailed());
    EXPECT_EQ(gItems.Count(), 0);
    ASSERT_FALSE(fake.debugLines.empty());
    EXPECT_EQ(fake.debugLines.back(), "Settings not read: too large: " + App.IniPath + " is larger than " +
                                          std::to_string(kMaxSettingsFileBytes) + " bytes");
    EXPECT_EQ(SaveSettings(), SaveResult::NotRead);
    EXPECT_EQ(std::filesystem::file_size(App.IniPath), kMaxSettingsFileBytes + 1);
}

TEST(UserConfigDir, RelativeHomeIsNotUsed) {
    // The settings file would otherwise lie wherever the program was
    // started from.
    const char* oldHome = std::getenv("HOME");
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string home = oldHome != nullptr ? oldHome : "";
    const std::string xdg = oldXdg != nullptr ? oldXdg : "";
    ::setenv("HOME", "relative/home", 1);
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
    const std::string got = posix::UserConfigDir();
    if (oldHome != nullptr) ::setenv("HOME", home.c_str(), 1);
    else ::unsetenv("HOME");
    if (oldXdg != nullptr) ::setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
    else ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_TRUE(got.empty() || got.front() == '/') << got;
    EXPECT_EQ(got.find("relative"), std::string::npos) << got;
}

// ---- Reading ----------------------------------------------------------------

TEST_F(SettingsTest, ReadingTheText) {
    const struct {
        std::string text;
        std::vector<ItemRec> items;
    } cases[] = {
        {"", {}},
        {"; Replywick\r\n\r\n\r\n\r\n   \r\n", {}},
        {"; Replywick\r\n\r\n[Item]\r\nDesc=d\r\nDelay=100", {{"d", "", 0, "", "", "", "", "", 100}}},
        // Lines before the first marker make an item of their own.
        {"; c\r\nTitle=early\r\n[Item]\r\nTitle=late\r\n", {Named("-", "early"), Named("-", "late")}},
        // Comments and blank lines anywhere are skipped.
        {"[Item]\r\n; Title=commented\r\nTitle=t\r\n   \r\n\r\n;x\r\nMacro=m\r\n",
         {{"-", "t", 0, "", "", "", "m", "", 0}}},
        // " [Item]" is collected as a line of the first item; its parser then
        // trims it and stops, so "Title=b" never counts.
        {"[Item]\r\nTitle=a\r\n [Item]\r\nTitle=b\r\n[Item]\r\nTitle=c\r\n", {Named("-", "a"), Named("-", "c")}},
        // Empty items between markers are dropped.
        {"[Item]\r\n[Item]\r\n; only a comment\r\n[Item]\r\nDesc=x\r\n[Item]\r\n", {Named("x")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text));
        gItems.Clear();
        gItems.AddItem(Named("left over"));  // reading replaces what was there
        ReadSettingsText(c.text, gItems);
        EXPECT_EQ(All(gItems), c.items);
    }
}

TEST_F(SettingsTest, LineFeedOnlyFileReadsLikeCrLf) {
    std::string crlf = "; Replywick\r\n\r\n[Item]\r\nDesc=a\r\nText=1\r\nText=2\r\nDelay=5\r\n\r\n"
                       "[Item]\r\nDesc=b\r\n";
    std::string lf = "; Replywick\n\n[Item]\nDesc=a\nText=1\nText=2\nDelay=5\n\n[Item]\nDesc=b\n";
    clsItems a;
    ReadSettingsText(crlf, a);
    CurItem = ItemRec{};
    clsItems b;
    ReadSettingsText(lf, b);
    ASSERT_EQ(a.Count(), 2);
    EXPECT_EQ(All(a), All(b));
    ItemRec r;
    b.GetItem(0, r);
    EXPECT_EQ(r.Text, "1\r\n2");
}

TEST_F(SettingsTest, LineBreaksInsideValuesCannotSplitAnItem) {
    // A captured window title or a pasted text with a line break in it once
    // came back from the file as a key line of its own: here a "Macro=" that
    // would type the item's secret elsewhere.
    gItems.AddItemAt(0, ItemRec{"d", "first\nMacro=evil", 0, "c\r\nSize=1x1", "l1\nl2\rl3", "", "", "secret", 0});
    ASSERT_EQ(SaveSettings(), SaveResult::Saved);
    LoadSettings();
    ASSERT_EQ(gItems.Count(), 1);
    ItemRec r;
    gItems.GetItem(0, r);
    EXPECT_EQ(r, (ItemRec{"d", "first Macro=evil", 0, "c Size=1x1", "l1\r\nl2\r\nl3", "", "", "secret", 0}));
}

TEST_F(SettingsTest, EightBitBytesPassThrough) {
    std::string bytes = "[Item]\r\nDesc=K\xC3\xA4se \xE2\x82\xAC\r\nTitle=\xFF\xFE\x80\r\n";
    WriteAll(App.IniPath, bytes);
    LoadSettings();
    ItemRec r;
    gItems.GetItem(0, r);
    EXPECT_EQ(r.Desc, "K\xC3\xA4se \xE2\x82\xAC");
    EXPECT_EQ(r.Title, "\xFF\xFE\x80");
    ASSERT_EQ(SaveSettings(), SaveResult::Saved);
    EXPECT_NE(ReadAll(App.IniPath).find("Desc=K\xC3\xA4se \xE2\x82\xAC\r\nTitle=\xFF\xFE\x80\r\n"),
              std::string::npos);
}

TEST_F(SettingsTest, SavedFileReadsBackToTheSameText) {
    for (int i = 0; i < 20; ++i) gItems.AddItemAt(i, Item(std::to_string(i), i));
    ASSERT_EQ(SaveSettings(), SaveResult::Saved);
    std::string first = ReadAll(App.IniPath);
    LoadSettings();
    ASSERT_EQ(SaveSettings(), SaveResult::Saved);
    EXPECT_EQ(ReadAll(App.IniPath), first);
}

// ---- Clipboard --------------------------------------------------------------

TEST_F(SettingsTest, ClipboardReadRetriesOnceAfter100ms) {
    const struct {
        int failures;
        Lines transcript;
        std::string text;
    } cases[] = {
        {0, {"clipboard get"}, "[Item]\r\nDesc=x\r\n"},
        {1, {"clipboard get", "sleep 100", "clipboard get"}, "[Item]\r\nDesc=x\r\n"},
        {5, {"clipboard get", "sleep 100", "clipboard get"}, ""},  // then gives up quietly
    };
    for (const auto& c : cases) {
        fake.transcript.clear();
        fake.clipboard = "[Item]\r\nDesc=x\r\n";
        fake.clipboardGetFailures = c.failures;
        EXPECT_EQ(GetClipText(), c.text) << c.failures;
        EXPECT_EQ(fake.transcript, c.transcript) << c.failures;
    }
}

TEST_F(SettingsTest, ClipboardWriteEmptiesThenSetsRetryingTheEmptyOnce) {
    gItems.AddItemAt(0, Item("a", 1));
    gItems.AddItemAt(1, Item("b", 2));
    const std::string multi = gItems.GetItemAsString(0) + "\r\n" + gItems.GetItemAsString(1) + "\r\n";
    SetClipText(multi);
    EXPECT_EQ(GetClipText(), multi) << "several items' text comes back unchanged";
    for (int failures : {0, 1, 2}) {
        fake.transcript.clear();
        fake.clipboardEmptyFailures = failures;
        SetClipText("new " + std::to_string(failures));
        EXPECT_EQ(fake.clipboard, "new " + std::to_string(failures));
        Lines want = failures == 0 ? Lines{"clipboard empty", "clipboard set"}
                                   : Lines{"clipboard empty", "sleep 100", "clipboard empty", "clipboard set"};
        EXPECT_EQ(fake.transcript, want) << failures;
    }
}

}  // namespace

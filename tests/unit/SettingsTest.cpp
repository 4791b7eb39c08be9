// The settings file on real files in a temporary directory (through the fake
// backend, which can make a write or the final rename fail), and the
// clipboard text routines with their one retry.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

const std::string kOldFile = "; Replywick\r\n\r\n\r\n[Item]\r\nDesc=old\r\n\r\n\r\n";

class SettingsTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        dir = Folder().string();
        App.IniPath = dir + "/replywick.ini";
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
    // A group shared with others (only the superuser may hand out any group).
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(App.IniPath.c_str(), static_cast<uid_t>(-1), 1), 0);
    }
    ASSERT_EQ(SaveSettings(), SaveResult::Saved);
    EXPECT_EQ(ModeOf(App.IniPath), 0640u);
    EXPECT_EQ(ReadAll(App.IniPath), SettingsFileText(gItems));
    struct stat st {};
    ASSERT_EQ(::stat(App.IniPath.c_str(), &st), 0);
    if (root) {
        EXPECT_EQ(st.st_gid, 1u);
    }
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
    // one left by a process that no longer runs may hold macros, and goes.
    const std::string ours = App.IniPath + "." + std::to_string(fake.processId) + ".tmp";
    const std::string theirs = App.IniPath + ".77.tmp";
    const std::string stale = App.IniPath + ".88.tmp";
    WriteAll(ours, "half a file from a crash");
    WriteAll(theirs, "another save under way");
    WriteAll(stale, "Macro=secret, left by a killed save");
    WriteAll(App.IniPath + ".bak", "a user's own copy");
    WriteAll(App.IniPath + ".x9.tmp", "not one of ours");
    fake.runningProcesses = {77};
    gItems.AddItemAt(0, Item("a", 1));
    ASSERT_EQ(SaveSettings(), SaveResult::Saved);
    EXPECT_EQ(ReadAll(App.IniPath), SettingsFileText(gItems));
    EXPECT_EQ(ReadAll(theirs), "another save under way");
    EXPECT_EQ(DirEntries(), (std::vector<std::string>{"replywick.ini", "replywick.ini.77.tmp", "replywick.ini.bak",
                                                      "replywick.ini.x9.tmp"}));
}

TEST_F(SettingsTest, UnwritableDirectoryFailsWithoutTouchingAnything) {
    App.IniPath = dir + "/missing-subdir/replywick.ini";
    EXPECT_EQ(SaveSettings(), SaveResult::Failed);
    App.IniPath.clear();
    EXPECT_EQ(SaveSettings(), SaveResult::Failed);
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

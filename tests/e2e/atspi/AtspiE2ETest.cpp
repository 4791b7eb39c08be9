// End-to-end tests of the accessibility bridge against real dialogs (zenity,
// GTK 3, and a Qt 6 dialog of ours), and of the X11 platform's dialogs
// built on it. Run by run_e2e.sh, which provides an X display, a window
// manager, a D-Bus session and the accessibility bus. The NoBus suite runs
// without any bus (see CMakeLists.txt).
#include <dbus/dbus.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "AccessibilityBridge.h"
#include "BusDiscovery.h"
#include "XWindows.h"
#include "backends/x11/X11WindowSystem.h"

namespace {

using rw::atspi::AccessibilityBridge;
using rw::atspi::AccNode;
using rw::atspi::AccWindow;
using rw::atspi::DialogTextFromNodes;
using Clock = std::chrono::steady_clock;
using rwtest::XDisplay;
using rwtest::XWin;

// ---- Child processes ------------------------------------------------------

class Child {
public:
    Child(std::vector<std::string> argv, std::vector<std::pair<std::string, std::string>> env = {},
          bool withStdin = false) {
        int fds[2] = {-1, -1};
        if (withStdin && pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            if (withStdin) {
                dup2(fds[0], 0);
                close(fds[0]);
                close(fds[1]);
            }
            for (auto& [k, v] : env) setenv(k.c_str(), v.c_str(), 1);
            std::vector<char*> args;
            for (auto& a : argv) args.push_back(a.data());
            args.push_back(nullptr);
            // Keep the toolkits' chatter out of the test log.
            if (FILE* null = std::fopen("/dev/null", "w")) dup2(fileno(null), 2);
            execvp(args[0], args.data());
            _exit(127);
        }
        if (withStdin) {
            close(fds[0]);
            stdin_ = fds[1];
        }
    }
    ~Child() {
        if (stdin_ >= 0) close(stdin_);
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGCONT);
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    pid_t pid() const { return pid_; }
    void Write(const std::string& text) {
        ASSERT_EQ(write(stdin_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }

    // Exit code, or nothing when the process is still running after `ms`.
    std::optional<int> WaitExit(int ms) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < end) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return std::nullopt;
    }

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    bool exited_ = false;
};

// ---- Fixture --------------------------------------------------------------

// One bridge for the whole run, as the program keeps one: applications that
// start later must still be found.
class AtspiE2E : public ::testing::Test {
protected:
    static void SetUpTestSuite() { bridge_ = new AccessibilityBridge(); }
    static void TearDownTestSuite() {
        delete bridge_;
        bridge_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(x_.get(), nullptr) << "no X display";
        ASSERT_TRUE(bridge_->BusAvailable()) << "no accessibility bus";
    }

    // The window of a freshly started dialog, once the bridge sees its
    // contents (a toolkit registers on the bus shortly after mapping).
    XWin Await(Child& c, std::vector<AccNode>* nodes = nullptr) {
        auto win = x_.FindByPid(c.pid(), 10000);
        EXPECT_TRUE(win.has_value()) << "window of pid " << c.pid() << " not found";
        if (!win) return {};
        std::vector<AccNode> got;
        const auto end = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < end) {
            got = Snap(c, *win);
            if (HasRole(got, "push button")) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (!HasRole(got, "push button")) {
            const char* launcher = std::getenv("RW_ATSPI_LAUNCHER_PID");
            ADD_FAILURE() << "no buttons of pid " << c.pid() << " '" << win->title << "' ("
                          << got.size() << " nodes); bus launcher "
                          << (launcher && kill(std::atoi(launcher), 0) == 0 ? "running" : "gone");
        }
        // The shorter walk ends at the text node: a prefix with the same text.
        const auto text = bridge_->TextNodes(Win(c, *win));
        EXPECT_LE(text.size(), got.size());
        EXPECT_TRUE(std::equal(text.begin(), text.end(), got.begin(),
                               got.begin() + static_cast<std::ptrdiff_t>(std::min(text.size(), got.size()))));
        EXPECT_EQ(DialogTextFromNodes(text), DialogTextFromNodes(got));
        if (nodes) *nodes = got;
        return *win;
    }

    static AccWindow Win(Child& c, const XWin& w) {
        return {static_cast<std::uint32_t>(c.pid()), w.title, w.x, w.y, w.w, w.h};
    }
    std::vector<AccNode> Snap(Child& c, const XWin& w) { return bridge_->Snapshot(Win(c, w)); }
    bool Press(Child& c, const XWin& w, int id) { return bridge_->PressButton(Win(c, w), {id}) == id; }
    bool Has(Child& c, const XWin& w, int id) { return bridge_->FindButton(Win(c, w), {id}) == id; }
    // As the program presses {Dialog ...}: "OK" falls back to control 2.
    bool PressDialogButton(Child& c, const XWin& w, int id) {
        const int pressed = id == 1 ? bridge_->PressButton(Win(c, w), {1, 2}) : bridge_->PressButton(Win(c, w), {id});
        return pressed != 0;
    }

    static bool HasRole(const std::vector<AccNode>& nodes, const std::string& role) {
        for (auto& n : nodes)
            if (n.role == role) return true;
        return false;
    }
    static std::vector<std::string> Buttons(const std::vector<AccNode>& nodes) {
        std::vector<std::string> out;
        for (auto& n : nodes)
            if (n.role == "push button") out.push_back(n.name);
        return out;
    }

    static std::vector<std::string> Zenity(const std::string& kind, const std::string& title,
                                           const std::string& text) {
        return {"zenity", "--" + kind, "--title=" + title, "--text=" + text, "--no-markup"};
    }

    static AccessibilityBridge* bridge_;
    XDisplay x_;
};

AccessibilityBridge* AtspiE2E::bridge_ = nullptr;

// Text tests as the matcher applies them to a dialog text: the pattern
// matches when it is the start or the end of the text (or the other way).
bool EitherEnd(const std::string& p, const std::string& t) {
    if (p == t) return true;
    if (p.empty() || t.empty()) return false;
    const std::string& s = p.size() <= t.size() ? p : t;
    const std::string& l = p.size() <= t.size() ? t : p;
    return l.compare(0, s.size(), s) == 0 || l.compare(l.size() - s.size(), s.size(), s) == 0;
}

std::string QtDialogPath() {
    const char* p = std::getenv("RW_ATSPI_QT_DIALOG");
    return p ? p : "";
}

std::string LateDialogPath() {
    const char* p = std::getenv("RW_ATSPI_LATE_DIALOG");
    return p ? p : "";
}

// ---- GTK 3 (zenity) -------------------------------------------------------

TEST_F(AtspiE2E, ZenityQuestionTextAndYes) {
    const std::string msg = "Do you want to save the changes to the document?";
    Child z(Zenity("question", "Save changes", msg));
    std::vector<AccNode> nodes;
    XWin w = Await(z, &nodes);
    EXPECT_EQ(DialogTextFromNodes(nodes), msg);
    EXPECT_TRUE(EitherEnd("Do you want", DialogTextFromNodes(nodes)));
    EXPECT_FALSE(EitherEnd("want to save", DialogTextFromNodes(nodes)));
    EXPECT_EQ(Buttons(nodes), (std::vector<std::string>{"No", "Yes"}));
    EXPECT_TRUE(Has(z, w, 6));
    EXPECT_TRUE(Has(z, w, 7));
    EXPECT_FALSE(Has(z, w, 1));
    EXPECT_FALSE(Has(z, w, 2));
    EXPECT_TRUE(Press(z, w, 6));
    EXPECT_EQ(z.WaitExit(5000), std::optional<int>(0));
}

TEST_F(AtspiE2E, ZenityQuestionNo) {
    Child z(Zenity("question", "Overwrite file", "The file exists. Overwrite it?"));
    XWin w = Await(z);
    EXPECT_TRUE(Press(z, w, 7));
    EXPECT_EQ(z.WaitExit(5000), std::optional<int>(1));
}

// Several ids are answered from one walk: the first id in the order given
// that the dialog has a button for, wherever that button sits.
TEST_F(AtspiE2E, FirstButtonInTheOrderGiven) {
    Child z(Zenity("question", "Order", "Which button comes first?"));
    XWin w = Await(z);
    EXPECT_EQ(bridge_->FindButton(Win(z, w), {1, 7, 6}), 7);
    EXPECT_EQ(bridge_->FindButton(Win(z, w), {6, 7}), 6);
    EXPECT_EQ(bridge_->FindButton(Win(z, w), {1, 2}), 0);
    EXPECT_EQ(bridge_->FindButton(Win(z, w), {3, 8}), 0);  // no dialog control ids
    EXPECT_EQ(bridge_->PressButton(Win(z, w), {2, 6, 7}), 6);
    EXPECT_EQ(z.WaitExit(5000), std::optional<int>(0));
}

// The caller's last word before the press: a refusal presses nothing.
TEST_F(AtspiE2E, RefusedPressPressesNothing) {
    Child z(Zenity("question", "Refused", "Shall this be pressed?"));
    XWin w = Await(z);
    int asked = 0;
    EXPECT_EQ(bridge_->PressButton(Win(z, w), {6}, [&] {
        ++asked;
        return false;
    }),
              0);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(z.WaitExit(300), std::nullopt);  // still open
    EXPECT_EQ(bridge_->PressButton(Win(z, w), {6}, [] { return true; }), 6);
    EXPECT_EQ(z.WaitExit(5000), std::optional<int>(0));
}

TEST_F(AtspiE2E, ZenityInfoOk) {
    Child z(Zenity("info", "Done", "The operation has finished."));
    std::vector<AccNode> nodes;
    XWin w = Await(z, &nodes);
    EXPECT_EQ(DialogTextFromNodes(nodes), "The operation has finished.");
    EXPECT_EQ(Buttons(nodes), std::vector<std::string>{"OK"});
    EXPECT_TRUE(PressDialogButton(z, w, 1));
    EXPECT_EQ(z.WaitExit(5000), std::optional<int>(0));
}

TEST_F(AtspiE2E, ZenityGermanButtons) {
    Child z(Zenity("question", "Frage", "Soll die Datei gespeichert werden?"),
            {{"LANG", "C.UTF-8"}, {"LANGUAGE", "de"}});
    std::vector<AccNode> nodes;
    XWin w = Await(z, &nodes);
    EXPECT_EQ(Buttons(nodes), (std::vector<std::string>{"Nein", "Ja"}));
    EXPECT_TRUE(Press(z, w, 7));
    EXPECT_EQ(z.WaitExit(5000), std::optional<int>(1));
}

TEST_F(AtspiE2E, LongMessageIsCutLikeAWindowText) {
    // 300 bytes: "Beginning of the message " + filler with multi-byte characters.
    std::string msg = "Beginning of the message ";
    while (msg.size() < 280) msg += "\xc3\xa4\xe2\x82\xac ";  // "ä€ "
    msg += "end of the message";
    Child z(Zenity("info", "Long", msg));
    std::vector<AccNode> nodes;
    XWin w = Await(z, &nodes);
    const std::string text = DialogTextFromNodes(nodes);
    EXPECT_LE(text.size(), 259u);
    EXPECT_EQ(text, msg.substr(0, text.size()));
    EXPECT_GE(text.size(), 257u);  // cut only to the last whole character
    EXPECT_TRUE(EitherEnd("Beginning of the message", text));
    EXPECT_FALSE(EitherEnd("end of the message", text));
    EXPECT_TRUE(Press(z, w, 1));
    EXPECT_EQ(z.WaitExit(5000), std::optional<int>(0));
}

// The bridge lives as long as the program: a label that changes must be
// read anew, not from what an earlier examination saw.
TEST_F(AtspiE2E, ChangedTextIsReadAnew) {
    Child z({"zenity", "--progress", "--title=Progress", "--text=Preparing the job"}, {}, true);
    std::vector<AccNode> nodes;
    XWin w = Await(z, &nodes);
    EXPECT_EQ(DialogTextFromNodes(nodes), "Preparing the job");
    for (const std::string step : {"Copying the first file", "Copying the second file"}) {
        z.Write("# " + step + "\n");
        std::string text;
        const auto end = Clock::now() + std::chrono::seconds(5);
        while (text != step && Clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            text = DialogTextFromNodes(Snap(z, w));
        }
        EXPECT_EQ(text, step);
    }
    EXPECT_TRUE(PressDialogButton(z, w, 2));
    EXPECT_EQ(z.WaitExit(5000), std::optional<int>(1));
}

// The program reads window titles cut at 259 bytes; such a title still
// finds its window by the start of the accessible name.
TEST_F(AtspiE2E, CutTitleFindsItsWindow) {
    std::string title = "A very long title ";
    while (title.size() < 300) title += "\xc3\xa4\xe2\x82\xac ";
    Child z(Zenity("info", title, "Found by a cut title."));
    XWin w = Await(z);
    ASSERT_EQ(w.title, title);
    XWin cut = w;
    cut.title = rw::atspi::CutText259(w.title);
    ASSERT_LT(cut.title.size(), title.size());
    EXPECT_EQ(DialogTextFromNodes(Snap(z, cut)), "Found by a cut title.");
    // A shorter title was not cut and must match whole (elsewhere on the
    // screen, so that the window is not taken for its place either).
    cut.title.resize(100);
    cut.x += 400;
    EXPECT_TRUE(Snap(z, cut).empty());
    EXPECT_TRUE(Press(z, w, 1));
    EXPECT_EQ(z.WaitExit(5000), std::optional<int>(0));
}

// A toolkit that names its window otherwise than the X title: the one
// window at the place is taken.
TEST_F(AtspiE2E, WindowFoundByPlaceWhenNamesDiffer) {
    Child z(Zenity("info", "Named one way", "Found by its place."));
    XWin w = Await(z);
    XWin renamed = w;
    renamed.title = "Named another way";
    EXPECT_EQ(DialogTextFromNodes(Snap(z, renamed)), "Found by its place.");
    renamed.w = 0;  // no place to go by: nothing
    EXPECT_TRUE(Snap(z, renamed).empty());
    EXPECT_TRUE(Press(z, w, 1));
    EXPECT_EQ(z.WaitExit(5000), std::optional<int>(0));
}

// A list's rows are items, not controls: the table is one node, and a
// dialog with thousands of rows is read and answered like any other.
TEST_F(AtspiE2E, LongListIsOneNode) {
    std::vector<std::string> args = {"zenity", "--list", "--title=Long list",
                                     "--text=Pick one of the rows", "--column=Row"};
    for (int i = 0; i < 3000; ++i) args.push_back("row " + std::to_string(i));
    Child z(args);
    std::vector<AccNode> nodes;
    XWin w = Await(z, &nodes);
    EXPECT_EQ(DialogTextFromNodes(nodes), "Pick one of the rows");
    EXPECT_TRUE(HasRole(nodes, "table"));
    EXPECT_FALSE(HasRole(nodes, "table cell"));
    EXPECT_LT(nodes.size(), 30u);
    EXPECT_TRUE(PressDialogButton(z, w, 1));
    EXPECT_EQ(z.WaitExit(5000), std::optional<int>(0));
}

TEST_F(AtspiE2E, OtherTitleOrProcessFindsNothing) {
    Child z(Zenity("info", "Match me", "Some message text."));
    XWin w = Await(z);
    EXPECT_FALSE(Snap(z, w).empty());
    XWin other = w;
    other.title = "Another title";
    other.x += 400;  // and not where the dialog is
    EXPECT_TRUE(Snap(z, other).empty());
    EXPECT_TRUE(bridge_->Snapshot({static_cast<std::uint32_t>(getpid()), w.title, w.x, w.y, w.w, w.h})
                    .empty());
    EXPECT_FALSE(Press(z, other, 1));
    EXPECT_EQ(z.WaitExit(300), std::nullopt);  // still open
}

// A program that does not publish itself (GTK with NO_AT_BRIDGE=1, as
// programs of toolkits without accessibility): nothing, and at once.
TEST_F(AtspiE2E, ProgramWithoutAccessibilityGivesNothing) {
    Child z(Zenity("question", "Unpublished", "Nobody can read this."), {{"NO_AT_BRIDGE", "1"}});
    auto w = x_.FindByPid(z.pid(), 10000);
    ASSERT_TRUE(w.has_value());
    EXPECT_TRUE(Snap(z, *w).empty());
    EXPECT_FALSE(Has(z, *w, 6));
    EXPECT_FALSE(Press(z, *w, 6));
    EXPECT_EQ(z.WaitExit(300), std::nullopt);
}

// A target that is stopped must neither hang the bridge nor keep it from
// answering the next dialog.
TEST_F(AtspiE2E, StoppedTargetDoesNotBlock) {
    Child stopped(Zenity("question", "Stopped", "This one stops answering."));
    XWin ws = Await(stopped);
    ASSERT_EQ(kill(stopped.pid(), SIGSTOP), 0);

    auto t0 = Clock::now();
    EXPECT_TRUE(Snap(stopped, ws).empty());
    EXPECT_FALSE(Press(stopped, ws, 6));
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0);
    // Two examinations. A hang would cost D-Bus's 25 s each; the bound only
    // tells that from a slow machine (the figure is bench.sh's).
    EXPECT_LT(spent.count(), 20000);

    Child next(Zenity("question", "Next", "Is the next dialog still answered?"));
    std::vector<AccNode> nodes;
    XWin wn = Await(next, &nodes);
    EXPECT_EQ(DialogTextFromNodes(nodes), "Is the next dialog still answered?");
    EXPECT_TRUE(Press(next, wn, 6));
    EXPECT_EQ(next.WaitExit(5000), std::optional<int>(0));

    // Once it runs again it is answered as well.
    kill(stopped.pid(), SIGCONT);
    std::vector<AccNode> again;
    const auto end = Clock::now() + std::chrono::seconds(8);
    while (again.empty() && Clock::now() < end) {
        again = Snap(stopped, ws);
        if (again.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    EXPECT_EQ(DialogTextFromNodes(again), "This one stops answering.");
    EXPECT_TRUE(Press(stopped, ws, 7));
    EXPECT_EQ(stopped.WaitExit(5000), std::optional<int>(1));
}

// A connection on the accessibility bus and the match rules it holds, as
// the bus daemon reports them (its statistics interface).
std::map<std::string, std::vector<std::string>> MatchRulesOfProcess(pid_t pid) {
    std::map<std::string, std::vector<std::string>> out;
    const std::string address = rw::atspi::BusDiscovery().Address(2000);
    if (address.empty()) return out;
    DBusError err;
    dbus_error_init(&err);
    DBusConnection* c = dbus_connection_open_private(address.c_str(), &err);
    if (!c || !dbus_bus_register(c, &err)) {
        dbus_error_free(&err);
        if (c) {
            dbus_connection_close(c);
            dbus_connection_unref(c);
        }
        return out;
    }
    const std::string self = dbus_bus_get_unique_name(c);
    auto reply = rw::atspi::CallMethod(c, DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, "org.freedesktop.DBus.Debug.Stats",
                                     "GetAllMatchRules", nullptr, 5000);
    DBusMessageIter it, dict;
    if (reply && dbus_message_iter_init(reply.get(), &it) &&
        dbus_message_iter_get_arg_type(&it) == DBUS_TYPE_ARRAY) {
        for (dbus_message_iter_recurse(&it, &dict); dbus_message_iter_get_arg_type(&dict) == DBUS_TYPE_DICT_ENTRY;
             dbus_message_iter_next(&dict)) {
            DBusMessageIter entry, rules;
            dbus_message_iter_recurse(&dict, &entry);
            const char* name = nullptr;
            dbus_message_iter_get_basic(&entry, &name);
            if (!name || self == name) continue;
            auto p = rw::atspi::CallMethod(c, DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS,
                                         "GetConnectionUnixProcessID", name, 5000);
            dbus_uint32_t owner = 0;
            if (!p || !dbus_message_get_args(p.get(), nullptr, DBUS_TYPE_UINT32, &owner, DBUS_TYPE_INVALID) ||
                owner != static_cast<dbus_uint32_t>(pid))
                continue;
            std::vector<std::string>& list = out[name];
            dbus_message_iter_next(&entry);
            for (dbus_message_iter_recurse(&entry, &rules); dbus_message_iter_get_arg_type(&rules) == DBUS_TYPE_STRING;
                 dbus_message_iter_next(&rules)) {
                const char* rule = nullptr;
                dbus_message_iter_get_basic(&rules, &rule);
                list.push_back(rule ? rule : "");
            }
        }
    }
    dbus_connection_close(c);
    dbus_connection_unref(c);
    return out;
}

// The bridge only asks: it subscribes to no signal (no cache updates, no
// events of the desktop), so that nothing piles up unread while the
// program waits for the next dialog, and nothing is kept of what arrived.
TEST_F(AtspiE2E, SubscribesToNothing) {
    Child z(Zenity("question", "Subscriptions", "Who listens?"));
    XWin w = Await(z);
    const auto connections = MatchRulesOfProcess(getpid());
    ASSERT_FALSE(connections.empty()) << "the bridge's connection was not found on the bus";
    for (const auto& [name, rules] : connections) {
        std::string all;
        for (const auto& r : rules) all += r + "\n";
        EXPECT_TRUE(rules.empty()) << name << " holds " << rules.size() << " match rules:\n" << all;
    }
    EXPECT_TRUE(Press(z, w, 6));
    EXPECT_EQ(z.WaitExit(5000), std::optional<int>(0));
}

// ---- Qt 6 -----------------------------------------------------------------

TEST_F(AtspiE2E, QtDialogButtons) {
    ASSERT_FALSE(QtDialogPath().empty()) << "RW_ATSPI_QT_DIALOG not set";
    struct Case {
        int id;
        int exitCode;
    };
    for (const Case c : {Case{6, 10}, Case{7, 11}, Case{1, 12}, Case{2, 13}}) {
        SCOPED_TRACE(c.id);
        Child q({QtDialogPath(), "Qt question", "Shall the Qt dialog be answered?"});
        std::vector<AccNode> nodes;
        XWin w = Await(q, &nodes);
        EXPECT_EQ(DialogTextFromNodes(nodes), "Shall the Qt dialog be answered?");
        EXPECT_EQ(Buttons(nodes), (std::vector<std::string>{"Yes", "No", "OK", "Abbrechen"}));
        EXPECT_TRUE(PressDialogButton(q, w, c.id));
        EXPECT_EQ(q.WaitExit(5000), std::optional<int>(c.exitCode));
    }
}

TEST_F(AtspiE2E, QtShortLabelGivesTheNextControl) {
    // A first label of fewer than 4 bytes: the text is the next control's,
    // here the first button's caption.
    Child q({QtDialogPath(), "Qt short", "Id:", "NA"});
    std::vector<AccNode> nodes;
    XWin w = Await(q, &nodes);
    EXPECT_EQ(DialogTextFromNodes(nodes), "No");
    const auto text = bridge_->TextNodes(Win(q, w));
    ASSERT_EQ(text.size(), 2u);
    EXPECT_EQ(text[1], (AccNode{"push button", "No"}));
}

TEST_F(AtspiE2E, QtMessageBox) {
    ASSERT_FALSE(QtDialogPath().empty()) << "RW_ATSPI_QT_DIALOG not set";
    // A standard question box: icon, message, Yes/No/Cancel; {Dialog OK}
    // finds no OK and falls back to Cancel.
    Child q({QtDialogPath(), "Qt box", "Do you want to save the changes?", "msgbox"});
    std::vector<AccNode> nodes;
    XWin w = Await(q, &nodes);
    EXPECT_EQ(DialogTextFromNodes(nodes), "Do you want to save the changes?");
    EXPECT_EQ(Buttons(nodes), (std::vector<std::string>{"Yes", "No", "Cancel"}));
    EXPECT_FALSE(Has(q, w, 1));
    EXPECT_TRUE(PressDialogButton(q, w, 1));
    EXPECT_EQ(q.WaitExit(5000), std::optional<int>(13));
}

TEST_F(AtspiE2E, SameTitleToldApartByPlace) {
    Child q({QtDialogPath(), "Twins", "", "twins"});
    ASSERT_TRUE(x_.FindByPid(q.pid(), 10000, 2).has_value());
    auto wins = x_.AllOfPid(q.pid());
    ASSERT_EQ(wins.size(), 2u);
    std::sort(wins.begin(), wins.end(), [](const XWin& a, const XWin& b) { return a.x < b.x; });
    std::vector<AccNode> left;
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (left.empty() && Clock::now() < end) left = Snap(q, wins[0]);
    EXPECT_EQ(DialogTextFromNodes(left), "The left twin");
    EXPECT_EQ(DialogTextFromNodes(Snap(q, wins[1])), "The right twin");
    EXPECT_TRUE(Press(q, wins[1], 6));
    EXPECT_EQ(q.WaitExit(5000), std::optional<int>(21));
}

TEST_F(AtspiE2E, QtMessageBoxOwnedByAMainWindow) {
    Child q({QtDialogPath(), "Owned question", "Save the document?", "child"});
    std::optional<XWin> box;
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (!box && Clock::now() < end) {
        for (const XWin& w : x_.AllOfPid(q.pid()))
            if (w.title == "Owned question") box = w;
        if (!box) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(box.has_value());
    std::string text;
    while (text.empty() && Clock::now() < end + std::chrono::seconds(5))
        text = DialogTextFromNodes(Snap(q, *box));
    EXPECT_EQ(text, "Save the document?");
    EXPECT_TRUE(Press(q, *box, 7));
    EXPECT_EQ(q.WaitExit(5000), std::optional<int>(11));
}

TEST_F(AtspiE2E, QtPressThatOpensAModalBox) {
    Child q({QtDialogPath(), "First box", "Save now?", "chain"});
    XWin first = Await(q);
    // Acknowledged at once, not when the second box's modal loop ends (the
    // call would time out and the program be taken for hung).
    EXPECT_TRUE(Press(q, first, 6));
    std::optional<XWin> second;
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (!second && Clock::now() < end) {
        for (const XWin& w : x_.AllOfPid(q.pid()))
            if (w.title == "Second box") second = w;
        if (!second) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(second.has_value());
    std::string text;
    while (text.empty() && Clock::now() < end) text = DialogTextFromNodes(Snap(q, *second));
    EXPECT_EQ(text, "Saved.");
    EXPECT_TRUE(Press(q, *second, 1));
    EXPECT_EQ(q.WaitExit(5000), std::optional<int>(30));
}

// ---- The X11 platform's dialogs, as the program's logic uses them ---------

class PlatformDialogs : public AtspiE2E {
protected:
    void SetUp() override {
        AtspiE2E::SetUp();
        ASSERT_TRUE(platform_.Ok()) << "no X display for the platform";
    }
    static rw::WinHandle Handle(const XWin& w) { return static_cast<rw::WinHandle>(w.id); }

    rw::x11::X11WindowSystem platform_{nullptr, 0, nullptr};
};

TEST_F(PlatformDialogs, ZenityTextAndButtons) {
    Child z(Zenity("question", "Platform", "Do you want to save the changes?"));
    const rw::WinHandle w = Handle(Await(z));
    EXPECT_EQ(platform_.Roles().dialogs.GetDialogText(w), "Do you want to save the changes?");
    EXPECT_EQ(platform_.Roles().dialogs.PressDialogButton(w, {1, 2}), 0);  // neither OK nor Cancel
    EXPECT_EQ(z.WaitExit(300), std::nullopt);
    EXPECT_EQ(platform_.Roles().dialogs.PressDialogButton(w, {1, 6, 7}), 6);
    EXPECT_EQ(z.WaitExit(5000), std::optional<int>(0));
}

TEST_F(PlatformDialogs, OkFallsBackToCancel) {
    Child z({"zenity", "--entry", "--title=Platform entry", "--text=Name of the new folder"});
    const rw::WinHandle w = Handle(Await(z));
    EXPECT_EQ(platform_.Roles().dialogs.GetDialogText(w), "Name of the new folder");
    EXPECT_EQ(platform_.Roles().dialogs.PressDialogButton(w, {1, 2}), 1);  // zenity --entry has OK and Cancel
    EXPECT_EQ(z.WaitExit(5000), std::optional<int>(0));

    Child q({QtDialogPath(), "Qt platform", "Qt text", "NA"});  // No and Abbrechen only
    const rw::WinHandle wq = Handle(Await(q));
    EXPECT_EQ(platform_.Roles().dialogs.GetDialogText(wq), "Qt text");
    EXPECT_EQ(platform_.Roles().dialogs.PressDialogButton(wq, {1, 2}), 2);
    EXPECT_EQ(q.WaitExit(5000), std::optional<int>(13));
}

TEST_F(PlatformDialogs, NoWindowNoDialog) {
    EXPECT_EQ(platform_.Roles().dialogs.GetDialogText(0), "");
    EXPECT_EQ(platform_.Roles().dialogs.PressDialogButton(0, {1, 2}), 0);
    EXPECT_EQ(platform_.Roles().dialogs.GetDialogText(0x123456), "");  // no such window
    EXPECT_EQ(platform_.Roles().dialogs.PressDialogButton(0x123456, {1, 2}), 0);

    std::optional<Child> z(std::in_place, Zenity("info", "Gone", "This window goes away."));
    const rw::WinHandle w = Handle(Await(*z));
    EXPECT_EQ(platform_.Roles().dialogs.GetDialogText(w), "This window goes away.");
    z.reset();  // killed, and its window with it
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (platform_.Roles().windows.GetWindowProcessId(w) != 0 && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(platform_.Roles().dialogs.GetDialogText(w), "");
    EXPECT_EQ(platform_.Roles().dialogs.PressDialogButton(w, {1}), 0);
}

// Toolkits register their application with the accessibility registry a
// moment after they start, and the dialog can be in front before that:
// "not registered yet" is not "no text". The dialog here registers only
// when told, shortly after its text was asked for.
TEST_F(PlatformDialogs, TextOfADialogWhoseProgramRegistersLate) {
    ASSERT_FALSE(LateDialogPath().empty()) << "RW_ATSPI_LATE_DIALOG not set";
    Child d({"/usr/bin/python3", LateDialogPath(), "Late registration", "Was this read after all?"});
    auto w = x_.FindByPid(d.pid(), 10000);
    ASSERT_TRUE(w.has_value());
    EXPECT_TRUE(bridge_->NotReadyYet(Win(d, *w)));
    std::thread registers([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        kill(d.pid(), SIGUSR1);
    });
    const auto t0 = Clock::now();
    const std::string text = platform_.Roles().dialogs.GetDialogText(Handle(*w));
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0);
    registers.join();
    EXPECT_EQ(text, "Was this read after all?") << "after " << spent.count() << " ms";
    EXPECT_FALSE(bridge_->NotReadyYet(Win(d, *w)));
    EXPECT_EQ(platform_.Roles().dialogs.PressDialogButton(Handle(*w), {6}), 6);
    EXPECT_EQ(d.WaitExit(5000), std::optional<int>(10));
}

// A program that never registers is waited for once, not at every look:
// its next window is read at once, and still as nothing.
TEST_F(PlatformDialogs, ProgramThatNeverRegisters) {
    Child z(Zenity("question", "Never registers", "Nobody can read this."), {{"NO_AT_BRIDGE", "1"}});
    auto w = x_.FindByPid(z.pid(), 10000);
    ASSERT_TRUE(w.has_value());
    EXPECT_EQ(platform_.Roles().dialogs.GetDialogText(Handle(*w)), "");
    EXPECT_EQ(platform_.Roles().dialogs.GetDialogText(Handle(*w)), "");
    EXPECT_EQ(z.WaitExit(300), std::nullopt);
}

// ---- GTK 4 ----------------------------------------------------------------

TEST_F(AtspiE2E, Gtk4WindowButtons) {
    const char* script = std::getenv("RW_ATSPI_GTK4_DIALOG");
    ASSERT_NE(script, nullptr) << "RW_ATSPI_GTK4_DIALOG not set";
    struct Case {
        int id;
        int exitCode;
    };
    for (const Case c : {Case{6, 10}, Case{1, 12}}) {
        SCOPED_TRACE(c.id);
        Child g({"/usr/bin/python3", script, "GTK 4 question", "Shall the GTK 4 dialog be answered?"});
        std::vector<AccNode> nodes;
        XWin w = Await(g, &nodes);
        EXPECT_EQ(DialogTextFromNodes(nodes), "Shall the GTK 4 dialog be answered?");
        // The buttons' inner labels are part of the buttons, not nodes of their own.
        std::size_t labels = 0;
        for (auto& n : nodes) labels += n.role == "label";
        EXPECT_EQ(labels, 1u);
        EXPECT_EQ(Buttons(nodes).size(), 3u);
        EXPECT_TRUE(PressDialogButton(g, w, c.id));
        EXPECT_EQ(g.WaitExit(5000), std::optional<int>(c.exitCode));
    }
}

// ---- The accessibility bus ends -----------------------------------------

// The bus ends here: each test asks for it itself.
class ZzAtspiE2E : public AtspiE2E {
protected:
    void SetUp() override { ASSERT_NE(x_.get(), nullptr) << "no X display"; }
};

// Whether a name has an owner on the session bus (asked without starting
// anything by D-Bus activation).
bool SessionNameHasOwner(const char* name) {
    DBusError err;
    dbus_error_init(&err);
    DBusConnection* session = dbus_bus_get(DBUS_BUS_SESSION, &err);
    dbus_error_free(&err);
    if (!session) return false;
    dbus_connection_set_exit_on_disconnect(session, FALSE);
    auto reply = rw::atspi::CallMethod(session, DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "NameHasOwner",
                                     name, 2000);
    dbus_bool_t has = FALSE;
    const bool ok = reply && dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_BOOLEAN, &has, DBUS_TYPE_INVALID);
    dbus_connection_unref(session);
    return ok && has;
}

// Runs last (gtest runs suites in the order they appear): it ends the
// harness's accessibility bus. A bridge whose bus is
// gone answers nothing, quickly, and does not crash; the dialogs themselves
// keep working.
TEST_F(ZzAtspiE2E, BusLost) {
    ASSERT_TRUE(bridge_->BusAvailable()) << "no accessibility bus";
    const char* launcher = std::getenv("RW_ATSPI_LAUNCHER_PID");
    ASSERT_NE(launcher, nullptr) << "RW_ATSPI_LAUNCHER_PID not set";
    Child before(Zenity("info", "Before", "Seen before the bus ends."));
    XWin wb = Await(before);
    ASSERT_EQ(kill(static_cast<pid_t>(std::atoi(launcher)), SIGTERM), 0);
    // Until the bus has really gone.
    const auto gone = Clock::now() + std::chrono::seconds(10);
    while (SessionNameHasOwner("org.a11y.Bus") && Clock::now() < gone)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_FALSE(SessionNameHasOwner("org.a11y.Bus")) << "the bus launcher did not end";

    const auto t0 = Clock::now();
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(Snap(before, wb).empty());
        EXPECT_FALSE(Press(before, wb, 1));
    }
    // A hang would cost seconds per call; the bound only tells that from a
    // slow machine.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count(),
              20000);
    EXPECT_EQ(before.WaitExit(200), std::nullopt);  // not pressed, still open
}

// After the bus went away (the test above), a new accessibility bus of the
// session is joined again: the bridge does not stay blind for the rest of
// the program's life.
TEST_F(ZzAtspiE2E, NewBusIsJoined) {
    // The new bus launcher, as the harness starts one; a program of the
    // session started after it publishes itself there.
    Child launcher({"/usr/libexec/at-spi-bus-launcher", "--launch-immediately", "--a11y=1"});
    auto end = Clock::now() + std::chrono::seconds(10);
    while (!SessionNameHasOwner("org.a11y.Bus") && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(SessionNameHasOwner("org.a11y.Bus")) << "the new bus launcher did not start";
    Child z(Zenity("question", "New bus", "Is the new bus used?"));
    auto w = x_.FindByPid(z.pid(), 10000);
    ASSERT_TRUE(w.has_value());
    // The bridge looks for a bus again every few seconds.
    std::string text;
    end = Clock::now() + std::chrono::seconds(20);
    while (text.empty() && Clock::now() < end) {
        text = DialogTextFromNodes(Snap(z, *w));
        if (text.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    EXPECT_EQ(text, "Is the new bus used?");
    EXPECT_TRUE(Press(z, *w, 6));
    EXPECT_EQ(z.WaitExit(5000), std::optional<int>(0));
    // The launcher ends its bus when it is asked to end.
    kill(launcher.pid(), SIGTERM);
    launcher.WaitExit(5000);
}

// ---- Without any bus ------------------------------------------------------

TEST(NoBus, EmptyAndQuick) {
    AccessibilityBridge bridge;
    const auto t0 = Clock::now();
    EXPECT_FALSE(bridge.BusAvailable());
    for (int i = 0; i < 20; ++i) {
        EXPECT_TRUE(bridge.Snapshot({1, "Title", 0, 0, 100, 100}).empty());
        EXPECT_EQ(bridge.FindButton({1, "Title", 0, 0, 100, 100}, {1}), 0);
        EXPECT_EQ(bridge.PressButton({1, "Title", 0, 0, 100, 100}, {6}), 0);
    }
    // Sixty calls; each would wait for a bus if it did not answer at once.
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0);
    EXPECT_LT(spent.count(), 20000);
}

}  // namespace

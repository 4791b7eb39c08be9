// The Linux program: a window system, the watcher and a Qt tray icon.
//
// One process per user and display. The watcher runs on the Qt event loop
// of the one thread: the window system's events are its shell
// notifications, a QTimer is its polling timer, and the tray icon's clicks
// are its icon notifications. The window system is picked at start (see
// PickWindowSystem): X11 or Wayland.

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QUrl>
#include <QIcon>
#include <QMenu>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "actions/KeyTable.h"
#include "actions/Strings.h"
#include "actions/Pause.h"
#include "actions/WinServices.h"
#include "app/Startup.h"
#include "app/Watcher.h"
#include "backends/linux/LinuxUtil.h"
#include "backends/linux/ControlSocket.h"
#include "backends/linux/InstanceLock.h"
#include "backends/linux/WindowSystem.h"
#include "backends/qt/CommandLine.h"
#include "backends/qt/Diagnose.h"
#include "backends/qt/WindowSystemPick.h"
#include "backends/qt/ui/AboutWindow.h"
#include "backends/qt/ui/ItemEditorWindow.h"
#include "backends/qt/ui/ItemListWindow.h"
#include "backends/wayland/WaylandWindowSystem.h"
#include "backends/x11/X11WindowSystem.h"
#include "items/Settings.h"
#include "ui/SettingsServices.h"

namespace {

using rw::qtapp::Pick;
using rw::qtapp::PickWindowSystem;
using rw::qtapp::Set;

int gSignalPipe[2] = {-1, -1};

// The trace lines' tag: the window system in use.
const char* gTag = "x11";

// Set while the items live and have not been written at the end yet. When
// the X server goes away (the session ends by stopping it), Xlib and Qt end
// the process through exit(), past our event loop; the items are written
// then all the same.
bool gItemsUnsaved = false;

void SaveAtExit() {
    if (!gItemsUnsaved) return;
    gItemsUnsaved = false;
    (void)rw::SaveConfirmedSettings();
}

void OnSignal(int sig) {
    // A macro that waits notices this within a pause slice and stops; the
    // program then ends from its event loop.
    rw::RequestStop();
    const char c = static_cast<char>(sig);
    // Nothing else is safe here; the event loop reads the byte.
    ssize_t ignored = write(gSignalPipe[1], &c, 1);
    (void)ignored;
}

// The settings file of a program installed where the user cannot write
// lives in a folder of its own under the user's configuration directory.
void EnsureSettingsDir(const std::string& iniPath) {
    auto slash = iniPath.rfind('/');
    if (slash == std::string::npos || slash == 0) return;
    std::string dir = iniPath.substr(0, slash);
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0) return;
    std::string parent = dir.substr(0, dir.rfind('/'));
    if (!parent.empty() && stat(parent.c_str(), &st) != 0) mkdir(parent.c_str(), 0700);
    mkdir(dir.c_str(), 0700);
}

class TrayHost final : public rw::WatcherHost {
public:
    TrayHost() : on_(LoadIcon("OKon")), off_(LoadIcon("OKoff")) {
        poll_.setInterval(500);
    }

    rw::Watcher* watcher = nullptr;
    std::function<void()> onClose;

    QSystemTrayIcon& Tray() { return tray_; }
    QTimer& PollTimer() { return poll_; }

    bool trace = false;

    void TrayIconAdd(Icon icon, const std::string& tip) override {
        Trace("add", icon, tip);
        tray_.setIcon(icon == Icon::On ? on_ : off_);
        tray_.setToolTip(QString::fromStdString(tip));
        tray_.show();
    }
    void TrayIconModify(Icon icon, const std::string& tip) override {
        Trace("modify", icon, tip);
        tray_.setIcon(icon == Icon::On ? on_ : off_);
        tray_.setToolTip(QString::fromStdString(tip));
    }
    void TrayIconDelete() override {
        if (trace) std::fprintf(stderr, "%s: tray icon delete\n", gTag);
        tray_.hide();
    }
    void EnablePollTimer(bool on) override {
        if (on) {
            poll_.start();
        } else {
            poll_.stop();
        }
    }
    void ShowPopupMenu() override {
        rw::MenuCaptions caps = rw::GetMenuCaptions(rw::App.UseEnglish);
        QMenu menu;
        QAction* about = menu.addAction(QString::fromStdString(caps.about));
        QAction* settings = menu.addAction(QString::fromStdString(caps.settings));
        menu.addSeparator();
        QAction* active = menu.addAction(QString::fromStdString(caps.active));
        active->setCheckable(true);
        active->setChecked(watcher != nullptr && watcher->Active());
        menu.addSeparator();
        QAction* closeAction = menu.addAction(QString::fromStdString(caps.close));
        QAction* chosen = menu.exec(QCursor::pos());
        if (chosen == active && watcher != nullptr) {
            watcher->ToggleActive();
        } else if (chosen == closeAction && onClose) {
            // We are inside the tray icon's own mouse handler: closing removes
            // that icon, so it happens once the handler has returned.
            QTimer::singleShot(0, onClose);
        } else if (chosen == about) {
            ShowAbout();
        } else if (chosen == settings && watcher != nullptr) {
            watcher->ShowList([this] { ShowItemList(); });
        }
    }

    // The settings windows, modal, while the menu's hold on the watcher
    // lasts (they run inside ShowPopupMenu).
    void ShowItemList() {
        rw::SystemWindowFacts facts;
        rw::qtui::ItemListWindow window(rw::gItems, rw::CurItem, rw::ProgramItemListServices(rw::gItems),
                                        [&facts](QWidget* owner, const std::string& caption) {
            rw::qtui::ItemEditorWindow editor(owner, caption, rw::CurItem, rw::KeyNames, facts,
                                               rw::ItemEditorTextsFor(rw::App.UseEnglish));
            editor.exec();
        });
        if (trace) std::fprintf(stderr, "%s: item list window open\n", gTag);
        window.exec();
        if (trace) std::fprintf(stderr, "%s: item list window closed\n", gTag);
    }

    void ShowAbout() {
        rw::qtui::AboutWindow window(nullptr, rw::ProgramAboutServices([](const std::string& url) {
                                         QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
                                     }));
        if (trace) std::fprintf(stderr, "x11: about window open\n");
        window.exec();
        if (trace) std::fprintf(stderr, "x11: about window closed\n");
    }

private:
    void Trace(const char* what, Icon icon, const std::string& tip) const {
        if (trace)
            std::fprintf(stderr, "%s: tray icon %s %s '%s'\n", gTag, what, icon == Icon::On ? "on" : "off", tip.c_str());
    }

    static QIcon LoadIcon(const char* name) {
        QIcon icon;
        icon.addFile(QString(":/icons/%1-16.png").arg(name), QSize(16, 16));
        icon.addFile(QString(":/icons/%1-32.png").arg(name), QSize(32, 32));
        return icon;
    }

    QIcon on_, off_;
    QSystemTrayIcon tray_;
    QTimer poll_;
};

// The window system of this session; nullptr (with a message) when there
// is none the program can work with.
std::unique_ptr<rw::lnx::WindowSystem> OpenWindowSystem(Pick pick, int argc, char** argv) {
    if (pick != Pick::X11) {
        auto wayland = std::make_unique<rw::wl::WaylandWindowSystem>(nullptr, argc, argv);
        if (wayland->Ok()) {
            gTag = "wayland";
            if (Set("RW_X11_TRACE"))
                std::fprintf(stderr, "wayland: windows by %s, keys by %s\n", wayland->WindowsWay().c_str(),
                             wayland->KeysWay().c_str());
            // Qt's own windows (the settings) as Wayland clients, through
            // XWayland where Qt lacks its Wayland plugin.
            if (!Set("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", Set("DISPLAY") ? "wayland;xcb" : "wayland");
            return wayland;
        }
        if (pick == Pick::Wayland || !Set("DISPLAY")) {
            std::fprintf(stderr, "replywick: Wayland: %s\n", wayland->Problem());
            return nullptr;
        }
    }
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        std::fputs("replywick: no X display (DISPLAY is not set)\n", stderr);
        return nullptr;
    }
    auto x11 = std::make_unique<rw::x11::X11WindowSystem>(nullptr, argc, argv);
    if (!x11->Ok()) {
        std::fprintf(stderr, "replywick: cannot open the X display %s\n", display);
        return nullptr;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    return x11;
}

// RW_X11_TRACE=1 traces the triggers of the window system and the tray
// icon on standard error, apart from the debug lines of "/d".
void TraceKeyTable() {
    std::string names;
    for (std::size_t i = 0; i < rw::KeyNames.size(); ++i) {
        char code[8];
        std::snprintf(code, sizeof code, "%X", static_cast<unsigned>(rw::KeyCodes[i]) & 0xFFFFu);
        names += (i ? " | " : "") + rw::KeyNames[i] + "=" + code;
    }
    std::fprintf(stderr, "%s: key table (%zu): %s\n", gTag, rw::KeyNames.size(), names.c_str());
}

// ---- A way in without a tray ----------------------------------------------
//
// "replywick --settings" and "replywick --about" open that window of the
// running program; with none running, Replywick starts and opens it. The
// request travels through the program's control socket (ControlSocket.h),
// which only the same user can reach.

// The window asked for on the command line: "settings", "about" or none.
std::string WindowRequestOf(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == nullptr) continue;
        if (std::strcmp(argv[i], "--settings") == 0) return "settings";
        if (std::strcmp(argv[i], "--about") == 0) return "about";
    }
    return {};
}

// Another instance holds the lock: the request goes to it. It may still be
// starting, so its socket gets a few seconds to appear.
int HandOverWindowRequest(const char* display, const std::string& request) {
    const std::string path = rw::lnx::ControlSocketPath(display);
    for (int i = 0; i < 100; ++i) {
        switch (rw::lnx::SendControlRequest(path, request)) {
            case rw::lnx::SendResult::Delivered:
                return 0;
            case rw::lnx::SendResult::NoAnswer:
                std::fputs("replywick: the running Replywick did not answer\n", stderr);
                return 1;
            case rw::lnx::SendResult::NoProgram:
                break;
        }
        usleep(100 * 1000);
    }
    std::fputs("replywick: another Replywick runs for this display but cannot be reached\n", stderr);
    return 1;
}

// Told once, when no tray host is there: how to reach the settings.
struct NoTrayNotice {
    std::string summary;
    std::string body;
};
NoTrayNotice NoTrayNoticeFor(bool english) {
    if (english)
        return {"Replywick is running",
                "This desktop has no notification area, so Replywick shows no icon. Open its settings with "
                "\"Replywick Settings\" in the applications menu, or with the command: replywick --settings"};
    return {"Replywick läuft",
            "Dieser Desktop hat keinen Infobereich, daher zeigt Replywick kein Symbol. Die Einstellungen öffnet "
            "\"Replywick-Einstellungen\" im Anwendungsmenü oder der Befehl: replywick --settings"};
}

// A desktop notification, when a notification service runs; false when
// there is none.
bool ShowDesktopNotification(const NoTrayNotice& notice) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr ||
        !bus.interface()->isServiceRegistered("org.freedesktop.Notifications").value())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.Notifications",
                                                       "/org/freedesktop/Notifications",
                                                       "org.freedesktop.Notifications", "Notify");
    call << QStringLiteral("Replywick") << 0u << QStringLiteral("replywick") << QString::fromStdString(notice.summary)
         << QString::fromStdString(notice.body) << QStringList() << QVariantMap() << -1;
    // Not waited for: a notification service that hangs must not hold up
    // the watcher.
    bus.asyncCall(call, 5000);
    return true;
}

// The running program: the watcher on the window system's events, the tray
// icon, and one way to end.
class Program {
public:
    Program(rw::lnx::WindowSystem& ws, bool trace) : ws_(ws), trace_(trace), watcher_(host_) {
        host_.watcher = &watcher_;
        host_.trace = trace;
        host_.onClose = [this] { Close(); };
    }

    // The window system's events drive the watcher.
    void ConnectWindowSystem() {
        ws_.events.onShellHook = [this](std::uint32_t code, rw::WinHandle w) {
            if (trace_) std::fprintf(stderr, "%s: shell notification %u 0x%x\n", gTag, code, w);
            if (!closed_) watcher_.OnShellHook(code, w);
        };
        ws_.events.onExternalNotify = [this](std::int32_t x, std::int32_t y) {
            if (trace_) std::fprintf(stderr, "%s: external notification x=%d y=%d\n", gTag, x, y);
            if (!closed_) watcher_.OnExternalNotify(x, y);
        };
        ws_.events.onClientGone = [this](rw::WinHandle w) {
            if (trace_) std::fprintf(stderr, "%s: client gone 0x%x\n", gTag, w);
            // The next window may get the same handle: it must count as new.
            if (!closed_) watcher_.ForgetWindow(w);
        };
        // Qt embeds its icon in a tray host that starts later by itself; the
        // watcher then shows the active icon again, as after a shell restart.
        ws_.events.onTrayHostStarted = [this] {
            if (trace_) std::fprintf(stderr, "%s: tray host started\n", gTag);
            if (!closed_) QTimer::singleShot(0, [this] { watcher_.OnTaskbarCreated(); });
        };

        // Events of the window system's connection: a readable descriptor,
        // and events already read into a queue while the watcher made
        // requests.
        notifier_ = std::make_unique<QSocketNotifier>(ws_.EventFd(), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { ws_.DispatchEvents(); });
        dispatchSoon_.setSingleShot(true);
        dispatchSoon_.setInterval(0);
        QObject::connect(&dispatchSoon_, &QTimer::timeout, [this] { ws_.DispatchEvents(); });
        // Keys lent for characters go back once a macro has ended.
        restoreKeys_.setSingleShot(true);
        restoreKeys_.setInterval(100);
        QObject::connect(&restoreKeys_, &QTimer::timeout, [this] {
            if (!ws_.RestoreSpareKeys(false)) restoreKeys_.start();
        });
        QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, [this] {
            if (ws_.HasQueuedEvents() && !dispatchSoon_.isActive()) dispatchSoon_.start();
            if (ws_.SpareKeysLent() && !restoreKeys_.isActive()) restoreKeys_.start();
        });
    }

    // The polling timer and the tray icon's clicks.
    void ConnectTray() {
        QObject::connect(&host_.PollTimer(), &QTimer::timeout, [this] {
            if (!closed_) watcher_.OnPollTimer();
        });
        QObject::connect(&host_.Tray(), &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason reason) {
            if (closed_) return;
            if (reason == QSystemTrayIcon::Trigger) watcher_.OnIconNotification(rw::msg::LButtonDown);
            if (reason == QSystemTrayIcon::Context) watcher_.OnIconNotification(rw::msg::RButtonDown);
        });
    }

    // SIGTERM, SIGINT and SIGHUP, and the session's end, close the program
    // as the Close entry does.
    void ConnectEndings(QApplication& app) {
        if (pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
            struct sigaction sa {};
            sa.sa_handler = OnSignal;
            sigemptyset(&sa.sa_mask);
            sa.sa_flags = SA_RESTART;
            sigaction(SIGTERM, &sa, nullptr);
            sigaction(SIGINT, &sa, nullptr);
            sigaction(SIGHUP, &sa, nullptr);
        }
        signals_ = std::make_unique<QSocketNotifier>(gSignalPipe[0], QSocketNotifier::Read);
        QObject::connect(signals_.get(), &QSocketNotifier::activated, [this] {
            char buf[16];
            while (read(gSignalPipe[0], buf, sizeof buf) > 0) {
            }
            Close();
        });
        QObject::connect(&app, &QGuiApplication::commitDataRequest, [this](QSessionManager&) { Close(); });
        QObject::connect(&app, &QCoreApplication::aboutToQuit, [this] { Close(); });
    }

    void Start() {
        // During an item's delay and a macro's pauses the program goes on
        // serving its events: a signal, the session's end or a click on the
        // icon stops the macro, and is carried out once it has stopped.
        rw::SetPauseService([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
        watcher_.Create();
        gItemsUnsaved = true;
        std::atexit(SaveAtExit);
        ws_.DispatchEvents();
    }

    void Close() {
        if (closed_) return;
        if (watcher_.Examining()) {
            // Called from inside a macro's pause: the macro stops first, and
            // the end follows from the event loop.
            rw::RequestStop();
            QTimer::singleShot(0, [this] { Close(); });
            return;
        }
        if (watcher_.PopupMenuOpen()) {
            // We are inside the tray icon's own handler (its menu, or a window
            // opened from it): removing the icon now would pull it from under
            // Qt. The open windows close as by Cancel, every event loop ends,
            // and the end runs once the handler has returned.
            QApplication::closeAllWindows();
            QApplication::quit();
            return;
        }
        closed_ = true;
        rw::SetPauseService({});
        host_.PollTimer().stop();
        gItemsUnsaved = false;
        watcher_.Close();
        ws_.RestoreSpareKeys(true);
        QApplication::quit();
    }

    // The control socket: requests of later starts ("--settings").
    void ListenForRequests(const char* display) {
        if (!control_.Listen(rw::lnx::ControlSocketPath(display))) {
            if (trace_) std::fprintf(stderr, "x11: no control socket\n");
            return;
        }
        requests_ = std::make_unique<QSocketNotifier>(control_.Fd(), QSocketNotifier::Read);
        QObject::connect(requests_.get(), &QSocketNotifier::activated, [this] {
            while (auto request = control_.Accept()) {
                if (trace_) std::fprintf(stderr, "x11: request '%s'\n", request->c_str());
                // Opened from the event loop, not from inside the notifier.
                const std::string r = *request;
                QTimer::singleShot(0, [this, r] { OpenRequested(r); });
            }
        });
    }

    // Settings or About, as the tray menu would open them. While one of our
    // windows is up already, it comes to the front instead; while a macro
    // plays, the window waits for its end.
    void OpenRequested(const std::string& request) {
        if (closed_ || (request != "settings" && request != "about")) return;
        const bool shown = watcher_.ShowFromOutside([this, &request] {
            if (request == "settings") {
                watcher_.ShowList([this] { host_.ShowItemList(); });
            } else {
                host_.ShowAbout();
            }
        });
        if (shown) return;
        if (watcher_.PopupMenuOpen()) {
            if (QWidget* w = QApplication::activeModalWidget()) {
                w->raise();
                w->activateWindow();
            }
            return;
        }
        QTimer::singleShot(200, [this, request] { OpenRequested(request); });
    }

    // Without a tray host the icon cannot be seen: the user is told once
    // how to reach the settings, and on the very first start (no settings
    // file yet) the list window opens itself. A tray host that comes later
    // gets the icon as usual. Checked after a moment, as a desktop session
    // may start its tray host after its autostart programs.
    void TellIfNoTray(bool firstStart, bool windowAsked) {
        QTimer::singleShot(3000, [this, firstStart, windowAsked] {
            if (closed_ || QSystemTrayIcon::isSystemTrayAvailable()) return;
            const NoTrayNotice notice = NoTrayNoticeFor(rw::App.UseEnglish);
            std::fprintf(stderr, "replywick: %s\n", notice.body.c_str());
            const bool notified = ShowDesktopNotification(notice);
            if (trace_) std::fprintf(stderr, "x11: no tray host, told%s\n", notified ? " by a notification" : "");
            if (firstStart && !windowAsked) OpenRequested("settings");
        });
    }

private:
    rw::lnx::WindowSystem& ws_;
    const bool trace_;
    TrayHost host_;
    rw::Watcher watcher_;
    bool closed_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::unique_ptr<QSocketNotifier> signals_;
    QTimer dispatchSoon_;
    QTimer restoreKeys_;
    rw::lnx::ControlServer control_;
    std::unique_ptr<QSocketNotifier> requests_;
};

}  // namespace

int main(int argc, char** argv) {
    if (const int rc = rw::qtapp::HandleInfoOptions(argc, argv); rc >= 0) return rc;
    if (rw::qtapp::WantsDiagnosis(argc, argv)) return rw::qtapp::RunDiagnosis(argc, argv);
    // The command line as given, before Qt takes its own options out.
    std::vector<std::string> args(argv, argv + argc);
    std::vector<char*> argvCopy;
    for (auto& a : args) argvCopy.push_back(a.data());

    // One instance per user and display: the X display, or the Wayland
    // socket (a name space of its own).
    const Pick pick = PickWindowSystem();
    std::string seat;
    if (pick != Pick::X11 && Set("WAYLAND_DISPLAY")) seat = std::string("wayland-") + std::getenv("WAYLAND_DISPLAY");
    if (seat.empty() && Set("DISPLAY")) seat = std::getenv("DISPLAY");
    if (seat.empty()) {
        std::fputs("replywick: no X display (DISPLAY is not set) and no Wayland display\n", stderr);
        return 1;
    }
    const std::string windowRequest = WindowRequestOf(argc, argv);
    // A second instance ends at once, silently, unless it was asked for a
    // window of the running one.
    if (!rw::lnx::TakeInstanceLock(seat.c_str()))
        return windowRequest.empty() ? 0 : HandOverWindowRequest(seat.c_str(), windowRequest);

    std::unique_ptr<rw::lnx::WindowSystem> ws = OpenWindowSystem(pick, argc, argvCopy.data());
    if (!ws) return 1;

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName("Replywick");

    rw::SetPlatform(&ws->Roles());
    rw::InitApp();
    EnsureSettingsDir(rw::App.IniPath);
    rw::gMainWindow = ws->CreateMainWindow();

    const bool trace = std::getenv("RW_X11_TRACE") != nullptr;
    if (trace) TraceKeyTable();

    const bool firstStart = !rw::FileExists(rw::App.IniPath, std::string());
    Program program(*ws, trace);
    program.ConnectWindowSystem();
    program.ConnectTray();
    program.ConnectEndings(app);
    program.Start();
    program.ListenForRequests(seat.c_str());
    if (!windowRequest.empty()) QTimer::singleShot(0, [&program, windowRequest] { program.OpenRequested(windowRequest); });
    program.TellIfNoTray(firstStart, !windowRequest.empty());
    const int rc = QApplication::exec();
    program.Close();
    rw::SetPlatform(nullptr);
    return rc;
}

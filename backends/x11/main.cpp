// The Linux program: the X11 platform, the watcher and a Qt tray icon.
//
// One process per user and X display. The watcher runs on the Qt event loop
// of the one thread: root property changes of the backend's own X
// connection are its shell notifications, a QTimer is its polling timer, and
// the tray icon's clicks are its icon notifications.

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QUrl>
#include <QIcon>
#include <QMenu>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "actions/KeyTable.h"
#include "actions/WinServices.h"
#include "app/Startup.h"
#include "app/Watcher.h"
#include "backends/posix/PosixFiles.h"
#include "backends/posix/PosixProcess.h"
#include "backends/x11/CommandLine.h"
#include "backends/x11/X11Platform.h"
#include "backends/x11/X11Util.h"
#include "backends/x11/ui/AboutWindow.h"
#include "backends/x11/ui/ItemEditorWindow.h"
#include "backends/x11/ui/ItemListWindow.h"
#include "items/Settings.h"

namespace {

int gSignalPipe[2] = {-1, -1};

// Set while the items live and have not been written at the end yet. When
// the X server goes away (the session ends by stopping it), Xlib and Qt end
// the process through exit(), past our event loop; the items are written
// then all the same.
bool gItemsUnsaved = false;

void SaveAtExit() {
    if (!gItemsUnsaved) return;
    gItemsUnsaved = false;
    (void)rw::SaveSettings();
}

void OnSignal(int sig) {
    const char c = static_cast<char>(sig);
    // Nothing else is safe here; the event loop reads the byte.
    ssize_t ignored = write(gSignalPipe[1], &c, 1);
    (void)ignored;
}

void MakeOwnFolder(const std::string& dir) {
    const auto slash = dir.rfind('/');
    if (slash != std::string::npos && slash > 0) MakeOwnFolder(dir.substr(0, slash));
    mkdir(dir.c_str(), 0700);
}

// Holds the per-user, per-display lock for the life of the process; false
// when another instance holds it.
bool TakeInstanceLock(const char* display) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string shown = display != nullptr ? display : "";
    std::vector<std::string> places{rw::x11::LockFilePath(runtime != nullptr ? runtime : "", getuid(), shown)};
    // Without a runtime folder the lock is in /tmp, where another user can
    // put a file of that name first (and hold it, which would keep us from
    // ever starting). A lock file only counts when it is ours; else the
    // lock moves to the user's configuration folder.
    const std::string config = rw::posix::UserConfigDir();
    if (!config.empty())
        places.push_back(rw::x11::HostLockFilePath(config + "/replywick", rw::posix::HostName(), getuid(), shown));
    for (std::size_t i = 0; i < places.size(); ++i) {
        if (i > 0) MakeOwnFolder(places[i].substr(0, places[i].rfind('/')));
        const int fd = rw::posix::OpenOwnLockFile(places[i]);
        if (fd < 0) continue;
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            close(fd);
            return err != EWOULDBLOCK;
        }
        return true;  // fd stays open: the lock lives as long as the process
    }
    return true;  // no place for a lock: run rather than never start
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
        if (trace) std::fprintf(stderr, "x11: tray icon delete\n");
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
        rw::ItemListServices s;
        s.getClipText = [] { return rw::GetClipText(); };
        s.setClipText = [](const std::string& t) { rw::SetClipText(t); };
        s.saveSettings = [] { return rw::SaveSettings(); };
        s.settingsPath = rw::App.IniPath;
        s.addCaption = rw::App.AddItemCaption;
        s.editCaption = rw::App.EditItemCaption;
        s.texts = rw::ItemListTextsFor(rw::App.UseEnglish);
        rw::SystemWindowFacts facts;
        rw::x11ui::ItemListWindow window(rw::gItems, rw::CurItem, s, [&facts](QWidget* owner, const std::string& caption) {
            rw::x11ui::ItemEditorWindow editor(owner, caption, rw::CurItem, rw::KeyNames, facts,
                                               rw::ItemEditorTextsFor(rw::App.UseEnglish));
            editor.exec();
        });
        if (trace) std::fprintf(stderr, "x11: item list window open\n");
        window.exec();
        if (trace) std::fprintf(stderr, "x11: item list window closed\n");
    }

    void ShowAbout() {
        rw::AboutServices s;
        s.exePath = rw::App.ExePath;
        s.iniPath = rw::App.IniPath;
        s.openUrl = [](const std::string& url) { QDesktopServices::openUrl(QUrl(QString::fromStdString(url))); };
        s.setClipText = [](const std::string& t) { rw::SetClipText(t); };
        s.sleep = [](std::uint32_t ms) { rw::Sys().Sleep(ms); };
        s.texts = rw::AboutTextsFor(rw::App.UseEnglish);
        rw::x11ui::AboutWindow window(nullptr, s);
        window.exec();
    }

private:
    void Trace(const char* what, Icon icon, const std::string& tip) const {
        if (trace)
            std::fprintf(stderr, "x11: tray icon %s %s '%s'\n", what, icon == Icon::On ? "on" : "off", tip.c_str());
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

}  // namespace

int main(int argc, char** argv) {
    if (const int rc = rw::x11::HandleInfoOptions(argc, argv); rc >= 0) return rc;
    // The command line as given, before Qt takes its own options out.
    std::vector<std::string> args(argv, argv + argc);
    std::vector<char*> argvCopy;
    for (auto& a : args) argvCopy.push_back(a.data());

    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        std::fputs("replywick: no X display (DISPLAY is not set)\n", stderr);
        return 1;
    }
    // A second instance ends at once, silently.
    if (!TakeInstanceLock(display)) return 0;

    rw::x11::X11Platform platform(nullptr, argc, argvCopy.data());
    if (!platform.Ok()) {
        std::fprintf(stderr, "replywick: cannot open the X display %s\n", display);
        return 1;
    }

    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName("Replywick");

    rw::SetPlatform(&platform);
    rw::InitApp();
    EnsureSettingsDir(rw::App.IniPath);
    rw::gMainWindow = platform.CreateMainWindow();

    // RW_X11_TRACE=1 traces the triggers of the X connection and the tray
    // icon on standard error, apart from the debug lines of "/d".
    const bool trace = std::getenv("RW_X11_TRACE") != nullptr;

    TrayHost host;
    rw::Watcher watcher(host);
    host.watcher = &watcher;
    host.trace = trace;

    bool closed = false;
    auto closeMain = [&]() {
        if (closed) return;
        if (watcher.PopupMenuOpen()) {
            // We are inside the tray icon's own handler (its menu, or a window
            // opened from it): removing the icon now would pull it from under
            // Qt. The open windows close as by Cancel, every event loop ends,
            // and the end below runs once the handler has returned.
            QApplication::closeAllWindows();
            QApplication::quit();
            return;
        }
        closed = true;
        host.PollTimer().stop();
        gItemsUnsaved = false;
        watcher.Close();
        platform.RestoreSpareKeys(true);
        QApplication::quit();
    };
    host.onClose = closeMain;

    if (trace) {
        std::string names;
        for (std::size_t i = 0; i < rw::KeyNames.size(); ++i) {
            char code[8];
            std::snprintf(code, sizeof code, "%X", static_cast<unsigned>(rw::KeyCodes[i]) & 0xFFFFu);
            names += (i ? " | " : "") + rw::KeyNames[i] + "=" + code;
        }
        std::fprintf(stderr, "x11: key table (%zu): %s\n", rw::KeyNames.size(), names.c_str());
    }
    platform.events.onShellHook = [&](std::uint32_t code, rw::WinHandle w) {
        if (trace) std::fprintf(stderr, "x11: shell notification %u 0x%x\n", code, w);
        if (!closed) watcher.OnShellHook(code, w);
    };
    platform.events.onExternalNotify = [&](std::int32_t x, std::int32_t y) {
        if (trace) std::fprintf(stderr, "x11: external notification x=%d y=%d\n", x, y);
        if (!closed) watcher.OnExternalNotify(x, y);
    };

    platform.events.onClientGone = [&](rw::WinHandle w) {
        if (trace) std::fprintf(stderr, "x11: client gone 0x%x\n", w);
        // The next window may get the same id: it must count as new.
        if (!closed) watcher.ForgetWindow(w);
    };

    // Qt embeds its icon in a tray host that starts later by itself; the
    // watcher then shows the active icon again, as after a shell restart.
    platform.events.onTrayHostStarted = [&] {
        if (trace) std::fprintf(stderr, "x11: tray host started\n");
        if (!closed) QTimer::singleShot(0, [&] { watcher.OnTaskbarCreated(); });
    };

    // Events of the backend's connection: readable socket, and events that
    // Xlib already read into its queue while the watcher made requests.
    QSocketNotifier xNotifier(platform.ConnectionFd(), QSocketNotifier::Read);
    QObject::connect(&xNotifier, &QSocketNotifier::activated, [&] { platform.DispatchEvents(); });
    QTimer dispatchSoon;
    dispatchSoon.setSingleShot(true);
    dispatchSoon.setInterval(0);
    QObject::connect(&dispatchSoon, &QTimer::timeout, [&] { platform.DispatchEvents(); });
    // Keycodes lent for characters go back once a macro has ended.
    QTimer restoreKeys;
    restoreKeys.setSingleShot(true);
    restoreKeys.setInterval(100);
    QObject::connect(&restoreKeys, &QTimer::timeout, [&] {
        if (!platform.RestoreSpareKeys(false)) restoreKeys.start();
    });
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, [&] {
        if (platform.HasQueuedEvents() && !dispatchSoon.isActive()) dispatchSoon.start();
        if (platform.SpareKeysLent() && !restoreKeys.isActive()) restoreKeys.start();
    });

    QObject::connect(&host.PollTimer(), &QTimer::timeout, [&] {
        if (!closed) watcher.OnPollTimer();
    });
    QObject::connect(&host.Tray(), &QSystemTrayIcon::activated,
                     [&](QSystemTrayIcon::ActivationReason reason) {
                         if (closed) return;
                         if (reason == QSystemTrayIcon::Trigger) watcher.OnIconNotification(rw::msg::LButtonDown);
                         if (reason == QSystemTrayIcon::Context) watcher.OnIconNotification(rw::msg::RButtonDown);
                     });

    // SIGTERM, SIGINT and SIGHUP end the program as the Close entry does.
    if (pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        struct sigaction sa {};
        sa.sa_handler = OnSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
        sigaction(SIGHUP, &sa, nullptr);
    }
    QSocketNotifier signalNotifier(gSignalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, [&] {
        char buf[16];
        while (read(gSignalPipe[0], buf, sizeof buf) > 0) {
        }
        closeMain();
    });
    // The session ending closes the program the same way.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, [&](QSessionManager&) { closeMain(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&] { closeMain(); });

    watcher.Create();
    gItemsUnsaved = true;
    std::atexit(SaveAtExit);
    platform.DispatchEvents();
    int rc = QApplication::exec();
    closeMain();
    rw::SetPlatform(nullptr);
    return rc;
}

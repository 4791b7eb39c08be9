#include "backends/qt/Diagnose.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QSystemTrayIcon>

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/Startup.h"
#include "backends/atspi/AccessibilityBridge.h"
#include "backends/linux/Diagnosis.h"
#include "backends/linux/InstanceLock.h"
#include "backends/linux/LinuxUtil.h"
#include "backends/posix/PosixProcess.h"
#include "backends/posix/PosixFiles.h"
#include "items/Items.h"
#include "items/Settings.h"

namespace rw::qtapp {

namespace {

bool EnvSet(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0';
}

bool DisplayOpens() {
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) return false;
    XCloseDisplay(d);
    return true;
}

// The desktop's switch that Qt programs follow: the accessibility bus
// launcher's IsEnabled (set by the "assistive technologies" setting) or a
// running screen reader.
bool QtAccessibilityOn(bool alwaysOnInEnvironment) {
    if (alwaysOnInEnvironment) return true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    for (const char* property : {"IsEnabled", "ScreenReaderEnabled"}) {
        QDBusMessage call = QDBusMessage::createMethodCall("org.a11y.Bus", "/org/a11y/bus",
                                                           "org.freedesktop.DBus.Properties", "Get");
        call << QStringLiteral("org.a11y.Status") << QString::fromLatin1(property);
        const QDBusMessage reply = bus.call(call, QDBus::Block, 2000);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) continue;
        if (reply.arguments().first().value<QDBusVariant>().variant().toBool()) return true;
    }
    return false;
}

// The settings file as the program would find it, computed from the same
// inputs as at start-up (the command line's /ini= included).
void GatherSettings(int argc, char** argv, lnx::DiagnosisFacts& f) {
    posix::PosixFiles files;
    StartupInputs in;
    in.exePath = posix::ExecutablePath();
    for (int i = 1; i < argc; ++i) in.args += (i > 1 ? " " : "") + std::string(argv[i] != nullptr ? argv[i] : "");
    in.sep = '/';
    in.langId = lnx::LangIdFromLocale(lnx::SystemLocale());
    in.fileExists = [&files](const std::string& path, const std::string& dir) {
        if (path.empty()) return false;
        if (files.PathExists(path)) return true;
        return !dir.empty() && path.front() != '/' && files.PathExists(dir + "/" + path);
    };
    in.isDirectory = [&files](const std::string& path) { return files.IsDirectory(path); };
    in.configDir = files.UserConfigDir();
    in.dirWritable = [&files](const std::string& dir) { return files.IsDirectoryWritable(dir); };
    const AppValues v = ComputeAppValues(in);
    f.settingsPath = v.IniPath;

    using S = lnx::DiagnosisFacts::Settings;
    std::string bytes;
    const FileOutcome read = files.ReadUsersFile(v.IniPath, bytes, kMaxSettingsFileBytes);
    auto countItems = [](const std::string& text) {
        clsItems items;
        ReadSettingsText(text, items);
        return static_cast<std::size_t>(items.Count());
    };
    switch (read.verdict) {
        case FileVerdict::Done:
            f.settings = S::Read;
            f.items = countItems(bytes);
            f.settingsWritable = files.IsFileWritable(v.IniPath);
            break;
        case FileVerdict::Missing: {
            f.settings = S::Missing;
            const auto slash = v.IniPath.rfind('/');
            const std::string dir = slash == std::string::npos ? "." : v.IniPath.substr(0, slash);
            // The program makes the folder under the configuration folder.
            f.settingsWritable = files.IsDirectory(dir) ? files.IsDirectoryWritable(dir)
                                                        : v.IniPath.rfind(in.configDir + "/", 0) == 0;
            std::string seed;
            if (!v.SeedIniPath.empty() &&
                files.ReadUsersFile(v.SeedIniPath, seed, kMaxSettingsFileBytes).verdict == FileVerdict::Done) {
                f.seedPath = v.SeedIniPath;
                f.items = countItems(seed);
            }
            break;
        }
        case FileVerdict::NotTrusted:
            f.settings = S::NotTrusted;
            break;
        case FileVerdict::NotRegular:
            f.settings = S::NotRegular;
            break;
        case FileVerdict::TooLarge:
            f.settings = S::TooLarge;
            break;
        default:
            f.settings = S::Unreadable;
            break;
    }
}

}  // namespace

bool WantsDiagnosis(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (argv[i] != nullptr && std::strcmp(argv[i], "--diagnose") == 0) return true;
    return false;
}

int RunDiagnosis(int argc, char** argv) {
    lnx::DiagnosisFacts f;
    const char* display = std::getenv("DISPLAY");
    f.display = display != nullptr ? display : "";
    f.displayOpens = !f.display.empty() && DisplayOpens();
    f.waylandSession = EnvSet("WAYLAND_DISPLAY");

    // Qt programs started from this environment take part whatever the
    // desktop's switch says.
    const bool qtAlwaysOn =
        EnvSet("QT_LINUX_ACCESSIBILITY_ALWAYS_ON") && std::strcmp(std::getenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), "0") != 0;
    // Qt only to ask what the program would ask: the tray host through the
    // display's own platform, the accessibility switch through D-Bus. This
    // process itself stays off the accessibility bus.
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "0");
    int qtArgc = 1;
    std::unique_ptr<QCoreApplication> app;
    if (f.displayOpens) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        app = std::make_unique<QApplication>(qtArgc, argv);
        f.trayHost = QSystemTrayIcon::isSystemTrayAvailable();
    } else {
        app = std::make_unique<QCoreApplication>(qtArgc, argv);
    }

    atspi::AccessibilityBridge bridge;
    f.accessibilityBus = bridge.BusAvailable();
    f.qtSwitchOn = f.accessibilityBus && QtAccessibilityOn(qtAlwaysOn);
    GatherSettings(argc, argv, f);
    f.instanceRunning = !f.display.empty() && lnx::InstanceRunning(display);

    const auto lines = lnx::Diagnose(f);
    const std::string text = lnx::DiagnosisText(lines);
    const bool written = std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0;
    return written ? lnx::DiagnosisExitStatus(lines) : 1;
}

}  // namespace rw::qtapp

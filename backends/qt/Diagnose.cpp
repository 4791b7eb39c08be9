#include "backends/qt/Diagnose.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QSystemTrayIcon>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "backends/linux/Diagnosis.h"
#include "backends/linux/InstanceLock.h"
#include "backends/linux/DiagnosisFacts.h"
#include "backends/qt/WindowSystemPick.h"
#include "backends/wayland/Desktops.h"
#include "backends/wayland/WaylandConnection.h"

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

// The accessibility bus's address, looked for where GTK programs look:
// AT_SPI_BUS_ADDRESS, the session bus's org.a11y.Bus, the AT_SPI_BUS
// property of the display's root window.
QString AccessibilityBusAddress() {
    if (EnvSet("AT_SPI_BUS_ADDRESS")) return QString::fromLocal8Bit(std::getenv("AT_SPI_BUS_ADDRESS"));
    QDBusConnection session = QDBusConnection::sessionBus();
    if (session.isConnected()) {
        const QDBusMessage reply = session.call(
            QDBusMessage::createMethodCall("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress"),
            QDBus::Block, 2000);
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
            const QString address = reply.arguments().first().toString();
            if (!address.isEmpty()) return address;
        }
    }
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) return {};
    QString address;
    const Atom atom = XInternAtom(d, "AT_SPI_BUS", True);
    if (atom != None) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, left = 0;
        unsigned char* raw = nullptr;
        if (XGetWindowProperty(d, DefaultRootWindow(d), atom, 0, 1024, False, XA_STRING, &type, &format, &count,
                               &left, &raw) == Success &&
            raw != nullptr && format == 8)
            address = QString::fromLocal8Bit(reinterpret_cast<const char*>(raw), static_cast<qsizetype>(count));
        if (raw != nullptr) XFree(raw);
    }
    XCloseDisplay(d);
    return address;
}

// Whether the accessibility bus answers: connected to, as the program's
// accessibility bridge would.
bool AccessibilityBusReachable() {
    const QString address = AccessibilityBusAddress();
    if (address.isEmpty()) return false;
    const QString name = QStringLiteral("replywick-diagnosis-a11y");
    const bool reachable = QDBusConnection::connectToBus(address, name).isConnected();
    QDBusConnection::disconnectFromBus(name);
    return reachable;
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
    const Pick pick = PickWindowSystem();
    f.waylandPicked = pick != Pick::X11;
    f.waylandOnly = pick == Pick::Wayland;
    if (f.waylandPicked) {
        // The ways the program would take, without beginning any (nobody is
        // asked for consent by a diagnosis).
        wl::WaylandConnection c(nullptr);
        f.waylandConnects = c.Ok() && c.Roundtrip();
        if (f.waylandConnects) {
            const wl::WaysOffered ways = wl::DescribeWays(c);
            f.windowsWay = ways.windows;
            f.keysWay = ways.keys;
            f.waylandWhy = ways.why;
        }
    }

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
    const bool onWayland = f.waylandConnects && !f.windowsWay.empty();
    if (onWayland) {
        // Qt's tray icon on Wayland is a StatusNotifierItem: shown where a
        // host has registered with the watcher.
        app = std::make_unique<QCoreApplication>(qtArgc, argv);
        QDBusMessage call = QDBusMessage::createMethodCall(
            "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties", "Get");
        call << QStringLiteral("org.kde.StatusNotifierWatcher") << QStringLiteral("IsStatusNotifierHostRegistered");
        const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 2000);
        f.trayHost = reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
                     reply.arguments().first().value<QDBusVariant>().variant().toBool();
    } else if (f.displayOpens) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        app = std::make_unique<QApplication>(qtArgc, argv);
        f.trayHost = QSystemTrayIcon::isSystemTrayAvailable();
    } else {
        app = std::make_unique<QCoreApplication>(qtArgc, argv);
    }

    f.accessibilityBus = AccessibilityBusReachable();
    f.qtSwitchOn = f.accessibilityBus && QtAccessibilityOn(qtAlwaysOn);
    lnx::GatherSettingsFacts(argc, argv, f);
    const std::string seat = onWayland ? std::string("wayland-") + std::getenv("WAYLAND_DISPLAY") : f.display;
    f.instanceRunning = !seat.empty() && lnx::InstanceRunning(seat.c_str());

    const auto lines = lnx::Diagnose(f);
    const std::string text = lnx::DiagnosisText(lines);
    const bool written = std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0;
    return written ? lnx::DiagnosisExitStatus(lines) : 1;
}

}  // namespace rw::qtapp

#include "BusDiscovery.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <sys/stat.h>

#include <cstdlib>


namespace rw::atspi {

namespace {

bool EnvSet(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}

// Whether some session bus is known without libdbus autolaunching one.
bool SessionBusKnown() { return !SessionBusAddress().empty(); }

// The accessibility bus address the session bus gives, within the time
// given (libdbus would wait for its default of 25 s); empty if none.
std::string A11yBusOfSession(int timeoutMs) {
    if (!SessionBusKnown()) return {};
    DBusError err;
    dbus_error_init(&err);
    DBusConnection* session = dbus_bus_get(DBUS_BUS_SESSION, &err);
    dbus_error_free(&err);
    if (!session) return {};
    dbus_connection_set_exit_on_disconnect(session, FALSE);
    const DBusMessagePtr reply =
        CallMethod(session, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", nullptr, timeoutMs);
    const char* address = nullptr;
    std::string out;
    if (reply && dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_STRING, &address, DBUS_TYPE_INVALID) &&
        address)
        out = address;
    dbus_connection_unref(session);
    return out;
}

// The accessibility bus address the bus launcher publishes on the X root
// window (AT_SPI_BUS), where GTK programs look for it too; empty if none.
std::string A11yBusOfDisplay() {
    if (!EnvSet("DISPLAY")) return {};
    struct Closer {
        void operator()(Display* d) const { XCloseDisplay(d); }
    };
    struct Freer {
        void operator()(unsigned char* p) const { XFree(p); }
    };
    const std::unique_ptr<Display, Closer> dpy(XOpenDisplay(nullptr));
    if (!dpy) return {};
    const Atom atom = XInternAtom(dpy.get(), "AT_SPI_BUS", True);
    if (atom == None) return {};
    Atom type = None;
    int format = 0;
    unsigned long count = 0, left = 0;
    unsigned char* raw = nullptr;
    const int rc = XGetWindowProperty(dpy.get(), DefaultRootWindow(dpy.get()), atom, 0, 1024, False, XA_STRING,
                                      &type, &format, &count, &left, &raw);
    const std::unique_ptr<unsigned char, Freer> data(raw);
    if (rc != Success || !data || format != 8) return {};
    return std::string(reinterpret_cast<const char*>(data.get()), count);
}

}  // namespace

std::string SessionBusAddress() {
    if (EnvSet("DBUS_SESSION_BUS_ADDRESS")) return std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) return {};
    struct stat st {};
    const std::string path = std::string(runtime) + "/bus";
    if (stat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) return {};
    char* escaped = dbus_address_escape_value(path.c_str());
    if (escaped == nullptr) return {};
    std::string address = std::string("unix:path=") + escaped;
    dbus_free(escaped);
    return address;
}

DBusMessagePtr CallMethod(DBusConnection* bus, const char* destination, const char* path,
                          const char* interface, const char* method, const char* arg, int timeoutMs) {
    const DBusMessagePtr call(dbus_message_new_method_call(destination, path, interface, method));
    if (!call) return {};
    if (arg) dbus_message_append_args(call.get(), DBUS_TYPE_STRING, &arg, DBUS_TYPE_INVALID);
    DBusError err;
    dbus_error_init(&err);
    DBusMessagePtr reply(dbus_connection_send_with_reply_and_block(bus, call.get(), timeoutMs, &err));
    dbus_error_free(&err);
    return reply;
}

std::string BusDiscovery::Address(int timeoutMs) {
    if (const char* env = std::getenv("AT_SPI_BUS_ADDRESS"); env && *env) return env;
    std::string address = A11yBusOfSession(timeoutMs);
    // No session bus to ask (a bare X session, or one started elsewhere):
    // the display tells where the bus is.
    if (address.empty()) address = A11yBusOfDisplay();
    return address;
}

}  // namespace rw::atspi

// Where the accessibility (AT-SPI) bus is, found the way GTK programs find
// it: AT_SPI_BUS_ADDRESS, else the session bus (its address or the user's
// bus socket; never an autolaunched one), else the address the bus
// launcher publishes on the X root window (AT_SPI_BUS).
//
// The address is asked anew at each search, so that a bus that was
// restarted is found at its new place.
#pragma once

#include <dbus/dbus.h>

#include <memory>
#include <string>

namespace rw::atspi {

struct DBusMessageDeleter {
    void operator()(DBusMessage* m) const { dbus_message_unref(m); }
};
using DBusMessagePtr = std::unique_ptr<DBusMessage, DBusMessageDeleter>;

// A method call with a bounded wait (libdbus would wait 25 s): the reply,
// or none on error or time-out. `arg`, when given, is its one string
// argument.
DBusMessagePtr CallMethod(DBusConnection* bus, const char* destination, const char* path,
                          const char* interface, const char* method, const char* arg,
                          int timeoutMs);

// The session bus's address: DBUS_SESSION_BUS_ADDRESS, else the user's bus
// socket ($XDG_RUNTIME_DIR/bus); empty when neither is there. Never one
// that libdbus would autolaunch (a stray bus daemon bound to the display).
std::string SessionBusAddress();

class BusDiscovery {
public:
    // The address of the accessibility bus; empty when there is none to
    // find. An address the environment gives is taken as it is.
    std::string Address(int timeoutMs);
};

}  // namespace rw::atspi

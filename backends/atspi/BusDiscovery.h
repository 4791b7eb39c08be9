// Where the accessibility (AT-SPI) bus is, found the way GTK programs find
// it: AT_SPI_BUS_ADDRESS, else the session bus (its address or the user's
// bus socket; never an autolaunched one), else the address the bus
// launcher publishes on the X root window (AT_SPI_BUS).
//
// libatspi takes an address only from the environment: when the display
// tells it, it is set in AT_SPI_BUS_ADDRESS of this process (and taken
// back before the next search, so that a stale one is not kept).
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

class BusDiscovery {
public:
    // Makes sure libatspi will find the bus; false when there is none to
    // find. An address the environment gave is taken as it is.
    bool Locate(int timeoutMs);

private:
    bool addressSetHere_ = false;
};

}  // namespace rw::atspi

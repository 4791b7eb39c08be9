// A private connection to the D-Bus session bus, for a keyboard whose
// desktop session belongs to the connection that made it: the session's
// keys are taken only from that connection, so it lives as long as the
// keyboard, and its signals are read by the program's event loop.
//
// Every call waits a bounded time. Signals that match a subscription are
// kept, in order, until Take hands them on, never handled inside libdbus's
// dispatch (a handler may then call out again).
#pragma once

#include <dbus/dbus.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "backends/atspi/BusDiscovery.h"

namespace rw::wl {

using Message = atspi::DBusMessagePtr;

// One entry of an a{sv} dictionary: a string, an object path, a uint32 or
// a boolean.
struct DictEntry {
    std::string key;
    int type = DBUS_TYPE_STRING;
    std::string text;
    std::uint32_t number = 0;
};
DictEntry DictString(std::string key, std::string value);
DictEntry DictUint(std::string key, std::uint32_t value);
DictEntry DictBool(std::string key, bool value);
bool AppendDict(DBusMessageIter* it, const std::vector<DictEntry>& entries);
// A value of an a{sv} dictionary at the iterator; false when the key is
// missing or of another type. Strings and object paths both read as text.
bool DictText(DBusMessageIter* dict, const char* key, std::string& out);
bool DictUintValue(DBusMessageIter* dict, const char* key, std::uint32_t& out);
bool DictBoolValue(DBusMessageIter* dict, const char* key, bool& out);

class SessionBus {
public:
    // Connects to $DBUS_SESSION_BUS_ADDRESS, else to the user's bus in
    // $XDG_RUNTIME_DIR (never to one launched for the occasion).
    explicit SessionBus(int timeoutMs);
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    bool Ok() const;
    // The connection's unique name (":1.42").
    const std::string& UniqueName() const { return unique_; }

    // A method call and its reply within timeoutMs; none on an error (its
    // name goes to `error`), a time-out or a lost connection.
    Message Call(DBusMessage* call, int timeoutMs, std::string* error = nullptr);
    // Sends a call that wants no reply.
    bool Send(DBusMessage* call);
    // Keeps signals that match the rule (the bus's match syntax) from now
    // on, to be handed on by Take.
    void Subscribe(const std::string& rule);
    void Unsubscribe(const std::string& rule);

    int Fd() const;
    // Reads what has arrived, without waiting.
    void Dispatch();
    // Whether read messages wait to be dispatched, or kept signals to be
    // taken.
    bool Queued() const;
    // The signals kept since the last Take.
    std::deque<Message> Take();

private:
    static DBusHandlerResult Filter(DBusConnection* c, DBusMessage* m, void* self);

    DBusConnection* bus_ = nullptr;
    std::string unique_;
    std::deque<Message> signals_;
};

}  // namespace rw::wl

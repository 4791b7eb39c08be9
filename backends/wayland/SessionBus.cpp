#include "backends/wayland/SessionBus.h"

#include <cstring>
#include <utility>

namespace rw::wl {

namespace {

// What may wait unread between two looks of the event loop: a keyboard's
// session sends a few signals, and nothing else is subscribed.
constexpr long kMaxQueuedBytes = 256 * 1024;
constexpr std::size_t kMaxKeptSignals = 256;

bool AppendVariant(DBusMessageIter* entry, const DictEntry& e) {
    const char sig[2] = {static_cast<char>(e.type), '\0'};
    DBusMessageIter v;
    if (!dbus_message_iter_open_container(entry, DBUS_TYPE_VARIANT, sig, &v)) return false;
    bool ok = false;
    if (e.type == DBUS_TYPE_STRING || e.type == DBUS_TYPE_OBJECT_PATH) {
        const char* s = e.text.c_str();
        ok = dbus_message_iter_append_basic(&v, e.type, &s);
    } else if (e.type == DBUS_TYPE_UINT32) {
        const dbus_uint32_t u = e.number;
        ok = dbus_message_iter_append_basic(&v, e.type, &u);
    } else if (e.type == DBUS_TYPE_BOOLEAN) {
        const dbus_bool_t b = e.number != 0 ? TRUE : FALSE;
        ok = dbus_message_iter_append_basic(&v, e.type, &b);
    }
    return dbus_message_iter_close_container(entry, &v) && ok;
}

// The variant's content of the entry `key`, at `out`; false when missing.
bool FindValue(DBusMessageIter* dict, const char* key, DBusMessageIter* out) {
    if (dbus_message_iter_get_arg_type(dict) != DBUS_TYPE_ARRAY) return false;
    DBusMessageIter a;
    dbus_message_iter_recurse(dict, &a);
    for (; dbus_message_iter_get_arg_type(&a) == DBUS_TYPE_DICT_ENTRY; dbus_message_iter_next(&a)) {
        DBusMessageIter e;
        dbus_message_iter_recurse(&a, &e);
        if (dbus_message_iter_get_arg_type(&e) != DBUS_TYPE_STRING) continue;
        const char* k = nullptr;
        dbus_message_iter_get_basic(&e, &k);
        if (k == nullptr || std::strcmp(k, key) != 0 || !dbus_message_iter_next(&e)) continue;
        if (dbus_message_iter_get_arg_type(&e) != DBUS_TYPE_VARIANT) return false;
        dbus_message_iter_recurse(&e, out);
        return true;
    }
    return false;
}

}  // namespace

DictEntry DictString(std::string key, std::string value) {
    return DictEntry{std::move(key), DBUS_TYPE_STRING, std::move(value), 0};
}
DictEntry DictUint(std::string key, std::uint32_t value) { return DictEntry{std::move(key), DBUS_TYPE_UINT32, {}, value}; }
DictEntry DictBool(std::string key, bool value) {
    return DictEntry{std::move(key), DBUS_TYPE_BOOLEAN, {}, value ? 1u : 0u};
}

bool AppendDict(DBusMessageIter* it, const std::vector<DictEntry>& entries) {
    DBusMessageIter a;
    if (!dbus_message_iter_open_container(it, DBUS_TYPE_ARRAY, "{sv}", &a)) return false;
    bool ok = true;
    for (const DictEntry& e : entries) {
        DBusMessageIter entry;
        if (!dbus_message_iter_open_container(&a, DBUS_TYPE_DICT_ENTRY, nullptr, &entry)) return false;
        const char* k = e.key.c_str();
        ok = ok && dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &k) && AppendVariant(&entry, e);
        ok = dbus_message_iter_close_container(&a, &entry) && ok;
    }
    return dbus_message_iter_close_container(it, &a) && ok;
}

bool DictText(DBusMessageIter* dict, const char* key, std::string& out) {
    DBusMessageIter v;
    if (!FindValue(dict, key, &v)) return false;
    const int type = dbus_message_iter_get_arg_type(&v);
    if (type != DBUS_TYPE_STRING && type != DBUS_TYPE_OBJECT_PATH) return false;
    const char* s = nullptr;
    dbus_message_iter_get_basic(&v, &s);
    out = s != nullptr ? s : "";
    return true;
}

bool DictUintValue(DBusMessageIter* dict, const char* key, std::uint32_t& out) {
    DBusMessageIter v;
    if (!FindValue(dict, key, &v) || dbus_message_iter_get_arg_type(&v) != DBUS_TYPE_UINT32) return false;
    dbus_uint32_t u = 0;
    dbus_message_iter_get_basic(&v, &u);
    out = u;
    return true;
}

bool DictBoolValue(DBusMessageIter* dict, const char* key, bool& out) {
    DBusMessageIter v;
    if (!FindValue(dict, key, &v) || dbus_message_iter_get_arg_type(&v) != DBUS_TYPE_BOOLEAN) return false;
    dbus_bool_t b = FALSE;
    dbus_message_iter_get_basic(&v, &b);
    out = b != FALSE;
    return true;
}

SessionBus::SessionBus(int timeoutMs) {
    const std::string address = atspi::SessionBusAddress();
    if (address.empty()) return;
    DBusError err;
    dbus_error_init(&err);
    DBusConnection* c = dbus_connection_open_private(address.c_str(), &err);
    dbus_error_free(&err);
    if (c == nullptr) return;
    dbus_connection_set_exit_on_disconnect(c, FALSE);
    dbus_connection_set_max_received_size(c, kMaxQueuedBytes);
    bus_ = c;
    // The bus's greeting with a bounded wait (dbus_bus_register would wait
    // 25 s on a bus that does not answer); its answer is our name.
    Message hello(dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "Hello"));
    const char* name = nullptr;
    Message reply = hello ? Call(hello.get(), timeoutMs) : Message();
    if (!reply || !dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID) ||
        name == nullptr || !dbus_bus_set_unique_name(bus_, name)) {
        dbus_connection_close(bus_);
        dbus_connection_unref(bus_);
        bus_ = nullptr;
        return;
    }
    unique_ = name;
    dbus_connection_add_filter(bus_, &SessionBus::Filter, this, nullptr);
}

SessionBus::~SessionBus() {
    if (bus_ == nullptr) return;
    dbus_connection_remove_filter(bus_, &SessionBus::Filter, this);
    // What is still queued (the last releases) goes out, within a bound.
    for (int i = 0; i < 10 && dbus_connection_has_messages_to_send(bus_); ++i)
        if (!dbus_connection_read_write(bus_, 50)) break;
    dbus_connection_close(bus_);
    dbus_connection_unref(bus_);
}

bool SessionBus::Ok() const { return bus_ != nullptr && dbus_connection_get_is_connected(bus_); }

Message SessionBus::Call(DBusMessage* call, int timeoutMs, std::string* error) {
    if (bus_ == nullptr || call == nullptr || !dbus_connection_get_is_connected(bus_)) return {};
    DBusError err;
    dbus_error_init(&err);
    Message reply(dbus_connection_send_with_reply_and_block(bus_, call, timeoutMs, &err));
    if (dbus_error_is_set(&err) && error != nullptr) *error = err.name != nullptr ? err.name : "";
    dbus_error_free(&err);
    return reply;
}

bool SessionBus::Send(DBusMessage* call) {
    if (bus_ == nullptr || call == nullptr || !dbus_connection_get_is_connected(bus_)) return false;
    dbus_message_set_no_reply(call, TRUE);
    const bool ok = dbus_connection_send(bus_, call, nullptr) != FALSE;
    // Written now as far as the socket takes it, without waiting; the rest
    // goes with the next call or look.
    dbus_connection_read_write(bus_, 0);
    return ok;
}

void SessionBus::Subscribe(const std::string& rule) {
    // Without an error to fill in, the rule goes out without waiting; the
    // bus handles it before any call sent after it.
    if (bus_ != nullptr) dbus_bus_add_match(bus_, rule.c_str(), nullptr);
}

void SessionBus::Unsubscribe(const std::string& rule) {
    if (bus_ != nullptr) dbus_bus_remove_match(bus_, rule.c_str(), nullptr);
}

int SessionBus::Fd() const {
    int fd = -1;
    if (bus_ == nullptr || !dbus_connection_get_unix_fd(bus_, &fd)) return -1;
    return fd;
}

void SessionBus::Dispatch() {
    if (bus_ == nullptr) return;
    dbus_connection_read_write(bus_, 0);
    while (dbus_connection_dispatch(bus_) == DBUS_DISPATCH_DATA_REMAINS) {
    }
}

bool SessionBus::Queued() const {
    return !signals_.empty() ||
           (bus_ != nullptr && dbus_connection_get_dispatch_status(bus_) == DBUS_DISPATCH_DATA_REMAINS);
}

std::deque<Message> SessionBus::Take() { return std::exchange(signals_, {}); }

DBusHandlerResult SessionBus::Filter(DBusConnection*, DBusMessage* m, void* self) {
    auto* bus = static_cast<SessionBus*>(self);
    if (dbus_message_get_type(m) != DBUS_MESSAGE_TYPE_SIGNAL) return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
    // Only subscribed signals reach a private connection (and the bus's
    // own NameAcquired); a flood is bounded all the same.
    if (bus->signals_.size() < kMaxKeptSignals) {
        dbus_message_ref(m);
        bus->signals_.emplace_back(m);
    }
    return DBUS_HANDLER_RESULT_HANDLED;
}

}  // namespace rw::wl

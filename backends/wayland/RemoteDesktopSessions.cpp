#include "backends/wayland/RemoteDesktopSessions.h"

#include <cstring>
#include <deque>

namespace rw::wl {

namespace {

// Calls at start and key confirmations: a desktop that does not answer
// within this is taken as gone (at start) or as slow (for a key).
constexpr int kCallMs = 2000;
// The portal may be started by the first question.
constexpr int kPortalStartMs = 5000;

constexpr const char* kMutter = "org.gnome.Mutter.RemoteDesktop";
constexpr const char* kMutterPath = "/org/gnome/Mutter/RemoteDesktop";
constexpr const char* kMutterSession = "org.gnome.Mutter.RemoteDesktop.Session";
constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kPortalRemoteDesktop = "org.freedesktop.portal.RemoteDesktop";
constexpr const char* kPortalRequest = "org.freedesktop.portal.Request";
constexpr const char* kPortalSession = "org.freedesktop.portal.Session";
constexpr std::uint32_t kKeyboardDevice = 1;

Message NewCall(const char* dest, const std::string& path, const char* iface, const char* method) {
    if (!dbus_validate_path(path.c_str(), nullptr)) return {};
    return Message(dbus_message_new_method_call(dest, path.c_str(), iface, method));
}

// A property's value, inside the reply's variant, at `v`.
Message GetProperty(SessionBus& bus, const char* dest, const char* path, const char* iface, const char* name,
                    int timeoutMs, DBusMessageIter* v) {
    Message call = NewCall(dest, path, DBUS_INTERFACE_PROPERTIES, "Get");
    if (!call ||
        !dbus_message_append_args(call.get(), DBUS_TYPE_STRING, &iface, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID))
        return {};
    Message reply = bus.Call(call.get(), timeoutMs);
    DBusMessageIter it;
    if (!reply || !dbus_message_iter_init(reply.get(), &it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_VARIANT)
        return {};
    dbus_message_iter_recurse(&it, v);
    return reply;
}

bool OffersKeyboard(SessionBus& bus, const char* dest, const char* path, const char* iface, const char* name,
                    int timeoutMs) {
    DBusMessageIter v;
    Message reply = GetProperty(bus, dest, path, iface, name, timeoutMs, &v);
    if (!reply || dbus_message_iter_get_arg_type(&v) != DBUS_TYPE_UINT32) return false;
    dbus_uint32_t types = 0;
    dbus_message_iter_get_basic(&v, &types);
    return (types & kKeyboardDevice) != 0;
}

std::string NameGoneRule(const char* name) {
    return std::string("type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
                       "member='NameOwnerChanged',arg0='") +
           name + "'";
}

std::string SignalRule(const char* sender, const std::string& path, const char* iface, const char* member) {
    return std::string("type='signal',sender='") + sender + "',path='" + path + "',interface='" + iface +
           "',member='" + member + "'";
}

// Whether the signal says that `name` has lost its owner.
bool NameGone(DBusMessage* m, const char* name) {
    if (!dbus_message_is_signal(m, DBUS_INTERFACE_DBUS, "NameOwnerChanged")) return false;
    const char* n = nullptr;
    const char* from = nullptr;
    const char* to = nullptr;
    return dbus_message_get_args(m, nullptr, DBUS_TYPE_STRING, &n, DBUS_TYPE_STRING, &from, DBUS_TYPE_STRING, &to,
                                 DBUS_TYPE_INVALID) &&
           n != nullptr && std::strcmp(n, name) == 0 && to != nullptr && *to == '\0';
}

bool IsFrom(DBusMessage* m, const std::string& path, const char* iface, const char* member) {
    const char* p = dbus_message_get_path(m);
    return p != nullptr && path == p && dbus_message_is_signal(m, iface, member);
}

// A key call that wants an answer went wrong when an error came back; a
// late answer only means that the desktop is slow.
bool Delivered(SessionBus& bus, DBusMessage* call, bool confirm) {
    if (!confirm) return bus.Send(call);
    std::string error;
    const Message reply = bus.Call(call, kCallMs, &error);
    return reply || error == DBUS_ERROR_NO_REPLY || error == DBUS_ERROR_TIMEOUT;
}

class MutterSession final : public RemoteDesktopSession {
public:
    MutterSession() : RemoteDesktopSession(kCallMs) {}
    ~MutterSession() override { End(); }

    bool Offered() override {
        return bus_.Ok() && OffersKeyboard(bus_, kMutter, kMutterPath, kMutter, "SupportedDeviceTypes", kCallMs);
    }

    bool Begin() override {
        if (state_ != State::Idle) return state_ == State::Ready;
        bus_.Subscribe(NameGoneRule(kMutter));
        Message create = NewCall(kMutter, kMutterPath, kMutter, "CreateSession");
        Message reply = create ? bus_.Call(create.get(), kCallMs) : Message();
        const char* path = nullptr;
        if (!reply || !dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_OBJECT_PATH, &path, DBUS_TYPE_INVALID) ||
            path == nullptr) {
            Ended("mutter made no remote desktop session");
            return false;
        }
        session_ = path;
        bus_.Subscribe(SignalRule(kMutter, session_, kMutterSession, "Closed"));
        bus_.Subscribe(SignalRule(kMutter, session_, DBUS_INTERFACE_PROPERTIES, "PropertiesChanged"));
        Message start = NewCall(kMutter, session_, kMutterSession, "Start");
        if (!start || !bus_.Call(start.get(), kCallMs)) {
            Ended("mutter did not start the remote desktop session");
            return false;
        }
        state_ = State::Ready;
        ReadLocks();
        return true;
    }

    bool Keysym(std::uint32_t keysym, bool down, bool confirm) override {
        return Key("NotifyKeyboardKeysym", keysym, down, confirm);
    }
    bool Keycode(std::uint32_t evdev, bool down, bool confirm) override {
        return Key("NotifyKeyboardKeycode", evdev, down, confirm);
    }

    // A call behind the keys, answered in their order; the lock states come
    // with it.
    void Sync() override {
        if (state_ == State::Ready) ReadLocks();
    }

    void End() override {
        if (state_ == State::Ready) {
            if (Message stop = NewCall(kMutter, session_, kMutterSession, "Stop")) bus_.Call(stop.get(), kCallMs);
        }
        if (state_ != State::Ended) Ended("the remote desktop session was ended");
    }

private:
    bool Key(const char* method, std::uint32_t code, bool down, bool confirm) {
        if (state_ != State::Ready) return false;
        Message call = NewCall(kMutter, session_, kMutterSession, method);
        const dbus_uint32_t c = code;
        const dbus_bool_t d = down ? TRUE : FALSE;
        if (!call || !dbus_message_append_args(call.get(), DBUS_TYPE_UINT32, &c, DBUS_TYPE_BOOLEAN, &d,
                                               DBUS_TYPE_INVALID))
            return false;
        return Delivered(bus_, call.get(), confirm);
    }

    void ReadLocks() {
        Message call = NewCall(kMutter, session_, DBUS_INTERFACE_PROPERTIES, "GetAll");
        const char* iface = kMutterSession;
        if (!call || !dbus_message_append_args(call.get(), DBUS_TYPE_STRING, &iface, DBUS_TYPE_INVALID)) return;
        Message reply = bus_.Call(call.get(), kCallMs);
        DBusMessageIter it;
        if (reply && dbus_message_iter_init(reply.get(), &it)) TakeLocks(&it);
    }

    void TakeLocks(DBusMessageIter* dict) {
        bool v = false;
        if (DictBoolValue(dict, "CapsLockState", v)) {
            capsLock_ = v;
            locksKnown_ = true;
        }
        if (DictBoolValue(dict, "NumLockState", v)) {
            numLock_ = v;
            locksKnown_ = true;
        }
    }

    void Handle(DBusMessage* m) override {
        if (NameGone(m, kMutter)) {
            Ended("mutter's remote desktop went away");
        } else if (IsFrom(m, session_, kMutterSession, "Closed")) {
            Ended("the desktop ended the remote desktop session");
        } else if (IsFrom(m, session_, DBUS_INTERFACE_PROPERTIES, "PropertiesChanged")) {
            DBusMessageIter it;
            if (dbus_message_iter_init(m, &it) && dbus_message_iter_next(&it)) TakeLocks(&it);
        }
    }

    std::string session_;
};

class PortalSession final : public RemoteDesktopSession {
public:
    PortalSession() : RemoteDesktopSession(kCallMs) {
        // Request paths name the caller: its unique name without the colon,
        // dots as underscores.
        for (char ch : bus_.UniqueName())
            if (ch != ':') sender_ += ch == '.' ? '_' : ch;
    }
    ~PortalSession() override { End(); }

    bool Offered() override {
        return bus_.Ok() &&
               OffersKeyboard(bus_, kPortal, kPortalPath, kPortalRemoteDesktop, "AvailableDeviceTypes", kPortalStartMs);
    }

    bool Begin() override {
        if (state_ != State::Idle) return state_ != State::Ended;
        bus_.Subscribe(NameGoneRule(kPortal));
        state_ = State::Asking;
        step_ = Step::Create;
        return Ask("CreateSession");
    }

    bool Keysym(std::uint32_t keysym, bool down, bool confirm) override {
        return Key("NotifyKeyboardKeysym", keysym, down, confirm);
    }
    bool Keycode(std::uint32_t evdev, bool down, bool confirm) override {
        return Key("NotifyKeyboardKeycode", evdev, down, confirm);
    }

    // Every key waits for its answer already.
    void Sync() override {}

    void End() override {
        if (state_ == State::Asking && !request_.empty()) {
            if (Message close = NewCall(kPortal, request_, kPortalRequest, "Close")) bus_.Call(close.get(), kCallMs);
        }
        if (!session_.empty() && state_ != State::Ended) {
            if (Message close = NewCall(kPortal, session_, kPortalSession, "Close")) bus_.Call(close.get(), kCallMs);
        }
        if (state_ != State::Ended) Ended("the remote desktop session was ended");
    }

private:
    enum class Step { Create, Select, Start };

    // One step: the call, whose answer comes later as the Response of the
    // request it names.
    bool Ask(const char* method) {
        const std::string token = "replywick" + std::to_string(++tokens_);
        const std::string expected = "/org/freedesktop/portal/desktop/request/" + sender_ + "/" + token;
        // Subscribed before the call, so that no answer comes before it.
        std::string rule = SignalRule(kPortal, expected, kPortalRequest, "Response");
        bus_.Subscribe(rule);
        Message call = NewCall(kPortal, kPortalPath, kPortalRemoteDesktop, method);
        DBusMessageIter it;
        bool ok = call != nullptr;
        if (ok) dbus_message_iter_init_append(call.get(), &it);
        std::vector<DictEntry> options{DictString("handle_token", token)};
        if (ok && step_ != Step::Create) {
            const char* s = session_.c_str();
            ok = dbus_validate_path(s, nullptr) && dbus_message_iter_append_basic(&it, DBUS_TYPE_OBJECT_PATH, &s);
        }
        if (step_ == Step::Create) options.push_back(DictString("session_handle_token", token));
        if (step_ == Step::Select) options.push_back(DictUint("types", kKeyboardDevice));
        if (ok && step_ == Step::Start) {
            // No window of ours to put the question over.
            const char* parent = "";
            ok = dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &parent);
        }
        ok = ok && AppendDict(&it, options);
        Message reply = ok ? bus_.Call(call.get(), kCallMs) : Message();
        const char* handle = nullptr;
        if (!reply || !dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_OBJECT_PATH, &handle, DBUS_TYPE_INVALID) ||
            handle == nullptr) {
            bus_.Unsubscribe(rule);
            Ended("the desktop portal did not take the request");
            return false;
        }
        request_ = handle;
        if (request_ != expected) {
            // An older portal names its requests itself.
            bus_.Unsubscribe(rule);
            rule = SignalRule(kPortal, request_, kPortalRequest, "Response");
            bus_.Subscribe(rule);
        }
        requestRule_ = rule;
        return true;
    }

    void Answered(DBusMessage* m) {
        bus_.Unsubscribe(requestRule_);
        request_.clear();
        DBusMessageIter it;
        dbus_uint32_t response = 2;
        if (dbus_message_iter_init(m, &it) && dbus_message_iter_get_arg_type(&it) == DBUS_TYPE_UINT32) {
            dbus_message_iter_get_basic(&it, &response);
            dbus_message_iter_next(&it);
        }
        if (response != 0) {
            Ended(response == 1 ? "the user did not allow the remote desktop session"
                                : "the desktop portal refused the remote desktop session");
            return;
        }
        if (step_ == Step::Create) {
            if (!DictText(&it, "session_handle", session_) || !dbus_validate_path(session_.c_str(), nullptr)) {
                session_.clear();
                Ended("the desktop portal named no session");
                return;
            }
            bus_.Subscribe(SignalRule(kPortal, session_, kPortalSession, "Closed"));
            step_ = Step::Select;
            Ask("SelectDevices");
        } else if (step_ == Step::Select) {
            step_ = Step::Start;
            Ask("Start");
        } else {
            std::uint32_t devices = 0;
            if (!DictUintValue(&it, "devices", devices) || (devices & kKeyboardDevice) == 0) {
                Ended("the user did not allow the keyboard");
                return;
            }
            state_ = State::Ready;
        }
    }

    bool Key(const char* method, std::uint32_t code, bool down, bool confirm) {
        if (state_ != State::Ready) return false;
        Message call = NewCall(kPortal, kPortalPath, kPortalRemoteDesktop, method);
        DBusMessageIter it;
        if (!call) return false;
        dbus_message_iter_init_append(call.get(), &it);
        const char* s = session_.c_str();
        const dbus_int32_t c = static_cast<dbus_int32_t>(code);
        const dbus_uint32_t state = down ? 1 : 0;
        if (!dbus_message_iter_append_basic(&it, DBUS_TYPE_OBJECT_PATH, &s) || !AppendDict(&it, {}) ||
            !dbus_message_iter_append_basic(&it, DBUS_TYPE_INT32, &c) ||
            !dbus_message_iter_append_basic(&it, DBUS_TYPE_UINT32, &state))
            return false;
        // The portal hands each call on from a thread of its own: a call
        // sent before the last one was answered may overtake it. Each key
        // waits for its answer, so that keys arrive in their order.
        (void)confirm;
        return Delivered(bus_, call.get(), true);
    }

    void Handle(DBusMessage* m) override {
        if (NameGone(m, kPortal)) {
            Ended("the desktop portal went away");
        } else if (state_ == State::Asking && !request_.empty() && IsFrom(m, request_, kPortalRequest, "Response")) {
            Answered(m);
        } else if (!session_.empty() && IsFrom(m, session_, kPortalSession, "Closed")) {
            Ended("the desktop ended the remote desktop session");
        }
    }

    std::string sender_, session_, request_, requestRule_;
    Step step_ = Step::Create;
    int tokens_ = 0;
};

}  // namespace

void RemoteDesktopSession::Dispatch() {
    bus_.Dispatch();
    std::deque<Message> signals = bus_.Take();
    for (Message& m : signals) {
        if (state_ == State::Ended) break;
        if (dbus_message_is_signal(m.get(), DBUS_INTERFACE_LOCAL, "Disconnected")) {
            Ended("the session bus went away");
        } else {
            Handle(m.get());
        }
    }
}

void RemoteDesktopSession::Ended(std::string why) {
    state_ = State::Ended;
    why_ = std::move(why);
}

std::unique_ptr<RemoteDesktopSession> NewMutterSession() { return std::make_unique<MutterSession>(); }
std::unique_ptr<RemoteDesktopSession> NewPortalSession() { return std::make_unique<PortalSession>(); }

}  // namespace rw::wl

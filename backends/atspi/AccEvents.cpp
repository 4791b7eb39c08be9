#include "AccEvents.h"

#include <cstring>

namespace rw::atspi {

namespace {

constexpr const char* kWindowEvents = "org.a11y.atspi.Event.Window";
constexpr const char* kObjectEvents = "org.a11y.atspi.Event.Object";
constexpr const char* kRoot = "/org/a11y/atspi/accessible/root";

bool Is(const char* a, const char* b) { return a != nullptr && std::strcmp(a, b) == 0; }

// The arguments of an AT-SPI event: (detail, detail1, detail2, any_data,
// properties); only the first, second and fourth are read.
struct EventArgs {
    std::string detail;
    std::int32_t detail1 = 0;
    std::string text;           // any_data, when a string
    std::string objBus, objPath;  // any_data, when an object reference
};

bool ReadArgs(DBusMessage* m, EventArgs& out) {
    DBusMessageIter it;
    if (!dbus_message_iter_init(m, &it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_STRING) return false;
    const char* detail = nullptr;
    dbus_message_iter_get_basic(&it, &detail);
    out.detail = detail != nullptr ? detail : "";
    if (!dbus_message_iter_next(&it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_INT32) return false;
    dbus_int32_t d1 = 0;
    dbus_message_iter_get_basic(&it, &d1);
    out.detail1 = d1;
    // detail2, then any_data (a variant).
    if (!dbus_message_iter_next(&it) || !dbus_message_iter_next(&it)) return true;
    if (dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_VARIANT) return true;
    DBusMessageIter v;
    dbus_message_iter_recurse(&it, &v);
    if (dbus_message_iter_get_arg_type(&v) == DBUS_TYPE_STRING) {
        const char* s = nullptr;
        dbus_message_iter_get_basic(&v, &s);
        out.text = s != nullptr ? s : "";
    } else if (dbus_message_iter_get_arg_type(&v) == DBUS_TYPE_STRUCT) {
        DBusMessageIter s;
        dbus_message_iter_recurse(&v, &s);
        const char* bus = nullptr;
        const char* path = nullptr;
        if (dbus_message_iter_get_arg_type(&s) != DBUS_TYPE_STRING) return true;
        dbus_message_iter_get_basic(&s, &bus);
        if (!dbus_message_iter_next(&s) || dbus_message_iter_get_arg_type(&s) != DBUS_TYPE_OBJECT_PATH) return true;
        dbus_message_iter_get_basic(&s, &path);
        out.objBus = bus != nullptr ? bus : "";
        out.objPath = path != nullptr ? path : "";
    }
    return true;
}

// A program's unique name ("...:1.42"): what frames are keyed by.
bool UniqueName(const std::string& name) {
    return !name.empty() && name[0] == ':' && dbus_validate_bus_name(name.c_str(), nullptr);
}

AccEvent NameOwnerChanged(DBusMessage* m) {
    const char* name = nullptr;
    const char* oldOwner = nullptr;
    const char* newOwner = nullptr;
    DBusError err;
    dbus_error_init(&err);
    const bool ok = dbus_message_get_args(m, &err, DBUS_TYPE_STRING, &name, DBUS_TYPE_STRING, &oldOwner,
                                          DBUS_TYPE_STRING, &newOwner, DBUS_TYPE_INVALID);
    dbus_error_free(&err);
    AccEvent e;
    if (!ok || name == nullptr || newOwner == nullptr || *newOwner != '\0' || !UniqueName(name)) return e;
    e.type = AccEvent::Type::AppGone;
    e.bus = name;
    return e;
}

}  // namespace

AccEvent ParseEvent(DBusMessage* m) {
    AccEvent e;
    if (m == nullptr || dbus_message_get_type(m) != DBUS_MESSAGE_TYPE_SIGNAL) return e;
    const char* interface = dbus_message_get_interface(m);
    const char* member = dbus_message_get_member(m);
    if (Is(interface, DBUS_INTERFACE_DBUS)) return Is(member, "NameOwnerChanged") ? NameOwnerChanged(m) : e;
    const char* sender = dbus_message_get_sender(m);
    const char* path = dbus_message_get_path(m);
    if (sender == nullptr || path == nullptr || !UniqueName(sender)) return e;
    EventArgs args;
    if (!ReadArgs(m, args)) return e;
    using T = AccEvent::Type;
    T type = T::None;
    if (Is(interface, kWindowEvents)) {
        if (Is(member, "Activate")) type = T::Activated;
        if (Is(member, "Deactivate")) type = T::Deactivated;
        if (Is(member, "Create")) type = T::Created;
        if (Is(member, "Destroy") || Is(member, "Close")) type = T::Destroyed;
        if (type == T::Activated || type == T::Created) e.title = args.text;
    } else if (Is(interface, kObjectEvents) && Is(member, "StateChanged")) {
        if (args.detail == "active") type = args.detail1 != 0 ? T::ActiveState : T::Deactivated;
        if (args.detail == "focused") type = args.detail1 != 0 ? T::Focused : T::Unfocused;
    } else if (Is(interface, kObjectEvents) && Is(member, "ChildrenChanged") && Is(path, kRoot)) {
        // On the registry's root, its children are the programs: one of
        // another bus than the sender's is a program (a program's own root
        // lists objects of its own bus).
        if (UniqueName(args.objBus) && args.objBus != sender) {
            if (args.detail == "add") type = T::AppAdded;
            if (args.detail == "remove") type = T::AppGone;
            e.type = type;
            e.bus = args.objBus;
            return e;
        }
    }
    if (type == T::None) return e;
    e.type = type;
    e.bus = sender;
    e.path = path;
    return e;
}

}  // namespace rw::atspi

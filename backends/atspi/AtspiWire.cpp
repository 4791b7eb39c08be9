#include "AtspiWire.h"

#include <fstream>
#include <sstream>

#include "AccessibilityBridge.h"

namespace rw::atspi {

// The roles of the AT-SPI protocol (GetRole answers their number), by
// their untranslated names.
constexpr const char* kRoleNames[] = {
    "invalid", "accelerator label", "alert", "animation", "arrow", "calendar",
    "canvas", "check box", "check menu item", "color chooser", "column header", "combo box",
    "date editor", "desktop icon", "desktop frame", "dial", "dialog", "directory pane",
    "drawing area", "file chooser", "filler", "focus traversable", "font chooser", "frame",
    "glass pane", "html container", "icon", "image", "internal frame", "label",
    "layered pane", "list", "list item", "menu", "menu bar", "menu item",
    "option pane", "page tab", "page tab list", "panel", "password text", "popup menu",
    "progress bar", "push button", "radio button", "radio menu item", "root pane", "row header",
    "scroll bar", "scroll pane", "separator", "slider", "spin button", "split pane",
    "status bar", "table", "table cell", "table column header", "table row header", "tearoff menu item",
    "terminal", "text", "toggle button", "tool bar", "tool tip", "tree",
    "tree table", "unknown", "viewport", "window", "extended", "header",
    "footer", "paragraph", "ruler", "application", "autocomplete", "editbar",
    "embedded", "entry", "chart", "caption", "document frame", "heading",
    "page", "section", "redundant object", "form", "link", "input method window",
    "table row", "tree item", "document spreadsheet", "document presentation", "document text", "document web",
    "document email", "comment", "list box", "grouping", "image map", "notification",
    "info bar", "level bar", "title bar", "block quote", "audio", "video",
    "definition", "article", "landmark", "log", "marquee", "math",
    "rating", "timer", "static", "math fraction", "math root", "subscript",
    "superscript", "description list", "description term", "description value", "footnote", "content deletion",
    "content insertion", "mark", "suggestion", "push button menu",
};

std::string RoleName(std::uint32_t role) {
    return role < std::size(kRoleNames) ? kRoleNames[role] : "unknown";
}

// Containers whose contents are items rather than controls (rows, cells,
// menu entries, document content), as a Win32 list view's rows are not child
// windows. They count as one node; their contents are not walked, which also
// keeps a dialog with a long list as quick as any other.
bool HoldsItems(std::uint32_t role) {
    switch (role) {
        case kRoleList:
        case kRoleListBox:
        case kRoleTable:
        case kRoleTree:
        case kRoleTreeTable:
        case kRoleMenuBar:
        case kRoleMenu:
        case kRolePopupMenu:
        case kRoleComboBox:
        case kRoleDocumentFrame:
        case kRoleDocumentWeb:
        case kRoleDocumentText:
        case kRoleDocumentEmail:
        case kRoleDocumentSpreadsheet:
        case kRoleDocumentPresentation:
        case kRoleTerminal:
            return true;
        default:
            return false;
    }
}

// How far two rectangles lie apart (sum of the edge distances); negative
// when they do not overlap at all.
long RectDistance(const Rect4& a, const Rect4& b) {
    const bool overlap =
        a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
    if (!overlap) return -1;
    auto d = [](long p, long q) { return p > q ? p - q : q - p; };
    return d(a.x, b.x) + d(a.y, b.y) + d(long{a.x} + a.w, long{b.x} + b.w) +
           d(long{a.y} + a.h, long{b.y} + b.h);
}

bool TitleMatches(const std::string& accName, const std::string& title) {
    if (accName == title) return true;
    // Qt gives the window system the title with the program's display name
    // after an em dash ("Delete? \u2014 KDialog"), the bus the title alone.
    static const std::string kQtSeparator = " \xE2\x80\x94 ";
    if (!accName.empty() && title.size() > accName.size() + kQtSeparator.size() &&
        title.compare(0, accName.size(), accName) == 0 &&
        title.compare(accName.size(), kQtSeparator.size(), kQtSeparator) == 0)
        return true;
    return title.size() + 4 > kTitleCut && accName.size() > title.size() &&
           accName.compare(0, title.size(), title) == 0;
}

bool IsButtonId(int id) { return id == 1 || id == 2 || id == 4 || id == 5 || id == 6 || id == 7; }

// The place of the first id that an accessible name stands for; ids.size()
// when it stands for none of them.
std::size_t RankOfName(std::span<const int> ids, const std::string& name) {
    for (std::size_t r = 0; r < ids.size(); ++r)
        if (ButtonNameMatches(ids[r], name)) return r;
    return ids.size();
}

// ---- Messages ------------------------------------------------------------

// A method call on an accessible; none when the object's names are not
// valid D-Bus names (they come from other programs, and libdbus aborts on
// invalid ones).
DBusMessagePtr NewCall(const Obj& o, const char* interface, const char* method) {
    if (!dbus_validate_bus_name(o.bus.c_str(), nullptr) || !dbus_validate_path(o.path.c_str(), nullptr))
        return {};
    return DBusMessagePtr(dbus_message_new_method_call(o.bus.c_str(), o.path.c_str(), interface, method));
}

DBusMessagePtr NewCallInt(const Obj& o, const char* interface, const char* method, std::int32_t arg) {
    DBusMessagePtr m = NewCall(o, interface, method);
    if (m && !dbus_message_append_args(m.get(), DBUS_TYPE_INT32, &arg, DBUS_TYPE_INVALID)) m.reset();
    return m;
}

DBusMessagePtr NewCallUint(const Obj& o, const char* interface, const char* method, std::uint32_t arg) {
    DBusMessagePtr m = NewCall(o, interface, method);
    if (m && !dbus_message_append_args(m.get(), DBUS_TYPE_UINT32, &arg, DBUS_TYPE_INVALID)) m.reset();
    return m;
}

DBusMessagePtr NewGetProperty(const Obj& o, const char* interface, const char* property) {
    DBusMessagePtr m = NewCall(o, DBUS_INTERFACE_PROPERTIES, "Get");
    if (m && !dbus_message_append_args(m.get(), DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &property,
                                       DBUS_TYPE_INVALID))
        m.reset();
    return m;
}

// Sends the calls at once and waits for all their replies, so that the few
// facts asked of one object cost one round trip. A reply is none where the
// call failed, was answered with an error, or timed out.
std::vector<DBusMessagePtr> Exchange(DBusConnection* bus, std::span<DBusMessagePtr> calls, int timeoutMs) {
    std::vector<DBusPendingCall*> pending(calls.size(), nullptr);
    for (std::size_t i = 0; i < calls.size(); ++i)
        if (calls[i] && !dbus_connection_send_with_reply(bus, calls[i].get(), &pending[i], timeoutMs))
            pending[i] = nullptr;
    std::vector<DBusMessagePtr> replies(calls.size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (!pending[i]) continue;
        dbus_pending_call_block(pending[i]);
        replies[i].reset(dbus_pending_call_steal_reply(pending[i]));
        dbus_pending_call_unref(pending[i]);
        if (replies[i] && dbus_message_get_type(replies[i].get()) != DBUS_MESSAGE_TYPE_METHOD_RETURN)
            replies[i].reset();
    }
    return replies;
}

DBusMessagePtr Exchange1(DBusConnection* bus, DBusMessagePtr call, int timeoutMs) {
    return std::move(Exchange(bus, std::span<DBusMessagePtr>(&call, 1), timeoutMs).front());
}

// Reads an object reference (so) at the iterator.
bool ReadObj(DBusMessageIter* it, Obj& out) {
    if (dbus_message_iter_get_arg_type(it) != DBUS_TYPE_STRUCT) return false;
    DBusMessageIter s;
    dbus_message_iter_recurse(it, &s);
    const char* bus = nullptr;
    const char* path = nullptr;
    if (dbus_message_iter_get_arg_type(&s) != DBUS_TYPE_STRING) return false;
    dbus_message_iter_get_basic(&s, &bus);
    if (!dbus_message_iter_next(&s) || dbus_message_iter_get_arg_type(&s) != DBUS_TYPE_OBJECT_PATH)
        return false;
    dbus_message_iter_get_basic(&s, &path);
    out = {bus ? bus : "", path ? path : ""};
    return true;
}

bool ReplyObj(DBusMessage* m, Obj& out) {
    DBusMessageIter it;
    return m && dbus_message_iter_init(m, &it) && ReadObj(&it, out);
}

bool ReplyObjs(DBusMessage* m, std::vector<Obj>& out) {
    DBusMessageIter it;
    if (!m || !dbus_message_iter_init(m, &it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_ARRAY)
        return false;
    DBusMessageIter a;
    dbus_message_iter_recurse(&it, &a);
    for (; dbus_message_iter_get_arg_type(&a) != DBUS_TYPE_INVALID; dbus_message_iter_next(&a)) {
        Obj o;
        if (!ReadObj(&a, o)) return false;
        out.push_back(std::move(o));
    }
    return true;
}

namespace {

// A basic value of the given type, plain or (as Properties.Get answers)
// inside a variant.
template <typename T>
bool ReplyBasic(DBusMessage* m, int type, T& out) {
    DBusMessageIter it;
    if (!m || !dbus_message_iter_init(m, &it)) return false;
    DBusMessageIter v;
    if (dbus_message_iter_get_arg_type(&it) == DBUS_TYPE_VARIANT) {
        dbus_message_iter_recurse(&it, &v);
        it = v;
    }
    if (dbus_message_iter_get_arg_type(&it) != type) return false;
    dbus_message_iter_get_basic(&it, &out);
    return true;
}

}  // namespace

bool ReplyString(DBusMessage* m, std::string& out) {
    const char* s = nullptr;
    if (!ReplyBasic(m, DBUS_TYPE_STRING, s)) return false;
    out = s ? s : "";
    return true;
}

bool ReplyInt(DBusMessage* m, std::int32_t& out) {
    dbus_int32_t v = 0;
    if (!ReplyBasic(m, DBUS_TYPE_INT32, v)) return false;
    out = v;
    return true;
}

bool ReplyUint(DBusMessage* m, std::uint32_t& out) {
    dbus_uint32_t v = 0;
    if (!ReplyBasic(m, DBUS_TYPE_UINT32, v)) return false;
    out = v;
    return true;
}

bool ReplyBool(DBusMessage* m, bool& out) {
    dbus_bool_t v = FALSE;
    if (!ReplyBasic(m, DBUS_TYPE_BOOLEAN, v)) return false;
    out = v != FALSE;
    return true;
}

// Extents (iiii).
bool ReplyRect(DBusMessage* m, Rect4& out) {
    DBusMessageIter it;
    if (!m || !dbus_message_iter_init(m, &it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_STRUCT)
        return false;
    DBusMessageIter s;
    dbus_message_iter_recurse(&it, &s);
    int* fields[] = {&out.x, &out.y, &out.w, &out.h};
    for (std::size_t i = 0; i < 4; ++i) {
        if (dbus_message_iter_get_arg_type(&s) != DBUS_TYPE_INT32) return false;
        dbus_int32_t v = 0;
        dbus_message_iter_get_basic(&s, &v);
        *fields[i] = v;
        dbus_message_iter_next(&s);
    }
    return true;
}

// When the process started (in clock ticks since boot), which tells a
// process from a later one with the same id; 0 when unknown.
std::uint64_t ProcessStart(std::uint32_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) return 0;
    // The command name in parentheses may hold spaces: count after its end.
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream rest(line.substr(close + 1));
    std::string field;
    // Fields 3 (state) to 22 (start time).
    for (int i = 3; i <= 22; ++i)
        if (!(rest >> field)) return 0;
    try {
        return std::stoull(field);
    } catch (...) {
        return 0;
    }
}

}  // namespace rw::atspi

// The AT-SPI protocol as the bridge speaks it over D-Bus: the objects and
// roles it knows, the rules it applies to names and places, and the few
// messages it builds and reads. Internal to the bridge.
#pragma once

#include <dbus/dbus.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "BusDiscovery.h"

namespace rw::atspi {

constexpr const char* kRegistry = "org.a11y.atspi.Registry";
constexpr const char* kRootPath = "/org/a11y/atspi/accessible/root";
constexpr const char* kAccessible = "org.a11y.atspi.Accessible";
constexpr const char* kComponent = "org.a11y.atspi.Component";
constexpr const char* kAction = "org.a11y.atspi.Action";

enum Role : std::uint32_t {
    kRoleComboBox = 11,
    kRoleLabel = 29,
    kRoleList = 31,
    kRoleMenu = 33,
    kRoleMenuBar = 34,
    kRolePopupMenu = 41,
    kRolePushButton = 43,
    kRoleTable = 55,
    kRoleTerminal = 60,
    kRoleTree = 65,
    kRoleTreeTable = 66,
    kRoleDocumentFrame = 82,
    kRoleDocumentSpreadsheet = 92,
    kRoleDocumentPresentation = 93,
    kRoleDocumentText = 94,
    kRoleDocumentWeb = 95,
    kRoleDocumentEmail = 96,
    kRoleListBox = 98,
};

std::string RoleName(std::uint32_t role);
// Containers whose contents are items rather than controls (rows, cells,
// menu entries, document content), as a Win32 list view's rows are not child
// windows. They count as one node; their contents are not walked, which also
// keeps a dialog with a long list as quick as any other.
bool HoldsItems(std::uint32_t role);

struct Rect4 {
    int x = 0, y = 0, w = 0, h = 0;
};

// How far two rectangles lie apart (sum of the edge distances); negative
// when they do not overlap at all.
long RectDistance(const Rect4& a, const Rect4& b);

// Byte length of the window titles the backend hands us at most: a longer
// title arrives cut, so a title of that length matches by its start.
constexpr std::size_t kTitleCut = 259;
// A title also matches the accessible name that it holds before Qt's
// separator (" \u2014 ") and the program's display name.
bool TitleMatches(const std::string& accName, const std::string& title);

bool IsButtonId(int id);
// The place of the first id that an accessible name stands for; ids.size()
// when it stands for none of them.
std::size_t RankOfName(std::span<const int> ids, const std::string& name);

// An accessible object: the application's bus name and the object's path.
struct Obj {
    std::string bus;
    std::string path;
    explicit operator bool() const { return !bus.empty(); }
};

// A method call on an accessible; none when the object's names are not
// valid D-Bus names (they come from other programs, and libdbus aborts on
// invalid ones).
DBusMessagePtr NewCall(const Obj& o, const char* interface, const char* method);
DBusMessagePtr NewCallInt(const Obj& o, const char* interface, const char* method, std::int32_t arg);
DBusMessagePtr NewCallUint(const Obj& o, const char* interface, const char* method, std::uint32_t arg);
DBusMessagePtr NewGetProperty(const Obj& o, const char* interface, const char* property);
// Sends the calls at once and waits for all their replies, so that the few
// facts asked of one object cost one round trip. A reply is none where the
// call failed, was answered with an error, or timed out.
std::vector<DBusMessagePtr> Exchange(DBusConnection* bus, std::span<DBusMessagePtr> calls, int timeoutMs);
DBusMessagePtr Exchange1(DBusConnection* bus, DBusMessagePtr call, int timeoutMs);

// Reads an object reference (so) at the iterator.
bool ReadObj(DBusMessageIter* it, Obj& out);
bool ReplyObj(DBusMessage* m, Obj& out);
bool ReplyObjs(DBusMessage* m, std::vector<Obj>& out);
// Plain or (as Properties.Get answers) inside a variant.
bool ReplyString(DBusMessage* m, std::string& out);
bool ReplyInt(DBusMessage* m, std::int32_t& out);
bool ReplyUint(DBusMessage* m, std::uint32_t& out);
bool ReplyBool(DBusMessage* m, bool& out);
// Extents (iiii).
bool ReplyRect(DBusMessage* m, Rect4& out);

// When the process started (in clock ticks since boot), which tells a
// process from a later one with the same id; 0 when unknown.
std::uint64_t ProcessStart(std::uint32_t pid);

}  // namespace rw::atspi

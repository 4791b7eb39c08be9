// The accessibility bus's events as the accessible windows read them, and
// the book of frames kept from them: which window exists, which is in front,
// which control has the focus. Messages are built here; no bus is needed.
#include <dbus/dbus.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "backends/atspi/AccEvents.h"

namespace {

using rw::WinHandle;
using rw::atspi::AccEvent;
using rw::atspi::FrameBook;
using rw::atspi::ParseEvent;
using T = AccEvent::Type;

struct MessageDeleter {
    void operator()(DBusMessage* m) const { dbus_message_unref(m); }
};
using Message = std::unique_ptr<DBusMessage, MessageDeleter>;

// An AT-SPI event signal (detail, detail1, detail2, any_data, properties);
// any_data a string, or an object reference when objBus is given.
Message Event(const char* sender, const char* path, const char* interface, const char* member, const char* detail,
              int detail1, const std::string& text = "", const char* objBus = nullptr, const char* objPath = "/") {
    Message m(dbus_message_new_signal(path, interface, member));
    dbus_message_set_sender(m.get(), sender);
    DBusMessageIter it, v, s, props;
    dbus_message_iter_init_append(m.get(), &it);
    dbus_int32_t d1 = detail1, d2 = 0;
    dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &detail);
    dbus_message_iter_append_basic(&it, DBUS_TYPE_INT32, &d1);
    dbus_message_iter_append_basic(&it, DBUS_TYPE_INT32, &d2);
    if (objBus != nullptr) {
        dbus_message_iter_open_container(&it, DBUS_TYPE_VARIANT, "(so)", &v);
        dbus_message_iter_open_container(&v, DBUS_TYPE_STRUCT, nullptr, &s);
        dbus_message_iter_append_basic(&s, DBUS_TYPE_STRING, &objBus);
        dbus_message_iter_append_basic(&s, DBUS_TYPE_OBJECT_PATH, &objPath);
        dbus_message_iter_close_container(&v, &s);
    } else {
        const char* t = text.c_str();
        dbus_message_iter_open_container(&it, DBUS_TYPE_VARIANT, "s", &v);
        dbus_message_iter_append_basic(&v, DBUS_TYPE_STRING, &t);
    }
    dbus_message_iter_close_container(&it, &v);
    dbus_message_iter_open_container(&it, DBUS_TYPE_ARRAY, "{sv}", &props);
    dbus_message_iter_close_container(&it, &props);
    return m;
}

constexpr const char* kWindow = "org.a11y.atspi.Event.Window";
constexpr const char* kObject = "org.a11y.atspi.Event.Object";
constexpr const char* kFrame = "/org/a11y/atspi/accessible/16";
constexpr const char* kRoot = "/org/a11y/atspi/accessible/root";

AccEvent Ev(T type, const std::string& bus, const std::string& path = "", const std::string& title = "") {
    return AccEvent{type, bus, path, title};
}

TEST(AccEvents, WindowEventsNameTheFrameAndItsTitle) {
    EXPECT_EQ(ParseEvent(Event(":1.52", kFrame, kWindow, "Activate", "", 0, "RW Entry").get()),
              Ev(T::Activated, ":1.52", kFrame, "RW Entry"));
    EXPECT_EQ(ParseEvent(Event(":1.52", kFrame, kWindow, "Deactivate", "", 0, "RW Entry").get()),
              Ev(T::Deactivated, ":1.52", kFrame));
    EXPECT_EQ(ParseEvent(Event(":1.52", kFrame, kWindow, "Create", "", 0, "W Two").get()),
              Ev(T::Created, ":1.52", kFrame, "W Two"));
    EXPECT_EQ(ParseEvent(Event(":1.52", kFrame, kWindow, "Destroy", "", 0, "W Two").get()),
              Ev(T::Destroyed, ":1.52", kFrame));
    EXPECT_EQ(ParseEvent(Event(":1.52", kFrame, kWindow, "Close", "", 0).get()), Ev(T::Destroyed, ":1.52", kFrame));
    // Moves, resizes and the like are not followed.
    EXPECT_EQ(ParseEvent(Event(":1.52", kFrame, kWindow, "Move", "", 0).get()).type, T::None);
}

TEST(AccEvents, StateChangesOfActiveAndFocused) {
    EXPECT_EQ(ParseEvent(Event(":1.4", kFrame, kObject, "StateChanged", "active", 1).get()),
              Ev(T::ActiveState, ":1.4", kFrame));
    EXPECT_EQ(ParseEvent(Event(":1.4", kFrame, kObject, "StateChanged", "active", 0).get()),
              Ev(T::Deactivated, ":1.4", kFrame));
    EXPECT_EQ(ParseEvent(Event(":1.4", "/o/13", kObject, "StateChanged", "focused", 1).get()),
              Ev(T::Focused, ":1.4", "/o/13"));
    EXPECT_EQ(ParseEvent(Event(":1.4", "/o/13", kObject, "StateChanged", "focused", 0).get()),
              Ev(T::Unfocused, ":1.4", "/o/13"));
    EXPECT_EQ(ParseEvent(Event(":1.4", "/o/13", kObject, "StateChanged", "showing", 1).get()).type, T::None);
}

TEST(AccEvents, ProgramsComingAndGoing) {
    // The registry's root lists the programs: one of another bus.
    EXPECT_EQ(ParseEvent(Event(":1.1", kRoot, kObject, "ChildrenChanged", "add", 0, "", ":1.53", kRoot).get()),
              Ev(T::AppAdded, ":1.53"));
    EXPECT_EQ(ParseEvent(Event(":1.1", kRoot, kObject, "ChildrenChanged", "remove", 0, "", ":1.53", kRoot).get()),
              Ev(T::AppGone, ":1.53"));
    // A program's own root lists its windows, objects of its own bus.
    EXPECT_EQ(ParseEvent(Event(":1.53", kRoot, kObject, "ChildrenChanged", "add", 0, "", ":1.53", kFrame).get()).type,
              T::None);
    // The bus daemon: a connection ended.
    Message gone(dbus_message_new_signal(DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "NameOwnerChanged"));
    const char* name = ":1.53";
    const char* empty = "";
    dbus_message_append_args(gone.get(), DBUS_TYPE_STRING, &name, DBUS_TYPE_STRING, &name, DBUS_TYPE_STRING, &empty,
                             DBUS_TYPE_INVALID);
    EXPECT_EQ(ParseEvent(gone.get()), Ev(T::AppGone, ":1.53"));
    // A name taken, or a well-known name let go, is no program leaving.
    Message taken(dbus_message_new_signal(DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "NameOwnerChanged"));
    dbus_message_append_args(taken.get(), DBUS_TYPE_STRING, &name, DBUS_TYPE_STRING, &empty, DBUS_TYPE_STRING, &name,
                             DBUS_TYPE_INVALID);
    EXPECT_EQ(ParseEvent(taken.get()).type, T::None);
    const char* wellKnown = "org.a11y.Bus";
    Message released(dbus_message_new_signal(DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "NameOwnerChanged"));
    dbus_message_append_args(released.get(), DBUS_TYPE_STRING, &wellKnown, DBUS_TYPE_STRING, &name, DBUS_TYPE_STRING,
                             &empty, DBUS_TYPE_INVALID);
    EXPECT_EQ(ParseEvent(released.get()).type, T::None);
}

TEST(AccEvents, MalformedMessagesAreNothing) {
    EXPECT_EQ(ParseEvent(nullptr).type, T::None);
    // Arguments missing or of the wrong types.
    Message bare(dbus_message_new_signal(kFrame, kWindow, "Activate"));
    dbus_message_set_sender(bare.get(), ":1.5");
    EXPECT_EQ(ParseEvent(bare.get()).type, T::None);
    Message wrong(dbus_message_new_signal(kFrame, kObject, "StateChanged"));
    dbus_message_set_sender(wrong.get(), ":1.5");
    const dbus_int32_t n = 1;
    dbus_message_append_args(wrong.get(), DBUS_TYPE_INT32, &n, DBUS_TYPE_INVALID);
    EXPECT_EQ(ParseEvent(wrong.get()).type, T::None);
    // Not from a program's unique name.
    EXPECT_EQ(ParseEvent(Event("org.example.App", kFrame, kWindow, "Activate", "", 0).get()).type, T::None);
    // A method call is no event.
    Message call(dbus_message_new_method_call(":1.5", kFrame, kWindow, "Activate"));
    EXPECT_EQ(ParseEvent(call.get()).type, T::None);
    // No title: the event still counts.
    Message noAny(dbus_message_new_signal(kFrame, kWindow, "Activate"));
    dbus_message_set_sender(noAny.get(), ":1.5");
    const char* detail = "";
    dbus_message_append_args(noAny.get(), DBUS_TYPE_STRING, &detail, DBUS_TYPE_INT32, &n, DBUS_TYPE_INVALID);
    EXPECT_EQ(ParseEvent(noAny.get()), Ev(T::Activated, ":1.5", kFrame));
}

// ---- The book -------------------------------------------------------------

TEST(FrameBook, ActivationAnnouncesANewWindowThenTheForeground) {
    FrameBook book;
    book.Apply(Ev(T::Activated, ":1.2", "/f", "RW Entry"));
    const WinHandle w = book.Find(":1.2", "/f");
    ASSERT_NE(w, 0u);
    EXPECT_EQ(book.Foreground(), w);
    EXPECT_EQ(book.Get(w)->title, "RW Entry");
    const auto news = book.Take();
    EXPECT_EQ(news.shell, (std::vector<std::pair<std::uint32_t, WinHandle>>{{1, w}, {4, w}}));
    // Told twice (window:activate and state-changed:active): once is news.
    book.Apply(Ev(T::ActiveState, ":1.2", "/f"));
    book.Apply(Ev(T::Activated, ":1.2", "/f"));
    EXPECT_FALSE(book.HasNews());
    EXPECT_EQ(book.Get(w)->title, "RW Entry") << "an event without a title keeps the one known";
}

TEST(FrameBook, TheFrameActivatedLastAndNotDeactivatedIsInFront) {
    FrameBook book;
    book.Apply(Ev(T::Activated, ":1.2", "/a"));
    book.Apply(Ev(T::Activated, ":1.3", "/b"));
    const WinHandle a = book.Find(":1.2", "/a"), b = book.Find(":1.3", "/b");
    EXPECT_EQ(book.Foreground(), b);
    // The old one's deactivation, arriving late, changes nothing.
    book.Apply(Ev(T::Deactivated, ":1.2", "/a"));
    EXPECT_EQ(book.Foreground(), b);
    book.Apply(Ev(T::Deactivated, ":1.3", "/b"));
    EXPECT_EQ(book.Foreground(), 0u);
    book.Apply(Ev(T::Activated, ":1.2", "/a"));
    EXPECT_EQ(book.Foreground(), a);
    EXPECT_TRUE(book.EverActivated());
}

TEST(FrameBook, AnActiveItemIsNoWindow) {
    // Tables mark their active cell with the same state: an object that is
    // no known frame is left to the owner.
    FrameBook book;
    book.Apply(Ev(T::ActiveState, ":1.2", "/cell"));
    EXPECT_EQ(book.Size(), 0u);
    EXPECT_EQ(book.Foreground(), 0u);
    EXPECT_FALSE(book.EverActivated());
}

TEST(FrameBook, HandlesAreNeverGivenTwice) {
    FrameBook book;
    book.Apply(Ev(T::Activated, ":1.2", "/f"));
    const WinHandle first = book.Find(":1.2", "/f");
    // GTK says destroy when it merely hides a window; shown again, the
    // same object is a new window.
    book.Apply(Ev(T::Destroyed, ":1.2", "/f"));
    EXPECT_EQ(book.Foreground(), 0u);
    EXPECT_EQ(book.Get(first), nullptr);
    book.Apply(Ev(T::Activated, ":1.2", "/f"));
    const WinHandle second = book.Find(":1.2", "/f");
    EXPECT_NE(second, first);
    EXPECT_GT(second, first);
    const auto news = book.Take();
    EXPECT_EQ(news.gone, (std::vector<WinHandle>{first}));
}

TEST(FrameBook, AProgramLeavingTakesItsWindowsAndFocus) {
    FrameBook book;
    book.Apply(Ev(T::Created, ":1.2", "/a"));
    book.Apply(Ev(T::Activated, ":1.2", "/b"));
    book.Apply(Ev(T::Activated, ":1.3", "/c"));
    book.Apply(Ev(T::Focused, ":1.2", "/entry"));
    const WinHandle a = book.Find(":1.2", "/a"), b = book.Find(":1.2", "/b"), c = book.Find(":1.3", "/c");
    book.Take();
    EXPECT_EQ(book.FocusOf(":1.2"), "/entry");
    book.Apply(Ev(T::Activated, ":1.2", "/b"));
    book.Apply(Ev(T::AppGone, ":1.2"));
    EXPECT_EQ(book.Foreground(), 0u);
    EXPECT_EQ(book.FocusOf(":1.2"), "");
    EXPECT_NE(book.Get(c), nullptr);
    auto gone = book.Take().gone;
    std::sort(gone.begin(), gone.end());
    EXPECT_EQ(gone, (std::vector<WinHandle>{a, b}));
}

TEST(FrameBook, TheFocusedControlOfEachProgram) {
    FrameBook book;
    book.Apply(Ev(T::Focused, ":1.2", "/x"));
    book.Apply(Ev(T::Focused, ":1.2", "/y"));
    EXPECT_EQ(book.FocusOf(":1.2"), "/y");
    // Losing the focus of another control than the focused one: no change.
    book.Apply(Ev(T::Unfocused, ":1.2", "/x"));
    EXPECT_EQ(book.FocusOf(":1.2"), "/y");
    book.Apply(Ev(T::Unfocused, ":1.2", "/y"));
    EXPECT_EQ(book.FocusOf(":1.2"), "");
}

TEST(FrameBook, BoundedWithoutDroppingTheForeground) {
    FrameBook book;
    book.Apply(Ev(T::Activated, ":1.2", "/front"));
    const WinHandle front = book.Find(":1.2", "/front");
    for (std::size_t i = 0; i < FrameBook::kMaxFrames + 10; ++i)
        book.Apply(Ev(T::Created, ":1.3", "/w" + std::to_string(i)));
    EXPECT_LE(book.Size(), FrameBook::kMaxFrames);
    EXPECT_EQ(book.Foreground(), front);
    EXPECT_NE(book.Get(front), nullptr);
    // The oldest others went first, and were told as gone.
    EXPECT_EQ(book.Find(":1.3", "/w0"), 0u);
    EXPECT_NE(book.Find(":1.3", "/w" + std::to_string(FrameBook::kMaxFrames + 9)), 0u);
    EXPECT_EQ(book.Take().gone.size(), 11u);
}

TEST(FrameBook, ClearedWhenTheBusIsLost) {
    FrameBook book;
    book.Apply(Ev(T::Activated, ":1.2", "/a"));
    book.Apply(Ev(T::Focused, ":1.2", "/e"));
    book.Take();
    book.Clear();
    EXPECT_EQ(book.Foreground(), 0u);
    EXPECT_EQ(book.Size(), 0u);
    EXPECT_EQ(book.FocusOf(":1.2"), "");
    EXPECT_EQ(book.Take().gone.size(), 1u);
}

}  // namespace

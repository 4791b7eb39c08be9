// The inside of AccessibleWindows: its connection to the accessibility bus,
// the events it reads there and the calls it makes into programs. Included
// by AccessibleWindows' own files and by the typing, which speaks over the
// same connection.
#pragma once

#include <dbus/dbus.h>

#include <chrono>
#include <initializer_list>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "AccEvents.h"
#include "AccessibleWindows.h"
#include "AtspiWire.h"
#include "BusDiscovery.h"

namespace rw::atspi {

constexpr const char* kText = "org.a11y.atspi.Text";
constexpr const char* kEditableText = "org.a11y.atspi.EditableText";

// AT-SPI states, as bits of the 64 that GetState answers.
enum State : int {
    kStateActive = 1,
    kStateEditable = 7,
    kStateFocused = 12,
    kStateMultiLine = 17,
    kStateIsDefault = 39,
};

// The states of an object (GetState's two words); false when unreadable.
bool ReplyStates(DBusMessage* m, std::uint64_t& out);
inline bool HasState(std::uint64_t states, State s) { return ((states >> s) & 1u) != 0; }
// An object reference inside a variant (the Parent property).
bool ReplyVariantObj(DBusMessage* m, Obj& out);

struct AccessibleWindows::Impl {
    using Clock = std::chrono::steady_clock;

    // A program on the bus, by its unique name: what was learnt of it once.
    struct App {
        std::uint32_t pid = 0;
        bool pidAsked = false;
        bool self = false;  // this very process: never called
        std::string name;
        bool named = false;
        std::string toolkit;  // "GTK", "Qt", ...
        bool toolkitAsked = false;
        Clock::time_point hungUntil{};
        // When it came while nothing had ever been activated; whether it
        // was looked at for a window since.
        Clock::time_point cameAt{};
        bool came = false;
        bool looked = false;
        // A program that registered a moment ago: its first window may come
        // to the front before the program has learnt that anyone listens
        // (it then tells nothing), so its windows' states are looked at
        // now and then until this time.
        Clock::time_point youngUntil{};
        Clock::time_point nextLook{};
        // It has told of a window of its own by an event: it knows that we
        // listen, and will tell when the window leaves the front too.
        bool tells = false;
    };

    Options opt;
    DBusConnection* bus = nullptr;
    int epoll = -1;    // what Fd gives; holds the connection's descriptor
    int watched = -1;  // the connection's descriptor in it
    bool started = false;
    bool lostSaid = false;
    bool nothingInFrontSaid = false;
    Clock::time_point retryAt{};
    BusDiscovery discovery;
    FrameBook book;
    std::unordered_map<std::string, App> apps;
    std::vector<std::string> young;  // programs whose windows are looked at
    // The focused control last found inside a frame, while the events tell
    // of no other.
    WinHandle checkedFrame = 0;
    std::string checkedControl;

    ~Impl();

    // ---- The connection (AccWindowsBus.cpp) ----
    bool Connect();
    void Disconnect();
    // The bus went away: every window with it.
    void Lose();
    bool Subscribe();
    // The frame in the ACTIVE state, if any, is in front.
    void Scan();
    void Dispatch();
    void Handle(const AccEvent& e);
    void SayIfNothingInFront();
    // The program's top-level object in the ACTIVE state, if any, is in
    // front; true when one is.
    bool LookForActive(const std::string& busName);
    void LookAtYoungPrograms();
    // Whether the frame is the active one by its own word, asked only of a
    // program that has told nothing by events yet (a call into it); for one
    // that has, the events already say.
    bool FrameActive(WinHandle w);
    // The frame of that title of the program with that process, entered
    // in the book; 0 when there is none.
    WinHandle FrameNamed(std::uint32_t pid, const std::string& title);
    // Waits at most ms for a message to arrive; false when none did.
    bool WaitForMessage(int ms);

    // ---- Calls into programs ----
    App& AppOf(const std::string& busName);
    std::uint32_t PidOf(const std::string& busName);
    // Whether the program may be called: not this process, not hung.
    bool Usable(const std::string& busName);
    // The calls at once, with the call time-out (or less); a program whose
    // call used it up is left alone for a while.
    std::vector<DBusMessagePtr> Calls(std::span<DBusMessagePtr> calls, const std::string& busName, int timeoutMs = -1);
    DBusMessagePtr Call(DBusMessagePtr call, const std::string& busName, int timeoutMs = -1);
    // Whether the program's toolkit counts the length of inserted text in
    // characters (Qt) rather than in bytes (GTK).
    bool CountsCharacters(const std::string& busName);
    // Whether the object is one of its program's top-level objects.
    bool TopLevel(const std::string& busName, const std::string& path);
    // The frame of a handle, when it may be called.
    const FrameBook::Frame* Callable(WinHandle w);

    // ---- Inside a frame (AccessibleWindows.cpp) ----
    // The control of the frame that has the focus: the one the events
    // named when it lies inside the frame, else one found in the FOCUSED
    // state by a bounded walk.
    bool FocusIn(WinHandle w, Obj& control);
    bool Inside(const Obj& o, const Obj& frame);
    bool FindFocused(const Obj& frame, Obj& out);
    bool PressClose(const Obj& frame);
    // Presses the frame's default button (as Return in a dialog would);
    // false when it has none.
    bool PressDefault(const Obj& frame);
    // Carries out the object's action of the first name given that it has
    // (any case); false when it has none of them or did not acknowledge.
    bool DoAction(const Obj& o, std::initializer_list<const char*> names);
};

}  // namespace rw::atspi

// The backend's own connection to the Wayland compositor, apart from Qt's:
// the globals the window system uses (the seat, the foreign-toplevel
// manager, the virtual-keyboard manager, the output), and reading events
// without ever blocking.
//
// Every handler of the connection runs inside Pump or Roundtrip; those are
// never re-entered, so no handler runs inside another one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct wl_display;
struct wl_interface;
struct wl_registry;
struct wl_seat;
struct wl_output;
struct zwlr_foreign_toplevel_manager_v1;
struct zwp_virtual_keyboard_manager_v1;

namespace rw::wl {

class WaylandConnection {
public:
    // Connects (nullptr: $WAYLAND_DISPLAY) and learns the globals.
    explicit WaylandConnection(const char* displayName);
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    // Connected, and the connection has not failed since.
    bool Ok() const;
    int Fd() const;
    wl_display* display() const { return display_; }
    wl_seat* seat() const { return seat_; }
    // The protocols of wlroots compositors; nullptr where the compositor
    // offers none.
    zwlr_foreign_toplevel_manager_v1* toplevels() const { return toplevels_; }
    zwp_virtual_keyboard_manager_v1* virtualKeyboards() const { return virtualKeyboards_; }

    // Binds a global the compositor announced (the first of the interface),
    // at most at maxVersion; nullptr when it offers none. For the protocols
    // of one desktop (KDE's), which the connection does not bind itself.
    void* Bind(const wl_interface& interface, std::uint32_t maxVersion);
    // Whether the compositor announced the interface, by name.
    bool Offers(const char* interfaceName) const;

    // The output's current mode; 0 until it is known.
    std::int32_t ScreenWidth() const { return screenW_; }
    std::int32_t ScreenHeight() const { return screenH_; }

    // Handles what has arrived, without waiting for more. False when the
    // connection has failed.
    bool Pump();
    // Handles everything the compositor sends in answer to what was sent so
    // far (it has then handled our requests). False when the connection
    // failed.
    bool Roundtrip();
    // Whether handled events wait to be read from the queue already.
    bool HasQueuedEvents() const;
    // Requests that the compositor should have handled before the next
    // round trip counts as done (keys); a round trip with none sent since
    // the last one tells nothing new and is skipped by SyncSent.
    void NoteSent() { sent_ = true; }
    // A round trip when something was sent since the last one, else the
    // events that have arrived. False when the connection failed.
    bool SyncSent() { return sent_ ? Roundtrip() : Pump(); }

private:
    static void Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version);
    static void GlobalRemove(void* data, wl_registry* registry, std::uint32_t name);
    static void OutputMode(void* data, wl_output* output, std::uint32_t flags, std::int32_t w, std::int32_t h,
                           std::int32_t refresh);

    struct Announced {
        std::uint32_t name;
        std::string interface;
        std::uint32_t version;
    };
    std::vector<Announced> globals_;
    wl_display* display_ = nullptr;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    wl_output* output_ = nullptr;
    zwlr_foreign_toplevel_manager_v1* toplevels_ = nullptr;
    zwp_virtual_keyboard_manager_v1* virtualKeyboards_ = nullptr;
    std::int32_t screenW_ = 0, screenH_ = 0;
    bool busy_ = false;
    bool sent_ = false;
};

}  // namespace rw::wl

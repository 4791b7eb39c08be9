// The top-level windows (frames) that the accessibility bus told of, and
// which of them is in front: the events that matter, as AccEvents reads
// them from the bus, and the book kept from them. No bus here: the owner
// (AccessibleWindows) feeds the book, and tests can.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/Types.h"

namespace rw::atspi {

struct AccEvent {
    enum class Type {
        None,         // nothing this reader cares about
        Activated,    // bus, path: a frame came to the front; title when told
        ActiveState,  // bus, path: an object became active: a frame that came
                      // to the front, or (tables, lists) an active item
        Deactivated,  // bus, path
        Created,      // bus, path; title when told
        Destroyed,    // bus, path
        Focused,      // bus, path: a control got the focus
        Unfocused,    // bus, path: it lost it
        AppAdded,     // bus: a program registered with the registry
        AppGone,      // bus: a program left the registry or the bus
    };
    Type type = Type::None;
    std::string bus;    // the program's unique bus name
    std::string path;   // the object
    std::string title;  // window events: the frame's name, when the event carries it
    bool operator==(const AccEvent&) const = default;
};

// What changed since it was last taken: shell notifications (1 for a new
// window, 4 for a new foreground) and windows that are gone.
struct FrameNews {
    std::vector<std::pair<std::uint32_t, WinHandle>> shell;
    std::vector<WinHandle> gone;
    bool empty() const { return shell.empty() && gone.empty(); }
};

// The frames known, each under a handle of its own: numbers counted up from
// 0x100, never given twice. No bus: the owner feeds it the events.
class FrameBook {
public:
    struct Frame {
        std::string bus, path;
        std::string title;  // the last name told or read
    };
    // At most this many frames are kept; beyond, the oldest that is not in
    // front is dropped (as gone): programs that never say their windows
    // went cannot make the book grow without end.
    static constexpr std::size_t kMaxFrames = 512;
    static constexpr WinHandle kFirstHandle = 0x100;

    // Applies an event. An object becoming active that is no known frame
    // is left to the owner (see ActiveState).
    void Apply(const AccEvent& e);
    // The frame's handle; a new handle (and notification 1) when it is new.
    WinHandle See(const std::string& bus, const std::string& path, const std::string& title = {});
    // The frame comes to the front (notification 4 when it was not).
    void Activate(const std::string& bus, const std::string& path, const std::string& title = {});
    // Every frame is gone (the bus was lost).
    void Clear();

    WinHandle Find(const std::string& bus, const std::string& path) const;
    const Frame* Get(WinHandle w) const;
    Frame* Get(WinHandle w);
    WinHandle Foreground() const { return foreground_; }
    // Whether any frame has come to the front since the book began.
    bool EverActivated() const { return everActivated_; }
    // The control of the program that has the focus, as the events told;
    // empty when none does (or none was told).
    std::string FocusOf(const std::string& bus) const;
    std::size_t Size() const { return frames_.size(); }

    FrameNews Take();
    bool HasNews() const { return !news_.empty(); }

private:
    void Gone(WinHandle w);
    void AppGone(const std::string& bus);

    std::map<WinHandle, Frame> frames_;
    std::map<std::pair<std::string, std::string>, WinHandle> byName_;
    std::map<std::string, std::string> focus_;  // program -> focused control
    WinHandle next_ = kFirstHandle;
    WinHandle foreground_ = 0;
    bool everActivated_ = false;
    FrameNews news_;
};

}  // namespace rw::atspi

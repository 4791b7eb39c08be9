// Plain values that cross the seam between the portable logic and a window
// system.
#pragma once

#include <cstdint>

namespace rw {

// An opaque 32-bit window handle; 0 means none.
using WinHandle = std::uint32_t;

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    bool operator==(const Rect&) const = default;
};

// Which window a handle names at one moment. Some window systems hand a
// closed window's handle to the next window at once (X reuses ids); the
// generation tells the two apart there. Where handles are not reused at once
// it stays 0 and the handle alone names the window.
struct WindowIdentity {
    WinHandle handle = 0;
    std::uint64_t generation = 0;
    bool operator==(const WindowIdentity&) const = default;
};

// What GetVersionExA reports; on Linux a backend fills in the values of a
// modern NT system so that the NT code paths are taken.
struct OsVersionRaw {
    std::int32_t platformId = 2;  // 2 = NT family
    std::int32_t major = 10;
    std::int32_t minor = 0;
    std::int32_t build = 0;
};

}  // namespace rw

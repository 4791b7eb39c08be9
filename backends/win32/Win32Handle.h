// Window handles between Win32 and the core: the core keeps the 32 bits
// that are significant in a user handle; turning them back sign-extends, as
// the system does for handles handed between 32- and 64-bit processes (so
// HWND_TOPMOST, -1, survives the trip).
#pragma once

#include "backends/win32/Win32Api.h"

#include <cstdint>

#include "platform/Platform.h"

namespace rw {

inline HWND ToHwnd(WinHandle w) {
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(static_cast<std::int32_t>(w)));
}

inline WinHandle FromHwnd(HWND h) {
    return static_cast<WinHandle>(reinterpret_cast<std::uintptr_t>(h));
}

}  // namespace rw

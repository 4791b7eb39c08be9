// Messages posted to other programs' windows (characters, button commands,
// close requests), and the programs that refused one.
//
// User interface privilege isolation drops posts to a program that runs
// with higher rights (as administrator) silently or with
// ERROR_ACCESS_DENIED; such a program is remembered, since the rest of a
// macro would be lost the same way, and its windows count as out of reach.
#pragma once

#include "backends/win32/Win32Api.h"

#include <cstdint>
#include <vector>

namespace rw::win32 {

class Win32Posts {
public:
    // PostMessageA; a refusal is noted before false is returned.
    bool Post(HWND w, UINT msg, WPARAM wParam, LPARAM lParam);
    // Whether the program has refused a post of ours.
    bool Refused(std::uint32_t pid) const;

private:
    void NoteRefusal(HWND w);
    std::vector<std::uint32_t> refusedPids_;
};

}  // namespace rw::win32

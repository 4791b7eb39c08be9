// Small helpers the Win32 roles share: fixed text buffers, owned kernel
// handles and libraries loaded for a few functions.
#pragma once

#include "backends/win32/Win32Api.h"

#include <cstddef>
#include <string>

namespace rw::win32 {

// Text read from the system: fixed 260-byte buffers, cut at the first NUL.
constexpr int kTextBuffer = 260;

inline std::string CutAt(const char* buf, std::size_t max) {
    std::size_t n = 0;
    while (n < max && buf[n] != '\0') ++n;
    return std::string(buf, n);
}

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (valid()) CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

class Library {
public:
    explicit Library(const char* name) : h_(LoadLibraryA(name)) {}
    ~Library() {
        if (h_) FreeLibrary(h_);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    template <class Fn>
    Fn Get(const char* name) const {
        if (!h_) return nullptr;
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(h_, name)));
    }

private:
    HMODULE h_;
};

}  // namespace rw::win32

#include "backends/win32/Win32Clipboard.h"

#include "backends/win32/Win32Api.h"

#include <cstring>

#include "backends/win32/Win32Util.h"

namespace rw::win32 {

namespace {

// The clipboard needs an owner window: opened without one, EmptyClipboard
// leaves it ownerless and SetClipboardData then fails on Windows.
HWND ClipboardOwner() {
    static HWND owner = CreateWindowExA(0, "Static", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        GetModuleHandleA(nullptr), nullptr);
    return owner;
}

class OpenClipboardScope {
public:
    OpenClipboardScope() {
        // Another program may hold the clipboard for a moment.
        for (int i = 0; i < 10 && !open_; ++i) {
            open_ = OpenClipboard(ClipboardOwner()) != 0;
            if (!open_) ::Sleep(10);
        }
    }
    ~OpenClipboardScope() {
        if (open_) CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    bool open() const { return open_; }

private:
    bool open_ = false;
};

}  // namespace

bool Win32Clipboard::ClipboardGetText(std::string& text) {
    OpenClipboardScope cb;
    if (!cb.open()) return false;
    HANDLE data = GetClipboardData(CF_TEXT);
    if (!data) {
        text.clear();
        return true;  // open, but no text on it
    }
    const char* p = static_cast<const char*>(GlobalLock(data));
    if (!p) return false;
    SIZE_T size = GlobalSize(data);
    text = CutAt(p, size);
    GlobalUnlock(data);
    return true;
}

bool Win32Clipboard::ClipboardEmpty() {
    OpenClipboardScope cb;
    return cb.open() && EmptyClipboard();
}

bool Win32Clipboard::ClipboardSetText(const std::string& text) {
    OpenClipboardScope cb;
    if (!cb.open() || !EmptyClipboard()) return false;
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (!mem) return false;
    char* p = static_cast<char*>(GlobalLock(mem));
    if (!p) {
        GlobalFree(mem);
        return false;
    }
    std::memcpy(p, text.c_str(), text.size() + 1);
    GlobalUnlock(mem);
    if (!SetClipboardData(CF_TEXT, mem)) {
        GlobalFree(mem);
        return false;
    }
    return true;  // the clipboard owns mem now
}

}  // namespace rw::win32

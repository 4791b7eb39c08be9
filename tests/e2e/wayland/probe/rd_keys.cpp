// Types text through a remote desktop keyboard of GNOME (mutter's own
// interface, or the desktop portal) into whatever window has the focus,
// without the rest of the program: a driver for trying the keyboard by
// hand and for the scenarios that check it alone.
//
// Usage: rd_keys [--portal] [--wait-ms N] [--pid PID] [--caps-lock] TEXT
// A line feed in TEXT types Return. Waits at most N ms (default 30000) for
// the session (the user's answer, through the portal). PID is the program
// that gets the keys: the keyboard waits for its answers between batches,
// as it does for the program's target. --caps-lock types with Caps Lock on
// (and turns it off again). Prints one line per
// character that could not be typed; exits 0 when every one was, 2 when
// the session never became ready, 1 otherwise.
#include <poll.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "backends/linux/LinuxUtil.h"
#include "backends/posix/PosixProcess.h"
#include "backends/wayland/Desktop.h"
#include "backends/wayland/RemoteDesktopKeyboard.h"
#include "backends/wayland/WaylandConnection.h"
#include "platform/Keys.h"

namespace {

// Every window is the one in front: the probe types wherever the focus is.
class AnyWindow final : public rw::wl::Toplevels {
public:
    rw::WinHandle GetForegroundWindow() override { return 1; }
    bool SetForegroundWindow(rw::WinHandle) override { return false; }
    std::string GetWindowText(rw::WinHandle) override { return {}; }
    std::string GetClassName(rw::WinHandle) override { return {}; }
    bool GetWindowRect(rw::WinHandle, rw::Rect&) override { return false; }
    int IsWindowVisible(rw::WinHandle) override { return 1; }
    int IsIconic(rw::WinHandle) override { return 0; }
    rw::WinHandle GetParent(rw::WinHandle) override { return 0; }
    rw::WinHandle WindowFromPoint(std::int32_t, std::int32_t) override { return 0; }
    void SetWindowPosZOrder(rw::WinHandle, rw::WinHandle) override {}
    bool ShowWindow(rw::WinHandle, std::uint32_t) override { return false; }
    bool PostClose(rw::WinHandle) override { return false; }
    bool WaitUntilAnswers(rw::WinHandle, std::uint32_t) override { return true; }
    rw::WinHandle FocusedControl(rw::WinHandle w) override { return w; }
    // The program that gets the keys, when named: it paces them.
    std::uint32_t GetWindowProcessId(rw::WinHandle) override { return pid; }
    bool Ok() const override { return true; }
    rw::wl::News TakeNews() override { return {}; }
    bool HasNews() const override { return false; }
    bool Alive(rw::WinHandle w) const override { return w == 1; }
    std::uint32_t pid = 0;
};

// The characters of a UTF-8 text, each as its bytes.
std::vector<std::string> Characters(const std::string& text) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = 1;
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead >= 0xF0) {
            n = 4;
        } else if (lead >= 0xE0) {
            n = 3;
        } else if (lead >= 0xC0) {
            n = 2;
        }
        out.push_back(text.substr(i, n));
        i += n;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    auto via = rw::wl::RemoteDesktopKeyboard::Via::Mutter;
    std::uint32_t waitMs = 30000;
    AnyWindow windows;
    bool capsLock = false;
    int i = 1;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
        if (std::strcmp(argv[i], "--portal") == 0) via = rw::wl::RemoteDesktopKeyboard::Via::Portal;
        if (std::strcmp(argv[i], "--wait-ms") == 0 && i + 1 < argc) waitMs = static_cast<std::uint32_t>(std::atoi(argv[++i]));
        if (std::strcmp(argv[i], "--caps-lock") == 0) capsLock = true;
        if (std::strcmp(argv[i], "--pid") == 0 && i + 1 < argc) windows.pid = static_cast<std::uint32_t>(std::atoi(argv[++i]));
    }
    if (i + 1 != argc) {
        std::fputs("usage: rd_keys [--portal] [--wait-ms N] [--pid PID] [--caps-lock] TEXT\n", stderr);
        return 64;
    }
    rw::wl::WaylandConnection c(nullptr);
    if (!c.Ok() || !c.Roundtrip()) {
        std::fputs("rd_keys: no Wayland compositor\n", stderr);
        return 2;
    }
    auto keyboard = rw::wl::RemoteDesktopKeyboard::Open(c, windows, via);
    if (!keyboard || !keyboard->Start()) {
        std::fputs("rd_keys: no remote desktop keyboard this way\n", stderr);
        return 2;
    }
    // The session is ready once a press aimed at the window goes through;
    // until then the program's loop is served.
    const std::uint32_t start = rw::posix::MonotonicMs();
    const rw::WindowIdentity target{1, 0};
    for (;;) {
        if (!keyboard->Ok()) {
            std::fputs("rd_keys: the session ended before it was ready\n", stderr);
            return 2;
        }
        keyboard->AimKeysAt(target);
        keyboard->KeyEvent(0x10, 0, 0);
        keyboard->KeyEvent(0x10, 0, rw::keyflag::KeyUp);
        if (!keyboard->KeysRefused()) break;
        if (rw::posix::MonotonicMs() - start > waitMs) {
            std::fputs("rd_keys: the session did not become ready\n", stderr);
            return 2;
        }
        pollfd p{keyboard->SourceFd(), POLLIN, 0};
        if (!keyboard->SourceQueued()) poll(&p, 1, 100);
        keyboard->DispatchSource();
        c.Pump();
    }
    std::array<std::uint8_t, 256> state{};
    if (capsLock) {
        keyboard->GetKeyboardState(state);
        state[0x14] = 1;
        keyboard->SetKeyboardState(state);
    }
    int failed = 0;
    for (const std::string& ch : Characters(argv[i])) {
        if (!keyboard->PostChar(1, ch)) {
            std::fprintf(stderr, "rd_keys: not typed: %s\n", ch.c_str());
            ++failed;
        }
    }
    if (capsLock) {
        state[0x14] = 0;
        keyboard->SetKeyboardState(state);
    }
    keyboard->EndKeysFor();
    return failed == 0 ? 0 : 1;
}

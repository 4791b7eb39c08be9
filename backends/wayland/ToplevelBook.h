// The bookkeeping that every protocol listing a compositor's windows needs
// in the same way (wlroots' foreign toplevels, KWin's window management):
// handles given in the order windows appear and never again, the news of
// new windows, of the foreground and of windows gone, the window commands
// that only read what the protocol told, and the wait for the program
// behind a window (its accessibility bridge answers on the main loop that
// reads its keys).
//
// A protocol's class keeps an Entry per window (BookEntry and the
// protocol's object and extra states), fills it from its events, and adds
// what the protocol alone does: activating a window, and tying it to its
// accessible frame (Resolve).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "backends/atspi/AccessibilityBridge.h"
#include "backends/linux/LinuxUtil.h"
#include "backends/posix/PosixProcess.h"
#include "backends/wayland/Desktop.h"
#include "backends/wayland/WaylandConnection.h"

namespace rw::wl {

// What the book knows of every window, whatever the protocol.
struct BookEntry {
    std::string title, appId;
    std::uint32_t pid = 0;
    bool minimized = false;
    // Announced once the protocol has told what it knows of the window;
    // until then the window does not exist for the program.
    bool announced = false;
    std::uint32_t bornMs = 0;
    // From the accessibility bus, for the title it was found by.
    std::string frameTitle;
    bool frameFound = false, frameWaited = false;
    std::uint32_t lookedUpMs = 0;
    std::uint32_t answeredMs = 0;  // when the program last answered
};

// Looks the window's accessible frame up by its title, with `look` (which
// tells whether it found the frame, and notes what it found): again when
// the title changed, else only now and then while none is found. A young
// window's frame is waited for a little, once: a new program registers its
// accessible a moment after its window appears.
void LookUpFrame(BookEntry& t, const std::function<bool()>& look);

template <class Entry>
class ToplevelBook : public Toplevels {
public:
    WinHandle GetForegroundWindow() override {
        c_.Pump();
        return Alive(foreground_) ? foreground_ : 0;
    }
    // Asks the compositor to activate w and waits a little for it.
    bool SetForegroundWindow(WinHandle w) override {
        Entry* t = Find(w);
        if (t == nullptr || !Activate(*t)) return false;
        // The compositor answers with the new state; give it a moment.
        for (int i = 0; i < 10; ++i) {
            if (!c_.Roundtrip()) return false;
            if (foreground_ == w) return true;
            if (!Alive(w)) return false;
            posix::SleepMs(10);
        }
        return foreground_ == w;
    }
    std::string GetWindowText(WinHandle w) override {
        const Entry* t = Find(w);
        return t ? lnx::CutUtf8(t->title, 259) : std::string();
    }
    // The app id (zenity, org.kde.kdialog), the Wayland name of a program.
    std::string GetClassName(WinHandle w) override {
        const Entry* t = Find(w);
        return t ? lnx::CutUtf8(t->appId, 259) : std::string();
    }
    int IsWindowVisible(WinHandle w) override {
        const Entry* t = Find(w);
        return t != nullptr && !t->minimized ? 1 : 0;
    }
    int IsIconic(WinHandle w) override {
        const Entry* t = Find(w);
        return t != nullptr && t->minimized ? 1 : 0;
    }
    WinHandle GetParent(WinHandle) override { return 0; }
    // A client cannot see what lies under a point on Wayland.
    WinHandle WindowFromPoint(std::int32_t, std::int32_t) override { return 0; }
    // The stacking order belongs to the compositor.
    void SetWindowPosZOrder(WinHandle, WinHandle) override {}
    // A round trip to the compositor (when keys were sent since the last
    // one): every key sent before has then been handed to the window's
    // program; and, now and then, an answer from the program itself.
    bool WaitUntilAnswers(WinHandle w, std::uint32_t timeoutMs) override {
        if (!Alive(w) || !c_.SyncSent() || !Alive(w)) return false;
        // The compositor has handed on all we sent; whether the program has
        // read it, only the program can tell. Its accessibility bridge
        // answers on its main loop, which reads the keys: waiting for that
        // answer keeps the keys from piling up in a slow program's socket
        // (the compositor drops a program whose socket overflows).
        Entry* t = Find(w);
        if (t == nullptr) return false;
        Resolve(w, *t);
        if (!t->frameFound) return true;
        // One answer stands for the few keys that follow it within a short
        // while: enough to keep a slow program from being flooded, without
        // a call into the program for every key.
        if (t->answeredMs != 0 && posix::MonotonicMs() - t->answeredMs < kAnswerHoldsMs) return true;
        if (!bridge_.Answers(t->pid, static_cast<int>(timeoutMs))) return false;
        t->answeredMs = posix::MonotonicMs();
        return true;
    }
    // The window in front has the focus; nothing inside it can be told.
    WinHandle FocusedControl(WinHandle w) override { return w != 0 && w == GetForegroundWindow() ? w : 0; }

    bool Alive(WinHandle w) const override {
        auto it = entries_.find(w);
        return w != 0 && it != entries_.end() && it->second.announced;
    }
    News TakeNews() override {
        News out;
        std::swap(out, news_);
        return out;
    }
    bool HasNews() const override { return !news_.empty(); }

protected:
    explicit ToplevelBook(WaylandConnection& c) : c_(c) {}

    // Asks the compositor to activate the window; false where it cannot.
    virtual bool Activate(Entry& t) = 0;
    // Ties the window to its accessible frame (its program's pid).
    virtual void Resolve(WinHandle w, Entry& t) = 0;

    // A new window of the protocol, under a handle never given before.
    template <class Handle>
    Entry& Add(Handle* h) {
        Entry& t = entries_[nextHandle_++];
        t.handle = h;
        t.bornMs = posix::MonotonicMs();
        return t;
    }
    // An announced window.
    Entry* Find(WinHandle w) {
        if (w == 0) return nullptr;
        auto it = entries_.find(w);
        return it == entries_.end() || !it->second.announced ? nullptr : &it->second;
    }
    // The window of a protocol object, announced or not.
    template <class Handle>
    Entry* FindByHandle(Handle* h, WinHandle* id = nullptr) {
        for (auto& [w, t] : entries_) {
            if (t.handle == h) {
                if (id != nullptr) *id = w;
                return &t;
            }
        }
        return nullptr;
    }
    // The window is told to the program (once).
    void Announce(WinHandle w, Entry& t) {
        if (t.announced) return;
        t.announced = true;
        news_.shell.emplace_back(1, w);
    }
    // The foreground follows the window's activated state.
    void NoteActive(WinHandle w, bool active) {
        if (active && foreground_ != w) {
            foreground_ = w;
            news_.shell.emplace_back(4, w);
        } else if (!active && foreground_ == w) {
            foreground_ = 0;
        }
    }
    // The window is gone (its protocol object already destroyed).
    void Forget(WinHandle w, bool tellGone) {
        entries_.erase(w);
        if (foreground_ == w) foreground_ = 0;
        if (tellGone) news_.gone.push_back(w);
    }

    WaylandConnection& c_;
    std::map<WinHandle, Entry> entries_;
    atspi::AccessibilityBridge bridge_;

private:
    static constexpr std::uint32_t kAnswerHoldsMs = 15;

    WinHandle nextHandle_ = 0x100;
    WinHandle foreground_ = 0;
    News news_;
};

}  // namespace rw::wl

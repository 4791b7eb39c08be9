// Top-level windows of any program: what they are, which is in front, and
// the few things the logic does to them. Every operation accepts 0 (or a
// window that is gone) and then yields 0, empty text, false or a zeroed
// rectangle.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace rw {

class Windows {
public:
    virtual ~Windows() = default;
    virtual WinHandle GetForegroundWindow() = 0;
    virtual bool SetForegroundWindow(WinHandle w) = 0;
    // The window a handle names now, and whether it still names that very
    // window: false once that window is gone, even when the handle has been
    // handed to a new window meanwhile. Whoever holds a handle across a wait
    // asks this before acting on it.
    virtual WindowIdentity IdentifyWindow(WinHandle w) { return {w, 0}; }
    virtual bool IsSameWindow(const WindowIdentity& id) { return id.handle != 0; }
    // Whether typed characters, commands and keys of ours reach the window
    // at all: Windows keeps a program that runs as administrator out of
    // reach of one that does not.
    virtual bool InputReaches(WinHandle w) { return w != 0; }
    // At most 259 bytes, as a 260-byte buffer would hold, never cut inside
    // a multi-byte character. The class has the same bound.
    virtual std::string GetWindowText(WinHandle w) = 0;
    virtual std::string GetClassName(WinHandle w) = 0;
    virtual bool GetWindowRect(WinHandle w, Rect& r) = 0;
    // The raw answer of the visibility query (1 when visible).
    virtual int IsWindowVisible(WinHandle w) = 0;
    virtual int IsIconic(WinHandle w) = 0;
    virtual WinHandle GetParent(WinHandle w) = 0;
    // Whether the window has a title bar (both caption style bits on
    // Windows). Where controls are no windows, every top-level window has.
    virtual bool HasCaption(WinHandle w) { return w != 0 && GetParent(w) == 0; }
    virtual WinHandle WindowFromPoint(std::int32_t x, std::int32_t y) = 0;
    // Changes only the z-order (no size, no move, no activation).
    virtual void SetWindowPosZOrder(WinHandle w, WinHandle insertAfter) = 0;
    // One of the show:: commands; false when the window does not exist.
    virtual bool ShowWindow(WinHandle w, std::uint32_t cmd) = 0;
    // Queues a request to close, as the window's close box would.
    virtual bool PostClose(WinHandle w) = 0;
    // Waits until the window's program has handled everything sent to it so
    // far, at most timeoutMs. False on time-out or when it cannot be asked.
    virtual bool WaitUntilAnswers(WinHandle w, std::uint32_t timeoutMs) = 0;
    // Asks for w in front where a plain request was refused: a window system
    // that lets only the foreground's owner hand the foreground on (Windows)
    // borrows that owner's input state for the request. True when w is in
    // front then.
    virtual bool ForceForeground(WinHandle w) { return SetForegroundWindow(w); }
    // The control that has the keyboard focus inside the top-level window w
    // (of any program); 0 when none can be told.
    virtual WinHandle FocusedControl(WinHandle w) = 0;
    // The process that owns the window; 0 when it cannot be told.
    virtual std::uint32_t GetWindowProcessId(WinHandle w) = 0;
};

// Other programs' processes.
class Processes {
public:
    virtual ~Processes() = default;
    // Priority class of a process; 0 when it cannot be read.
    virtual std::uint32_t GetPriorityClass(std::uint32_t pid) = 0;
    virtual bool SetPriorityClass(std::uint32_t pid, std::uint32_t priorityClass) = 0;
    // Waits at most timeoutMs until the process waits for input.
    virtual void WaitForInputIdle(std::uint32_t pid, std::uint32_t timeoutMs) = 0;
    // Full path of a process's executable, in the platform's case; empty when
    // it cannot be found.
    virtual std::string GetProcessModulePath(std::uint32_t pid) = 0;
    // File names of the 16-bit tasks running inside a shared virtual machine
    // process, in enumeration order; empty where there is no such machine.
    virtual std::vector<std::string> EnumVdmTaskFiles(std::uint32_t pid) = 0;
    // Whether a process with this id runs; true where it cannot be told.
    virtual bool ProcessRunning(std::uint32_t pid) {
        (void)pid;
        return true;
    }
};

}  // namespace rw

// Dialog contents of X11 programs through the accessibility bus (AT-SPI).
//
// X11 dialogs have no child windows for their controls: GTK and Qt draw them
// themselves and publish them as accessible objects on the AT-SPI bus. This
// bridge finds the accessible object that stands for one top-level X window
// and reads or presses what it contains.
//
// Finding the window: the application is the one registered on the bus with
// the window's process id; among its top-level accessibles (frames, dialogs,
// ...) the one whose name equals the window title is taken (a title of 259
// bytes, which may have been cut, matches by its start), and when several
// do, the one whose screen extents lie closest to the given rectangle.
// Extents only choose: GTK 4 reports window-relative positions on X11 and
// scaled toolkits report logical pixels, so a name match is never dropped for
// its extents. When no name matches, a single top-level accessible that sits
// where the window sits is taken instead.
//
// The walk: depth-first, parents before children, as the controls of a Win32
// dialog follow each other. A push button counts as one control: what a
// toolkit places inside it (GTK 4: a label) is not walked, but an inner
// label's name also counts as the button's name (GTK 4.8 names a mnemonic
// button "_Yes Yes"). Lists, tables, trees, menus, combo boxes, documents
// and terminals count as one node each: their rows and entries are items,
// not controls (and a dialog with a long list stays quick).
//
// Buttons: the dialog control ids of Windows (1 OK, 2 Cancel, 4 Retry,
// 5 Ignore, 6 Yes, 7 No) stand for push buttons by their accessible names
// (ButtonNameMatches). A list of ids is answered from one walk: the first
// id in the list that the window has a button for.
//
// Time: every call is bounded. Each D-Bus call into a target carries a short
// timeout and the whole call has a deadline (Options), so a hung or stopped
// target costs at most about a second and never blocks the caller for good.
// A target that failed to answer is skipped for a short while afterwards.
//
// Finding the bus: see BusDiscovery.
//
// Not registered yet: toolkits register their application with the
// accessibility registry a moment after they start, and a dialog can be in
// front before that. A look tells this apart from a window that has no
// text; TextNodesOnceReady looks again in short steps for a short while.
//
// No bus: when none is found or it cannot be reached, every call answers
// empty/false at once; the connection is retried at most every few seconds,
// also after a bus that went away.
//
// The bus is spoken to directly over D-Bus, on a private connection of each
// bridge, without libatspi: nothing is subscribed, so nothing arrives
// between looks but late replies of calls that timed out, which are dropped
// after each look (and bounded in between); what a bridge keeps (process
// ids of applications, targets that did not answer, processes that never
// registered) is bounded.
//
// Threads: not thread-safe; use a bridge from one thread only (the
// program's user-interface thread). One long-lived bridge is the intended
// use. Calls block the caller for their bounded time; nothing runs inside
// the caller's event loop, nor does the caller's event loop run inside a
// call.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace rw::atspi {

// One accessible object below a top-level window.
struct AccNode {
    std::string role;  // AT-SPI role name: "label", "push button", "filler", ...
    std::string name;  // accessible name (UTF-8), for a label its text
    bool operator==(const AccNode&) const = default;
};

// The top-level X window to look for: its process, its title as the
// program reads it (cut at 259 bytes) and its outer rectangle in screen
// pixels; w or h of 0: no rectangle to go by.
struct AccWindow {
    std::uint32_t pid = 0;
    std::string title;
    int x = 0, y = 0, w = 0, h = 0;
};

// A top-level accessible (frame, dialog, ...) of some program: where the
// window system tells neither a window's process nor its size (Wayland),
// the bus does.
struct AccFrame {
    std::uint32_t pid = 0;
    std::string app;   // the application's accessible name (GTK: its program name)
    int w = 0, h = 0;  // the size of its extents; 0 when unknown
};

class AccessibilityBridge {
public:
    struct Options {
        int callTimeoutMs = 600;   // one D-Bus call into a target
        int deadlineMs = 1000;     // one whole Snapshot/FindButton/PressButton
        int hungBackoffMs = 1500;  // skip a target that timed out for this long
        int maxNodes = 4000;       // a walk stops after this many nodes
        int readyWaitMs = 200;     // TextNodesOnceReady: how long to wait for registration
    };

    AccessibilityBridge();
    explicit AccessibilityBridge(const Options& options);
    ~AccessibilityBridge();
    AccessibilityBridge(const AccessibilityBridge&) = delete;
    AccessibilityBridge& operator=(const AccessibilityBridge&) = delete;

    // Accessible nodes below the window, in document order (depth-first,
    // parents before children), the window's own node excluded. Empty when
    // there is no bus, no match, or time ran out.
    std::vector<AccNode> Snapshot(const AccWindow& window);

    // The same nodes, but only up to the one that holds the dialog text
    // (see DialogTextFromNodes, which answers the same on both): cheaper on
    // big windows, whose text label usually comes early. All nodes when
    // there is no label.
    std::vector<AccNode> TextNodes(const AccWindow& window);

    // TextNodes, and while the window's application has not registered with
    // the accessibility registry yet (or lists no window yet), TextNodes
    // again in short steps for up to Options::readyWaitMs. A process that
    // did not register within that time is taken for one that never will:
    // its windows get a single look from then on.
    std::vector<AccNode> TextNodesOnceReady(const AccWindow& window);

    // Whether a look finds the window's application not registered yet (or
    // listing no window yet), as opposed to found, or not to be found.
    bool NotReadyYet(const AccWindow& window);

    // The first of the dialog control ids, in the order given, that the
    // window has a push button for; 0 when it has none of them (or time ran
    // out before the walk could tell).
    int FindButton(const AccWindow& window, std::initializer_list<int> ids);
    // The same, and presses that button through its default action
    // ("click"/"press"). `mayPress`, when given, is asked right before the
    // press; when it says no, nothing is pressed. The id of the button
    // pressed, 0 when none was (or the target did not acknowledge).
    int PressButton(const AccWindow& window, std::initializer_list<int> ids,
                    const std::function<bool()>& mayPress = {});

    // Whether an accessibility bus could be reached (connects on first use).
    bool BusAvailable();

    // The top-level accessibles of every other program whose name is the
    // title (a title cut at 259 bytes matches by its start), in the order
    // the bus lists the programs: the last registered last. Bounded like
    // the calls above; empty when there is no bus.
    std::vector<AccFrame> FramesNamed(const std::string& title);

    // Whether the program with this process answers a call that its main
    // loop serves (within timeoutMs, at most the call timeout): it has then
    // handled what reached it before, as far as one turn of its loop goes.
    // False when it has no accessible application or did not answer.
    bool Answers(std::uint32_t pid, int timeoutMs);

    // Types text into the control that has the keyboard focus inside the
    // window through its editable text, where no key of the keyboard gives
    // a character: at the caret, in place of what is selected, as keys
    // would. False when the window has no focused editable control or the
    // program did not take the text. Bounded like the calls above.
    bool InsertText(const AccWindow& window, const std::string& text);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// ---- Pure helpers (no bus) --------------------------------------------

// Processes whose windows were waited for and that never registered with
// the accessibility registry (programs of toolkits without accessibility,
// programs of other hosts): they are not waited for again. A process is
// known by its id and its start time, as ids are handed out anew. At most
// kMax processes are kept; the oldest goes first.
class UnpublishedProcesses {
public:
    static constexpr std::size_t kMax = 64;
    bool Contains(std::uint32_t pid, std::uint64_t started) const;
    void Add(std::uint32_t pid, std::uint64_t started);
    void Forget(std::uint32_t pid);
    std::size_t Size() const { return entries_.size(); }

private:
    struct Entry {
        std::uint32_t pid;
        std::uint64_t started;
    };
    std::vector<Entry> entries_;  // oldest first
};

// The name without mnemonic markers: a single "_" or "&" is dropped, a
// doubled one ("__", "&&") stands for the character itself.
std::string StripMnemonics(std::string_view name);

// Whether an accessible button name stands for dialog control `id`:
// 1 "OK"; 2 "Cancel"/"Abbrechen"; 4 "Retry"/"Wiederholen";
// 5 "Ignore"/"Ignorieren"; 6 "Yes"/"Ja"; 7 "No"/"Nein". Compared after
// StripMnemonics and without regard to (ASCII) letter case. Other ids: false.
bool ButtonNameMatches(int id, std::string_view accessibleName);

// At most 259 bytes of `text`, never cut inside a UTF-8 sequence.
std::string CutText259(std::string_view text);

// The message text of a dialog from its nodes, as a Win32 dialog's text is
// read from its child controls: a node with role "label" stands for a
// "Static" control and its name for the control's text. The first label is
// taken; when its text (cut as above) has fewer than 4 bytes, the node right
// after it instead, whatever its role. Empty when there is no label (or no
// node after a short one). The result is cut as above.
//
// With the window's title: a toolkit that draws the window's title bar
// itself (GTK on Wayland) publishes it inside the window, before the
// message: a label that repeats the title is the title bar's and is passed
// over, with an empty label right after it (its subtitle).
std::string DialogTextFromNodes(const std::vector<AccNode>& nodes, std::string_view title = {});

// DialogTextFromNodes a node at a time, for a walk that stops as soon as
// the text is known.
class DialogTextReader {
public:
    explicit DialogTextReader(std::string_view title = {}) : title_(CutText259(title)) {}
    // Takes the next node; true once the text is known.
    bool Add(const AccNode& node);
    const std::string& Text() const { return text_; }

private:
    enum class Step { Label, AfterTitle, AfterShort, Done };
    std::string title_;
    Step step_ = Step::Label;
    std::string text_;
};

}  // namespace rw::atspi

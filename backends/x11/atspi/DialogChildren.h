// Child controls of X11 dialogs as pseudo window handles, from the
// accessibility bridge, for the window walk of the program's logic
// (first child, next sibling, class name, window text, dialog item by id,
// button command).
//
// Model: a top-level window's children are the accessible nodes below it,
// flat and in document order, up to the node that holds the dialog text
// (AccessibilityBridge::TextNodes: the logic's walk for the dialog text
// never goes further, and big windows stay cheap); a node has no children of
// its own and its parent is the top-level window. Buttons are reached by
// control id (DlgItem), not by the walk. The class name
// of a node with role "label" is "Static", of a push button "Button"; any
// other node's class name is its role name ("filler", "icon", ...). A node's
// text is its accessible name, cut at 259 bytes on a character boundary.
//
// Handles: every handle has the top three bits set (kPseudoBits), which no X
// resource id has (they use 29 bits), then a 17-bit snapshot generation and
// a 12-bit index. FirstChild of a top-level window takes a fresh snapshot;
// the handles of the last few snapshots stay valid, older ones yield 0 and
// empty texts. DlgItem answers a handle that stands for "the button of
// control id" of that window; Press presses it through the bridge, but not
// for a new window that has got the old one's handle meanwhile.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "AccessibilityBridge.h"
#include "backends/x11/ChildProvider.h"

namespace rw::x11 {

class DialogChildren final : public ChildProvider {
public:
    using Handle = std::uint32_t;  // a window handle of the program's logic
    static constexpr Handle kPseudoBits = 0xE0000000u;
    static bool IsPseudo(Handle h) { return (h & kPseudoBits) == kPseudoBits; }

    // What identifies a top-level window to the bridge.
    struct WindowFacts {
        std::uint32_t pid = 0;  // _NET_WM_PID; 0 when unknown
        std::string title;      // the window text as the logic reads it
        int x = 0, y = 0, w = 0, h = 0;  // outer rectangle in screen pixels
        // Tells apart two windows that had the same handle one after the
        // other (X reuses ids at once); 0 where nobody tells them apart.
        std::uint64_t identity = 0;
    };
    // Fills in the facts of a real (non-pseudo) window; false when it has
    // none (gone, not a managed window).
    using FactsFn = std::function<bool(Handle window, WindowFacts& facts)>;

    DialogChildren(AccessibilityBridge& bridge, FactsFn facts);

    Handle FirstChild(Handle parent) override;
    Handle NextSibling(Handle node) override;
    Handle Parent(Handle node) override;
    std::string Text(Handle node) override;
    std::string ClassName(Handle node) override;
    // The button for dialog control `id` (1 OK, 2 Cancel, 4 Retry, 5 Ignore,
    // 6 Yes, 7 No) of a top-level window, 0 if it has none.
    Handle DlgItem(Handle dialog, int id) override;
    // Presses the button of control `id`; true when the target acknowledged.
    bool Press(Handle dialog, int id, Handle button) override;

private:
    struct Snap {
        std::uint32_t generation = 0;
        Handle window = 0;
        std::uint64_t identity = 0;  // WindowFacts::identity of that window
        std::vector<AccNode> nodes;
    };
    static constexpr int kIndexBits = 12;
    static constexpr std::uint32_t kIndexMask = (1u << kIndexBits) - 1;
    static constexpr std::uint32_t kGenerationMask = (1u << 17) - 1;
    static constexpr std::uint32_t kButtonBase = 4000;  // index = base + control id
    static constexpr std::size_t kKept = 8;

    Snap& NewSnap(Handle window, std::uint64_t identity);
    const Snap* Find(Handle h, std::uint32_t& index) const;
    Handle Make(const Snap& s, std::uint32_t index) const;

    AccessibilityBridge& bridge_;
    FactsFn facts_;
    std::deque<Snap> snaps_;
    std::uint32_t generation_ = 0;
};

}  // namespace rw::x11

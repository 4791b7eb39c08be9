// Pseudo child windows of X11 dialogs from accessible nodes.
#include "DialogChildren.h"

#include <utility>

namespace rw::x11 {

DialogChildren::DialogChildren(AccessibilityBridge& bridge, FactsFn facts)
    : bridge_(bridge), facts_(std::move(facts)) {}

DialogChildren::Snap& DialogChildren::NewSnap(Handle window, std::uint64_t identity) {
    if (snaps_.size() >= kKept) snaps_.pop_front();
    generation_ = (generation_ + 1) & kGenerationMask;
    if (generation_ == 0) generation_ = 1;
    snaps_.push_back({generation_, window, identity, {}});
    return snaps_.back();
}

DialogChildren::Handle DialogChildren::Make(const Snap& s, std::uint32_t index) const {
    return kPseudoBits | (s.generation << kIndexBits) | (index & kIndexMask);
}

const DialogChildren::Snap* DialogChildren::Find(Handle h, std::uint32_t& index) const {
    if (!IsPseudo(h)) return nullptr;
    const std::uint32_t generation = (h >> kIndexBits) & kGenerationMask;
    index = h & kIndexMask;
    for (const Snap& s : snaps_)
        if (s.generation == generation) return &s;
    return nullptr;
}

DialogChildren::Handle DialogChildren::FirstChild(Handle parent) {
    if (parent == 0 || IsPseudo(parent)) return 0;  // nodes have no children
    WindowFacts f;
    if (!facts_ || !facts_(parent, f) || f.pid == 0) return 0;
    auto nodes = bridge_.TextNodes(f.pid, f.title, f.x, f.y, f.w, f.h);
    if (nodes.empty()) return 0;
    if (nodes.size() > kButtonBase) nodes.resize(kButtonBase);
    Snap& s = NewSnap(parent, f.identity);
    s.nodes = std::move(nodes);
    return Make(s, 0);
}

DialogChildren::Handle DialogChildren::NextSibling(Handle node) {
    std::uint32_t index = 0;
    const Snap* s = Find(node, index);
    if (!s || index >= kButtonBase || index + 1 >= s->nodes.size()) return 0;
    return Make(*s, index + 1);
}

DialogChildren::Handle DialogChildren::Parent(Handle node) {
    std::uint32_t index = 0;
    const Snap* s = Find(node, index);
    return s ? s->window : 0;
}

std::string DialogChildren::Text(Handle node) {
    std::uint32_t index = 0;
    const Snap* s = Find(node, index);
    if (!s || index >= s->nodes.size()) return {};
    return CutText259(s->nodes[index].name);
}

std::string DialogChildren::ClassName(Handle node) {
    std::uint32_t index = 0;
    const Snap* s = Find(node, index);
    if (!s) return {};
    if (index >= kButtonBase) return "Button";
    if (index >= s->nodes.size()) return {};
    const std::string& role = s->nodes[index].role;
    if (role == "label") return "Static";
    if (role == "push button") return "Button";
    return role;
}

DialogChildren::Handle DialogChildren::DlgItem(Handle dialog, int id) {
    if (dialog == 0 || IsPseudo(dialog) || id < 1 || id > 7) return 0;
    WindowFacts f;
    if (!facts_ || !facts_(dialog, f) || f.pid == 0) return 0;
    if (!bridge_.HasButton(f.pid, f.title, f.x, f.y, f.w, f.h, id)) return 0;
    Snap& s = NewSnap(dialog, f.identity);
    return Make(s, kButtonBase + static_cast<std::uint32_t>(id));
}

bool DialogChildren::Press(Handle dialog, int id, Handle button) {
    if (dialog == 0 || IsPseudo(dialog)) return false;
    WindowFacts f;
    if (!facts_ || !facts_(dialog, f) || f.pid == 0) return false;
    // The button handle must be the one DlgItem gave for this dialog and id
    // (or none at all); a stale or foreign handle presses nothing, and
    // neither does one of a window whose handle a new window has now.
    if (button != 0) {
        std::uint32_t index = 0;
        const Snap* s = Find(button, index);
        if (!s || s->window != dialog || s->identity != f.identity ||
            index != kButtonBase + static_cast<std::uint32_t>(id))
            return false;
    }
    return bridge_.PressButton(f.pid, f.title, f.x, f.y, f.w, f.h, id);
}

}  // namespace rw::x11

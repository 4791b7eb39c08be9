#include "FrameBook.h"

namespace rw::atspi {

void FrameBook::Apply(const AccEvent& e) {
    using T = AccEvent::Type;
    switch (e.type) {
        case T::Activated: Activate(e.bus, e.path, e.title); break;
        case T::ActiveState:
            if (Find(e.bus, e.path) != 0) Activate(e.bus, e.path);
            break;
        case T::Deactivated:
            if (foreground_ != 0 && foreground_ == Find(e.bus, e.path)) foreground_ = 0;
            break;
        case T::Created: See(e.bus, e.path, e.title); break;
        case T::Destroyed:
            if (const WinHandle w = Find(e.bus, e.path)) Gone(w);
            break;
        case T::Focused:
            // Bounded by the programs on the bus, which leave with AppGone.
            if (focus_.size() >= 1024 && !focus_.contains(e.bus)) focus_.clear();
            focus_[e.bus] = e.path;
            break;
        case T::Unfocused: {
            auto it = focus_.find(e.bus);
            if (it != focus_.end() && it->second == e.path) focus_.erase(it);
            break;
        }
        case T::AppGone: AppGone(e.bus); break;
        case T::AppAdded:
        case T::None: break;
    }
}

WinHandle FrameBook::See(const std::string& bus, const std::string& path, const std::string& title) {
    if (const WinHandle known = Find(bus, path)) {
        if (!title.empty()) frames_[known].title = title;
        return known;
    }
    while (frames_.size() >= kMaxFrames) {
        auto oldest = frames_.begin();
        if (oldest->first == foreground_) ++oldest;
        if (oldest == frames_.end()) break;
        Gone(oldest->first);
    }
    const WinHandle w = next_++;
    frames_[w] = Frame{bus, path, title};
    byName_[{bus, path}] = w;
    news_.shell.emplace_back(1, w);
    return w;
}

void FrameBook::Activate(const std::string& bus, const std::string& path, const std::string& title) {
    const WinHandle w = See(bus, path, title);
    everActivated_ = true;
    if (foreground_ == w) return;
    foreground_ = w;
    news_.shell.emplace_back(4, w);
}

void FrameBook::Gone(WinHandle w) {
    auto it = frames_.find(w);
    if (it == frames_.end()) return;
    byName_.erase({it->second.bus, it->second.path});
    frames_.erase(it);
    if (foreground_ == w) foreground_ = 0;
    news_.gone.push_back(w);
}

void FrameBook::AppGone(const std::string& bus) {
    focus_.erase(bus);
    std::vector<WinHandle> gone;
    for (const auto& [w, f] : frames_)
        if (f.bus == bus) gone.push_back(w);
    for (WinHandle w : gone) Gone(w);
}

void FrameBook::Clear() {
    std::vector<WinHandle> gone;
    for (const auto& [w, f] : frames_) gone.push_back(w);
    for (WinHandle w : gone) Gone(w);
    focus_.clear();
}

WinHandle FrameBook::Find(const std::string& bus, const std::string& path) const {
    auto it = byName_.find({bus, path});
    return it == byName_.end() ? 0 : it->second;
}

const FrameBook::Frame* FrameBook::Get(WinHandle w) const {
    auto it = frames_.find(w);
    return it == frames_.end() ? nullptr : &it->second;
}

FrameBook::Frame* FrameBook::Get(WinHandle w) {
    auto it = frames_.find(w);
    return it == frames_.end() ? nullptr : &it->second;
}

std::string FrameBook::FocusOf(const std::string& bus) const {
    auto it = focus_.find(bus);
    return it == focus_.end() ? std::string() : it->second;
}

FrameNews FrameBook::Take() {
    FrameNews out;
    std::swap(out, news_);
    return out;
}

}  // namespace rw::atspi

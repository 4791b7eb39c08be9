#include "backends/wayland/AccessibleDesktop.h"

namespace rw::wl {

News AccessibleToplevels::TakeNews() {
    atspi::FrameNews taken = windows_.TakeNews();
    News news;
    news.shell = std::move(taken.shell);
    news.gone = std::move(taken.gone);
    return news;
}

AccessibleKeyboard::AccessibleKeyboard(Toplevels& windows) {
    if (auto* accessible = dynamic_cast<AccessibleToplevels*>(&windows)) {
        typing_ = std::make_unique<atspi::AccessibleTyping>(accessible->Frames());
        return;
    }
    own_ = std::make_unique<atspi::AccessibleWindows>();
    own_->Start();
    typing_ = std::make_unique<atspi::AccessibleTyping>(*own_, &windows);
}

void AccessibleKeyboard::DispatchSource() {
    if (!own_) return;
    own_->Dispatch();
    // The frames are followed only for the typing: what they bring is
    // dropped, or it would pile up.
    own_->TakeNews();
}

}  // namespace rw::wl

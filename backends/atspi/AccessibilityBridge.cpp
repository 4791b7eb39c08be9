// AT-SPI side of the accessibility bridge, spoken directly over D-Bus.
//
// Why not libatspi: it keeps every application it ever saw, adds each one's
// root to the desktop's children (pruned only when its cache is on), opens
// a connection of its own to each application and warns when that
// application has already gone, and it subscribes to the desktop's signals,
// which pile up unread while the program waits for the next dialog. The
// bridge needs a dozen calls; made here on a private connection, it keeps
// nothing but a few small bounded tables and receives nothing it did not
// ask for.
#include "BridgeImpl.h"

namespace rw::atspi {

AccessibilityBridge::AccessibilityBridge() : AccessibilityBridge(Options{}) {}

AccessibilityBridge::AccessibilityBridge(const Options& options) : impl_(std::make_unique<Impl>()) {
    impl_->opt = options;
}

AccessibilityBridge::~AccessibilityBridge() = default;

bool AccessibilityBridge::BusAvailable() { return impl_->Connect(); }

std::vector<AccNode> AccessibilityBridge::Snapshot(const AccWindow& window) {
    Impl::Look look;
    return impl_->Nodes(window, false, look);
}

std::vector<AccNode> AccessibilityBridge::TextNodes(const AccWindow& window) {
    Impl::Look look;
    return impl_->Nodes(window, true, look);
}

std::vector<AccNode> AccessibilityBridge::TextNodesOnceReady(const AccWindow& window) {
    return impl_->NodesOnceReady(window, true);
}

bool AccessibilityBridge::NotReadyYet(const AccWindow& window) {
    const Deadline dl(impl_->opt.deadlineMs);
    Obj win;
    const Impl::Look look = impl_->FindWindow(window, dl, win);
    impl_->Drain();
    return look == Impl::Look::NotReady;
}

int AccessibilityBridge::FindButton(const AccWindow& window, std::initializer_list<int> ids) {
    const Deadline dl(impl_->opt.deadlineMs);
    const int id = impl_->FindButton(window, ids, dl).id;
    impl_->Drain();
    return id;
}

int AccessibilityBridge::PressButton(const AccWindow& window, std::initializer_list<int> ids,
                                     const std::function<bool()>& mayPress) {
    const Deadline dl(impl_->opt.deadlineMs);
    const Impl::Found found = impl_->FindButton(window, ids, dl);
    int pressed = 0;
    if (found.button && !dl.Expired() && impl_->PressDefaultAction(found.button, dl, mayPress)) pressed = found.id;
    impl_->Drain();
    return pressed;
}

}  // namespace rw::atspi

#include "backends/wayland/WaylandConnection.h"

#include <poll.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstring>

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace rw::wl {

void WaylandConnection::Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                               std::uint32_t version) {
    auto* self = static_cast<WaylandConnection*>(data);
    self->globals_.push_back(Announced{name, interface, version});
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && self->seat_ == nullptr) {
        self->seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, wl_output_interface.name) == 0 && self->output_ == nullptr) {
        self->output_ = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, 1));
        static const wl_output_listener outputListener = {
            [](void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, const char*,
               const char*, std::int32_t) {},
            &WaylandConnection::OutputMode,
            nullptr,
            nullptr,
            nullptr,
            nullptr,
        };
        wl_output_add_listener(self->output_, &outputListener, self);
    } else if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0 &&
               self->toplevels_ == nullptr) {
        self->toplevels_ = static_cast<zwlr_foreign_toplevel_manager_v1*>(wl_registry_bind(
            registry, name, &zwlr_foreign_toplevel_manager_v1_interface, std::min<std::uint32_t>(version, 3)));
    } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0 &&
               self->virtualKeyboards_ == nullptr) {
        self->virtualKeyboards_ = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    }
}

void WaylandConnection::GlobalRemove(void* data, wl_registry*, std::uint32_t name) {
    auto& globals = static_cast<WaylandConnection*>(data)->globals_;
    globals.erase(std::remove_if(globals.begin(), globals.end(), [name](const Announced& g) { return g.name == name; }),
                  globals.end());
}

void* WaylandConnection::Bind(const wl_interface& interface, std::uint32_t maxVersion) {
    if (!Ok()) return nullptr;
    for (const Announced& g : globals_)
        if (g.interface == interface.name)
            return wl_registry_bind(registry_, g.name, &interface, std::min(g.version, maxVersion));
    return nullptr;
}

bool WaylandConnection::Offers(const char* interfaceName) const {
    return std::any_of(globals_.begin(), globals_.end(), [interfaceName](const Announced& g) { return g.interface == interfaceName; });
}

void WaylandConnection::OutputMode(void* data, wl_output*, std::uint32_t flags, std::int32_t w, std::int32_t h,
                                   std::int32_t) {
    auto* self = static_cast<WaylandConnection*>(data);
    if ((flags & WL_OUTPUT_MODE_CURRENT) == 0) return;
    self->screenW_ = w;
    self->screenH_ = h;
}

WaylandConnection::WaylandConnection(const char* displayName) {
    display_ = wl_display_connect(displayName);
    if (display_ == nullptr) return;
    registry_ = wl_display_get_registry(display_);
    static const wl_registry_listener listener = {&WaylandConnection::Global, &WaylandConnection::GlobalRemove};
    wl_registry_add_listener(registry_, &listener, this);
}

WaylandConnection::~WaylandConnection() {
    if (display_ == nullptr) return;
    if (virtualKeyboards_ != nullptr) zwp_virtual_keyboard_manager_v1_destroy(virtualKeyboards_);
    if (toplevels_ != nullptr) zwlr_foreign_toplevel_manager_v1_destroy(toplevels_);
    if (output_ != nullptr) wl_output_destroy(output_);
    if (seat_ != nullptr) wl_seat_destroy(seat_);
    if (registry_ != nullptr) wl_registry_destroy(registry_);
    wl_display_flush(display_);
    wl_display_disconnect(display_);
}

bool WaylandConnection::Ok() const { return display_ != nullptr && wl_display_get_error(display_) == 0; }

int WaylandConnection::Fd() const { return display_ != nullptr ? wl_display_get_fd(display_) : -1; }

bool WaylandConnection::Pump() {
    if (!Ok()) return false;
    if (busy_) return true;
    busy_ = true;
    while (wl_display_prepare_read(display_) != 0) wl_display_dispatch_pending(display_);
    wl_display_flush(display_);
    pollfd p{wl_display_get_fd(display_), POLLIN, 0};
    if (poll(&p, 1, 0) > 0 && (p.revents & POLLIN) != 0) {
        wl_display_read_events(display_);
    } else {
        wl_display_cancel_read(display_);
    }
    wl_display_dispatch_pending(display_);
    busy_ = false;
    return Ok();
}

bool WaylandConnection::Roundtrip() {
    if (!Ok()) return false;
    if (busy_) return true;
    busy_ = true;
    sent_ = false;
    const int rc = wl_display_roundtrip(display_);
    busy_ = false;
    return rc >= 0 && Ok();
}

bool WaylandConnection::HasQueuedEvents() const {
    if (!Ok() || busy_) return false;
    if (wl_display_prepare_read(display_) != 0) return true;
    wl_display_cancel_read(display_);
    return false;
}

}  // namespace rw::wl

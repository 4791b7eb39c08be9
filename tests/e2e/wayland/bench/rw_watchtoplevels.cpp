// For the Wayland reaction benchmark: prints "shown MS TITLE" (milliseconds
// of the monotonic clock) the first time the compositor lists each new
// toplevel with its title, that is when the window is mapped on screen and
// other programs can first know of it. Runs until killed.
#include <wayland-client.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace {

struct Toplevel {
    std::string title;
    bool shown = false;
};

double NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

void OnTitle(void* data, zwlr_foreign_toplevel_handle_v1*, const char* title) {
    static_cast<Toplevel*>(data)->title = title != nullptr ? title : "";
}

void OnDone(void* data, zwlr_foreign_toplevel_handle_v1*) {
    auto* t = static_cast<Toplevel*>(data);
    if (t->shown || t->title.empty()) return;
    t->shown = true;
    std::printf("shown %.3f %s\n", NowMs(), t->title.c_str());
    std::fflush(stdout);
}

void OnClosed(void* data, zwlr_foreign_toplevel_handle_v1* h) {
    delete static_cast<Toplevel*>(data);
    zwlr_foreign_toplevel_handle_v1_destroy(h);
}

const zwlr_foreign_toplevel_handle_v1_listener kToplevelListener = {
    OnTitle,
    [](void*, zwlr_foreign_toplevel_handle_v1*, const char*) {},
    [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
    [](void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {},
    [](void*, zwlr_foreign_toplevel_handle_v1*, wl_array*) {},
    OnDone,
    OnClosed,
    [](void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {},
};

void OnToplevel(void*, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* h) {
    zwlr_foreign_toplevel_handle_v1_add_listener(h, &kToplevelListener, new Toplevel);
}

const zwlr_foreign_toplevel_manager_v1_listener kManagerListener = {
    OnToplevel, [](void*, zwlr_foreign_toplevel_manager_v1*) {}};

bool gListed = false;

void OnGlobal(void*, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
    if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) != 0) return;
    gListed = true;
    auto* manager = static_cast<zwlr_foreign_toplevel_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_foreign_toplevel_manager_v1_interface, 1));
    zwlr_foreign_toplevel_manager_v1_add_listener(manager, &kManagerListener, nullptr);
}

const wl_registry_listener kRegistryListener = {OnGlobal, [](void*, wl_registry*, std::uint32_t) {}};

}  // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fputs("rw_watchtoplevels: cannot connect to the compositor\n", stderr);
        return 1;
    }
    wl_registry_add_listener(wl_display_get_registry(display), &kRegistryListener, nullptr);
    // Only a compositor that lists its windows this way (wlroots) can be
    // watched; elsewhere the benchmark goes by the toolkit's map alone.
    if (wl_display_roundtrip(display) < 0 || !gListed) {
        std::fputs("rw_watchtoplevels: the compositor lists no toplevels (no wlr foreign-toplevel management)\n",
                   stderr);
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    while (wl_display_dispatch(display) >= 0) {
    }
    return 0;
}

#include "backends/wayland/FakeInputKeyboard.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "backends/atspi/BusDiscovery.h"
#include "fake-input-client-protocol.h"
#include "keystate-client-protocol.h"

namespace rw::wl {

namespace {

// Keys came with version 4 of the fake input.
constexpr std::uint32_t kVersion = 4;
// A turn of the program's main loop for each key event at most, and a
// bound on the turns waited for.
constexpr std::uint32_t kMaxTurns = 512;
constexpr int kAnswerMs = 600;
// KWin's layout service answers at once or not at all.
constexpr int kLayoutAskMs = 250;

}  // namespace

FakeInputKeyboard::FakeInputKeyboard(WaylandConnection& c, Windows& windows) : XkbKeyboard(c, windows) {}

FakeInputKeyboard::~FakeInputKeyboard() {
    if (fakeInput_ != nullptr) {
        ReleaseAll();
        org_kde_kwin_fake_input_destroy(fakeInput_);
    }
    // Its destructor request came with version 4; before it, the proxy
    // alone goes.
    if (keyState_ != nullptr &&
        org_kde_kwin_keystate_get_version(keyState_) >= ORG_KDE_KWIN_KEYSTATE_DESTROY_SINCE_VERSION) {
        org_kde_kwin_keystate_destroy(keyState_);
    } else if (keyState_ != nullptr) {
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(keyState_));
    }
    if (seatKeyboard_ != nullptr) wl_keyboard_destroy(seatKeyboard_);
    if (seat_ != nullptr) wl_seat_destroy(seat_);
    if (connection().Ok()) wl_display_flush(connection().display());
}

bool FakeInputKeyboard::Start() {
    if (fakeInput_ != nullptr) return Ok();
    WaylandConnection& c = connection();
    fakeInput_ = static_cast<org_kde_kwin_fake_input*>(c.Bind(org_kde_kwin_fake_input_interface, kVersion));
    if (fakeInput_ == nullptr) return false;
    if (org_kde_kwin_fake_input_get_version(fakeInput_) < ORG_KDE_KWIN_FAKE_INPUT_KEYBOARD_KEY_SINCE_VERSION) {
        org_kde_kwin_fake_input_destroy(fakeInput_);
        fakeInput_ = nullptr;
        return false;
    }
    org_kde_kwin_fake_input_authenticate(fakeInput_, "Replywick", "types the answers of its macros into dialogs");
    // A seat of our own, whose capabilities tell whether it has a keyboard
    // to ask for the keymap (asking a seat without one is an error).
    seat_ = static_cast<wl_seat*>(c.Bind(wl_seat_interface, 1));
    if (seat_ != nullptr) {
        static const wl_seat_listener seatListener = {
            [](void* data, wl_seat* seat, std::uint32_t caps) {
                auto* self = static_cast<FakeInputKeyboard*>(data);
                if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) == 0 || self->seatKeyboard_ != nullptr) return;
                static const wl_keyboard_listener keyboardListener = {
                    &FakeInputKeyboard::OnKeymap,
                    [](void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {},
                    [](void*, wl_keyboard*, std::uint32_t, wl_surface*) {},
                    [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
                    [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                       std::uint32_t) {},
                    nullptr,
                };
                self->seatKeyboard_ = wl_seat_get_keyboard(seat);
                wl_keyboard_add_listener(self->seatKeyboard_, &keyboardListener, self);
            },
            nullptr,
        };
        wl_seat_add_listener(seat_, &seatListener, this);
    }
    // The capabilities, then the keymap.
    if (!c.Roundtrip() || !c.Roundtrip()) return false;
    if (!seatKeymap_) UseDefaultLayout();
    // The locks, once there is a keymap to hold them.
    keyState_ = static_cast<org_kde_kwin_keystate*>(c.Bind(org_kde_kwin_keystate_interface, 4));
    if (keyState_ != nullptr) {
        static const org_kde_kwin_keystate_listener listener = {&FakeInputKeyboard::OnKeyState};
        org_kde_kwin_keystate_add_listener(keyState_, &listener, this);
        org_kde_kwin_keystate_fetchStates(keyState_);
        if (!c.Roundtrip()) return false;
    }
    FollowGroup();
    return Ok();
}

void FakeInputKeyboard::OnKeymap(void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd, std::uint32_t size) {
    auto* self = static_cast<FakeInputKeyboard*>(data);
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
        void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map != MAP_FAILED) {
            const char* text = static_cast<const char*>(map);
            // A new layout of the session (its settings changed) is taken
            // as it comes; keys still down stay down.
            if (self->UseLayout(std::string(text, strnlen(text, size)))) self->seatKeymap_ = true;
            munmap(map, size);
        }
    }
    close(fd);
}

void FakeInputKeyboard::OnKeyState(void* data, org_kde_kwin_keystate*, std::uint32_t key, std::uint32_t state) {
    auto* self = static_cast<FakeInputKeyboard*>(data);
    const bool on = state == ORG_KDE_KWIN_KEYSTATE_STATE_LOCKED;
    if (key == ORG_KDE_KWIN_KEYSTATE_KEY_CAPSLOCK) self->UseLock(XKB_MOD_NAME_CAPS, on);
    if (key == ORG_KDE_KWIN_KEYSTATE_KEY_NUMLOCK) self->UseLock(XKB_MOD_NAME_NUM, on);
}

void FakeInputKeyboard::FollowGroup() {
    // Only a session bus the environment names: libdbus would otherwise
    // start one of its own.
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    xkb_layout_index_t group = 0;
    if (address != nullptr && *address != '\0') {
        DBusError err;
        dbus_error_init(&err);
        DBusConnection* session = dbus_bus_get(DBUS_BUS_SESSION, &err);
        dbus_error_free(&err);
        if (session != nullptr) {
            dbus_connection_set_exit_on_disconnect(session, FALSE);
            const atspi::DBusMessagePtr reply = atspi::CallMethod(
                session, "org.kde.keyboard", "/Layouts", "org.kde.KeyboardLayouts", "getLayout", nullptr, kLayoutAskMs);
            dbus_uint32_t index = 0;
            if (reply && dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_UINT32, &index, DBUS_TYPE_INVALID))
                group = index;
            dbus_connection_unref(session);
        }
    }
    UseGroup(group);
}

void FakeInputKeyboard::AimKeysAt(const WindowIdentity& target) {
    XkbKeyboard::AimKeysAt(target);
    FollowGroup();
}

void FakeInputKeyboard::Key(std::uint32_t evdev, bool down) {
    org_kde_kwin_fake_input_keyboard_key(fakeInput_, evdev, down ? WL_KEYBOARD_KEY_STATE_PRESSED
                                                                  : WL_KEYBOARD_KEY_STATE_RELEASED);
    wl_display_flush(connection().display());
    ++unread_;
}

XkbKeyboard::MissingChar FakeInputKeyboard::Missing(WinHandle w, std::uint32_t, const std::string& ch) {
    if (!MayPress()) return MissingChar::Failed;
    atspi::AccWindow window;
    window.pid = windows().GetWindowProcessId(w);
    window.title = windows().GetWindowText(w);
    if (window.pid == 0) return MissingChar::Failed;
    // The keys sent before the character must have reached the control
    // first. After a round trip KWin has handed them on; the program reads
    // them one a turn of its main loop at worst (GTK 3 takes one event a
    // turn), and each answer it gives on the accessibility bus is a turn.
    if (!connection().SyncSent()) return MissingChar::Failed;
    const std::uint32_t turns = std::min(unread_, kMaxTurns);
    for (std::uint32_t i = 0; i <= turns; ++i)
        if (!bridge_.Answers(window.pid, kAnswerMs)) break;
    unread_ = 0;
    if (bridge_.InsertText(window, ch)) return MissingChar::Typed;
    // A program that was busy (one that has just come up, on a loaded
    // machine) gets one more try, after its next turn.
    if (!MayPress() || !bridge_.Answers(window.pid, kAnswerMs)) return MissingChar::Failed;
    return bridge_.InsertText(window, ch) ? MissingChar::Typed : MissingChar::Failed;
}

}  // namespace rw::wl

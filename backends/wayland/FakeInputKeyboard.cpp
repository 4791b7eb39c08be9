#include "backends/wayland/FakeInputKeyboard.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstring>

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
    // The seat's keymap, which KWin reads the keys with; the XKB defaults
    // where it tells none.
    seatKeymap_ = std::make_unique<SeatKeymap>(c);
    if (!c.Roundtrip() || !c.Roundtrip()) return false;
    FollowKeymap();
    if (seatKeymap_->Keymap() == nullptr) UseDefaultLayout();
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

void FakeInputKeyboard::FollowKeymap() {
    // A new layout of the session (its settings changed) is taken as it
    // comes; keys still down stay down.
    if (seatKeymap_ == nullptr || seatKeymap_->Generation() == keymapGeneration_) return;
    keymapGeneration_ = seatKeymap_->Generation();
    UseLayout(seatKeymap_->Keymap());
}

void FakeInputKeyboard::OnKeyState(void* data, org_kde_kwin_keystate*, std::uint32_t key, std::uint32_t state) {
    auto* self = static_cast<FakeInputKeyboard*>(data);
    const bool on = state == ORG_KDE_KWIN_KEYSTATE_STATE_LOCKED;
    if (key == ORG_KDE_KWIN_KEYSTATE_KEY_CAPSLOCK) self->UseLock(XKB_MOD_NAME_CAPS, on);
    if (key == ORG_KDE_KWIN_KEYSTATE_KEY_NUMLOCK) self->UseLock(XKB_MOD_NAME_NUM, on);
}

void FakeInputKeyboard::FollowGroup() {
    // A connection of its own, made once, with a bounded wait; without a
    // session bus the group is the first.
    if (session_ == nullptr) session_ = std::make_unique<SessionBus>(kLayoutAskMs);
    xkb_layout_index_t group = 0;
    if (session_->Ok()) {
        Message call(dbus_message_new_method_call("org.kde.keyboard", "/Layouts", "org.kde.KeyboardLayouts",
                                                  "getLayout"));
        const Message reply = session_->Call(call.get(), kLayoutAskMs);
        dbus_uint32_t index = 0;
        if (reply && dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_UINT32, &index, DBUS_TYPE_INVALID))
            group = index;
    }
    UseGroup(group);
}

void FakeInputKeyboard::AimKeysAt(const WindowIdentity& target) {
    XkbKeyboard::AimKeysAt(target);
    FollowKeymap();
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

#include "AccessibleWindows.h"

#include <functional>

#include "AccWindowsImpl.h"
#include "AccessibilityBridge.h"
#include "base/Ascii.h"

namespace rw::atspi {

namespace {

// A walk inside a frame stops after this many objects or this long.
constexpr int kWalkNodes = 400;
constexpr int kWalkMs = 1000;
// How long bringing a window to the front waits for its activation.
constexpr int kFrontWaitMs = 250;

struct Node {
    Obj obj;
    std::uint32_t role = 0;
    std::string name;
    std::uint64_t states = 0;
    Obj button;  // the push button it lies in, if any (GTK 4 puts a label inside)
};

// Walks the objects below a frame, a level at a time, asking all objects of
// a level for their facts at once; `visit` returns true to stop. Item
// containers (lists, tables, ...) are not entered. False when the walk was
// cut short (time, budget, a program that stopped answering).
bool Walk(AccessibleWindows::Impl& im, const Obj& frame, const std::function<bool(const Node&)>& visit) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWalkMs);
    std::vector<Node> level{Node{frame, 0, {}, 0, {}}};
    int seen = 0;
    while (!level.empty()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::vector<DBusMessagePtr> calls;
        for (const Node& n : level) calls.push_back(NewCall(n.obj, kAccessible, "GetChildren"));
        const auto lists = im.Calls(calls, frame.bus);
        std::vector<Node> kids;
        for (std::size_t i = 0; i < level.size(); ++i) {
            std::vector<Obj> objs;
            if (!ReplyObjs(lists[i].get(), objs)) continue;
            const Obj& button = level[i].role == kRolePushButton ? level[i].obj : level[i].button;
            for (Obj& o : objs) {
                // A child that vanished meanwhile, or one of another program.
                if (o.bus != frame.bus || !dbus_validate_path(o.path.c_str(), nullptr)) continue;
                if (++seen > kWalkNodes) return false;
                kids.push_back(Node{std::move(o), 0, {}, 0, button});
            }
        }
        calls.clear();
        for (const Node& k : kids) {
            calls.push_back(NewCall(k.obj, kAccessible, "GetRole"));
            calls.push_back(NewGetProperty(k.obj, kAccessible, "Name"));
            calls.push_back(NewCall(k.obj, kAccessible, "GetState"));
        }
        const auto facts = im.Calls(calls, frame.bus);
        std::vector<Node> next;
        for (std::size_t i = 0; i < kids.size(); ++i) {
            Node& k = kids[i];
            if (!ReplyUint(facts[3 * i].get(), k.role)) continue;
            ReplyString(facts[3 * i + 1].get(), k.name);
            ReplyStates(facts[3 * i + 2].get(), k.states);
            if (visit(k)) return true;
            if (!HoldsItems(k.role)) next.push_back(std::move(k));
        }
        level = std::move(next);
    }
    return true;
}

bool NamedClose(const std::string& name) {
    const std::string n = StripMnemonics(name);
    return EqualsAsciiNoCase(n, "Close") || EqualsAsciiNoCase(n, "Schließen");
}

}  // namespace

// ---- Inside a frame ----------------------------------------------------------

bool AccessibleWindows::Impl::FocusIn(WinHandle w, Obj& control) {
    const FrameBook::Frame* f = Callable(w);
    if (f == nullptr) return false;
    const Obj frame{f->bus, f->path};
    const std::string told = book.FocusOf(f->bus);
    if (checkedFrame == w && (told.empty() || told == checkedControl)) {
        control = {f->bus, checkedControl};
        return true;
    }
    if (!told.empty() && (told == f->path || Inside({f->bus, told}, frame))) {
        control = {f->bus, told};
    } else if (!FindFocused(frame, control)) {
        return false;
    }
    checkedFrame = w;
    checkedControl = control.path;
    return true;
}

bool AccessibleWindows::Impl::Inside(const Obj& o, const Obj& frame) {
    Obj at = o;
    for (int depth = 0; depth < 64; ++depth) {
        Obj parent;
        if (!ReplyVariantObj(Call(NewGetProperty(at, kAccessible, "Parent"), frame.bus).get(), parent)) return false;
        if (parent.bus != frame.bus || parent.path == kRootPath || parent.path.empty()) return false;
        if (parent.path == frame.path) return true;
        at = std::move(parent);
    }
    return false;
}

bool AccessibleWindows::Impl::FindFocused(const Obj& frame, Obj& out) {
    bool found = false;
    Walk(*this, frame, [&](const Node& n) {
        if (!HasState(n.states, kStateFocused)) return false;
        out = n.obj;
        found = true;
        return true;
    });
    return found;
}

bool AccessibleWindows::Impl::DoAction(const Obj& o, std::initializer_list<const char*> names) {
    std::int32_t count = 0;
    if (!ReplyInt(Call(NewGetProperty(o, kAction, "NActions"), o.bus).get(), count) || count <= 0) return false;
    std::vector<DBusMessagePtr> calls;
    for (std::int32_t i = 0; i < count && i < 16; ++i) calls.push_back(NewCallInt(o, kAction, "GetName", i));
    const auto replies = Calls(calls, o.bus);
    std::int32_t chosen = -1;
    std::size_t rank = names.size();
    for (std::size_t i = 0; i < replies.size(); ++i) {
        std::string name;
        if (!ReplyString(replies[i].get(), name)) continue;
        std::size_t r = 0;
        for (const char* n : names) {
            if (r < rank && EqualsAsciiNoCase(name, n)) {
                rank = r;
                chosen = static_cast<std::int32_t>(i);
            }
            ++r;
        }
    }
    // Another action (Qt's entries offer only "SetFocus") would not do
    // what was asked.
    if (chosen < 0) return false;
    bool done = false;
    return ReplyBool(Call(NewCallInt(o, kAction, "DoAction", chosen), o.bus).get(), done) && done;
}

bool AccessibleWindows::Impl::PressDefault(const Obj& frame) {
    Obj button;
    Walk(*this, frame, [&](const Node& n) {
        if (n.role != kRolePushButton || !HasState(n.states, kStateIsDefault)) return false;
        button = n.obj;
        return true;
    });
    return button && DoAction(button, {"click", "press", "activate"});
}

bool AccessibleWindows::Impl::PressClose(const Obj& frame) {
    struct Button {
        Obj obj;
        std::string name;
    };
    std::vector<Button> buttons;
    Walk(*this, frame, [&](const Node& n) {
        if (n.role == kRolePushButton) {
            buttons.push_back({n.obj, n.name});
        } else if (n.button && n.role == kRoleLabel) {
            // GTK 4 names a button by the label inside it.
            for (Button& b : buttons)
                if (b.obj.path == n.button.path && b.name.empty()) b.name = n.name;
        }
        return false;
    });
    const Button* pick = nullptr;
    for (const Button& b : buttons)
        if (pick == nullptr && NamedClose(b.name)) pick = &b;
    for (const Button& b : buttons)
        if (pick == nullptr && ButtonNameMatches(2, b.name)) pick = &b;
    if (pick == nullptr && buttons.size() == 1) pick = &buttons.front();
    return pick != nullptr && DoAction(pick->obj, {"click", "press", "activate"});
}

// ---- The Windows role --------------------------------------------------------

AccessibleWindows::AccessibleWindows() : AccessibleWindows(Options{}) {}

AccessibleWindows::AccessibleWindows(const Options& options) : impl_(std::make_unique<Impl>()) {
    impl_->opt = options;
}

AccessibleWindows::~AccessibleWindows() = default;

bool AccessibleWindows::Start() {
    impl_->started = impl_->Connect();
    return impl_->started;
}

bool AccessibleWindows::Ok() const { return impl_->started; }
int AccessibleWindows::Fd() const { return impl_->epoll; }
void AccessibleWindows::Dispatch() { impl_->Dispatch(); }

bool AccessibleWindows::Queued() const {
    return impl_->bus != nullptr && dbus_connection_get_dispatch_status(impl_->bus) == DBUS_DISPATCH_DATA_REMAINS;
}

FrameNews AccessibleWindows::TakeNews() { return impl_->book.Take(); }
bool AccessibleWindows::HasNews() const { return impl_->book.HasNews(); }
bool AccessibleWindows::Alive(WinHandle w) const { return w != 0 && impl_->book.Get(w) != nullptr; }

WinHandle AccessibleWindows::GetForegroundWindow() {
    impl_->Dispatch();
    return impl_->book.Foreground();
}

bool AccessibleWindows::SetForegroundWindow(WinHandle w) {
    if (w != 0 && w == GetForegroundWindow()) return true;
    const FrameBook::Frame* f = impl_->Callable(w);
    if (f == nullptr) return false;
    // The program asks its desktop to activate the window; a desktop that
    // guards the focus may refuse.
    bool asked = false;
    if (!ReplyBool(impl_->Call(NewCall({f->bus, f->path}, kComponent, "GrabFocus"), f->bus).get(), asked) || !asked)
        return false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kFrontWaitMs);
    while (GetForegroundWindow() != w && Alive(w) && std::chrono::steady_clock::now() < end)
        impl_->WaitForMessage(10);
    return GetForegroundWindow() == w;
}

std::string AccessibleWindows::GetWindowText(WinHandle w) {
    FrameBook::Frame* f = impl_->book.Get(w);
    if (f == nullptr) return {};
    std::string name;
    if (impl_->Usable(f->bus) &&
        ReplyString(impl_->Call(NewGetProperty({f->bus, f->path}, kAccessible, "Name"), f->bus).get(), name)) {
        if (FrameBook::Frame* still = impl_->book.Get(w)) still->title = name;
    }
    f = impl_->book.Get(w);
    return f != nullptr ? CutText259(f->title) : std::string();
}

std::string AccessibleWindows::GetClassName(WinHandle w) {
    const FrameBook::Frame* f = impl_->Callable(w);
    if (f == nullptr) return {};
    const std::string program = f->bus;
    Impl::App& app = impl_->AppOf(program);
    if (!app.named) {
        std::string name;
        if (ReplyString(impl_->Call(NewGetProperty({program, kRootPath}, kAccessible, "Name"), program).get(), name)) {
            Impl::App& again = impl_->AppOf(program);
            again.name = name;
            again.named = true;
        }
    }
    return CutText259(impl_->AppOf(program).name);
}

bool AccessibleWindows::GetWindowRect(WinHandle w, Rect& r) {
    r = Rect{};
    if (!Alive(w)) return false;
    r.right = r.bottom = 1;
    const FrameBook::Frame* f = impl_->Callable(w);
    Rect4 ext;
    if (f != nullptr &&
        ReplyRect(impl_->Call(NewCallUint({f->bus, f->path}, kComponent, "GetExtents", 0), f->bus).get(), ext) &&
        ext.w > 0 && ext.h > 0) {
        r.right = ext.w;
        r.bottom = ext.h;
    }
    return true;
}

bool AccessibleWindows::PostClose(WinHandle w) {
    const FrameBook::Frame* f = impl_->Callable(w);
    return f != nullptr && impl_->PressClose({f->bus, f->path});
}

bool AccessibleWindows::WaitUntilAnswers(WinHandle w, std::uint32_t timeoutMs) {
    const FrameBook::Frame* f = impl_->Callable(w);
    if (f == nullptr) return false;
    // Answered on the program's main loop (a D-Bus peer ping would be
    // answered by a library thread).
    const int timeout = static_cast<int>(std::min<std::uint32_t>(timeoutMs, 60000));
    return impl_->Call(NewCall({f->bus, kRootPath}, kAccessible, "GetRole"), f->bus, timeout) != nullptr;
}

WinHandle AccessibleWindows::FocusedControl(WinHandle w) { return w != 0 && w == GetForegroundWindow() ? w : 0; }

std::uint32_t AccessibleWindows::GetWindowProcessId(WinHandle w) {
    const FrameBook::Frame* f = impl_->book.Get(w);
    return f != nullptr ? impl_->PidOf(f->bus) : 0;
}

}  // namespace rw::atspi

// Text typed through the accessibility bus: where a keyboard cannot give a
// character (a compositor that reads our keys with its own layout), the
// focused control of the target takes it through its editable text.
#include "BridgeImpl.h"
#include "TextInsertion.h"

namespace rw::atspi {

namespace {

constexpr const char* kApplication = "org.a11y.atspi.Application";
// AT-SPI states, as bits of the first word of a state set.
constexpr std::uint32_t kStateEditable = 1u << 7;
constexpr std::uint32_t kStateFocused = 1u << 12;
// A dialog's controls are few; a window with more is not searched further.
constexpr int kMaxFocusNodes = 600;
constexpr int kReadyStepMs = 20;

// The first word of a state set (au).
bool ReplyStates(DBusMessage* m, std::uint32_t& out) {
    DBusMessageIter it;
    if (!m || !dbus_message_iter_init(m, &it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_ARRAY) return false;
    DBusMessageIter a;
    dbus_message_iter_recurse(&it, &a);
    if (dbus_message_iter_get_arg_type(&a) != DBUS_TYPE_UINT32) return false;
    dbus_uint32_t v = 0;
    dbus_message_iter_get_basic(&a, &v);
    out = v;
    return true;
}

bool FocusedEditable(std::uint32_t states) {
    return (states & kStateFocused) != 0 && (states & kStateEditable) != 0;
}

}  // namespace

bool AccessibilityBridge::InsertText(const AccWindow& window, const std::string& text) {
    Impl& im = *impl_;
    const Deadline dl(im.opt.deadlineMs);
    if (text.empty() || window.pid == 0 || window.pid == static_cast<std::uint32_t>(getpid()) || !im.Connect())
        return false;
    im.Drain();
    const int timeout = im.opt.callTimeoutMs;
    auto statesOf = [&](const Obj& o, std::uint32_t& states) {
        return ReplyStates(Exchange1(im.bus, NewCall(o, kAccessible, "GetState"), timeout).get(), states);
    };

    // The control of the last call, while it still has the focus; else the
    // focused one, depth-first below the window.
    Impl::TextFocus& last = im.textFocus;
    std::uint32_t states = 0;
    const bool same = last.control && last.pid == window.pid && last.title == window.title &&
                      statesOf(last.control, states) && FocusedEditable(states);
    if (!same) {
        last = {};
        // A program that shows its window before it has registered with
        // the registry (typing starts as soon as the window is in front)
        // is looked for again for a moment.
        Obj win;
        Impl::Look look = im.FindWindow(window, dl, win);
        while (look == Impl::Look::NotReady && !dl.Expired()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kReadyStepMs));
            look = im.FindWindow(window, dl, win);
        }
        if (look != Impl::Look::Found) {
            im.Drain();
            return false;
        }
        const Deadline walk(im.opt.deadlineMs);
        std::vector<Obj> stack{win};
        int seen = 0;
        while (!stack.empty() && !last.control) {
            if (walk.Expired() || ++seen > kMaxFocusNodes) break;
            const Obj node = std::move(stack.back());
            stack.pop_back();
            DBusMessagePtr calls[3] = {NewCall(node, kAccessible, "GetState"), NewCall(node, kAccessible, "GetRole"),
                                       NewGetProperty(node, kAccessible, "ChildCount")};
            auto replies = Exchange(im.bus, calls, timeout);
            std::uint32_t role = 0;
            std::int32_t count = 0;
            if (!ReplyStates(replies[0].get(), states) || !ReplyUint(replies[1].get(), role) ||
                !ReplyInt(replies[2].get(), count))
                continue;
            if (FocusedEditable(states)) {
                last = {window.pid, window.title, node};
                break;
            }
            // Lists and documents hold items, not controls; an editable
            // combo box holds its entry.
            if (count <= 0 || (HoldsItems(role) && role != kRoleComboBox)) continue;
            count = std::min(count, 64);
            std::vector<DBusMessagePtr> kids;
            for (std::int32_t i = 0; i < count; ++i)
                kids.push_back(NewCallInt(node, kAccessible, "GetChildAtIndex", i));
            const auto refs = Exchange(im.bus, kids, timeout);
            // Pushed last first: the first child is looked at next.
            for (auto r = refs.rbegin(); r != refs.rend(); ++r) {
                Obj child;
                if (ReplyObj(r->get(), child) && child && dbus_validate_bus_name(child.bus.c_str(), nullptr))
                    stack.push_back(std::move(child));
            }
        }
        if (!last.control) {
            im.Drain();
            return false;
        }
    }
    const Obj control = last.control;

    auto qt = im.qtByBusName.find(control.bus);
    if (qt == im.qtByBusName.end()) {
        std::string toolkit;
        ReplyString(Exchange1(im.bus, NewGetProperty({control.bus, kRootPath}, kApplication, "ToolkitName"), timeout)
                        .get(),
                    toolkit);
        if (im.qtByBusName.size() >= 64) im.qtByBusName.clear();
        qt = im.qtByBusName.emplace(control.bus, AsciiLower(toolkit) == "qt").first;
    }

    // The caller checked that the target is in front just before.
    const Insertion done = InsertAtCaret(
        [&](std::span<DBusMessagePtr> calls) { return Exchange(im.bus, calls, timeout); }, control, text, qt->second,
        [] { return true; });
    // A control that tells no caret is looked for again next time.
    if (done == Insertion::NoText) last = {};
    im.Drain();
    return done == Insertion::Done;
}

}  // namespace rw::atspi

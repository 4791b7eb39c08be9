// What the Wayland window system asks of the bridge: the frames of a title,
// and whether a program still answers.
#include "BridgeImpl.h"

namespace rw::atspi {

std::vector<AccFrame> AccessibilityBridge::FramesNamed(const std::string& title) {
    std::vector<AccFrame> frames;
    Impl& im = *impl_;
    const Deadline dl(im.opt.deadlineMs);
    if (title.empty() || !im.Connect()) return frames;
    im.Drain();
    std::vector<Obj> apps;
    const DBusMessagePtr listed =
        Exchange1(im.bus, NewCall({kRegistry, kRootPath}, kAccessible, "GetChildren"), im.opt.callTimeoutMs);
    if (ReplyObjs(listed.get(), apps)) im.ForgetUnlisted(apps);
    const auto self = static_cast<std::uint32_t>(getpid());
    for (const Obj& app : apps) {
        if (dl.Expired()) break;
        const std::uint32_t pid = im.PidOf(app.bus);
        // This process would have to answer itself (see FindWindow).
        if (pid == 0 || pid == self || im.IsHung(app.bus)) continue;
        std::vector<Obj> windows;
        if (!im.Children(app, windows, dl)) continue;
        std::string appName;
        bool appNamed = false;
        for (const Obj& win : windows) {
            if (dl.Expired()) break;
            DBusMessagePtr calls[2] = {NewGetProperty(win, kAccessible, "Name"),
                                       NewCallUint(win, kComponent, "GetExtents", 0)};
            const auto started = Clock::now();
            auto replies = Exchange(im.bus, calls, im.opt.callTimeoutMs);
            std::string name;
            if (!ReplyString(replies[0].get(), name)) {
                im.NoteFailure(app, started);
                break;
            }
            if (!TitleMatches(name, title)) continue;
            if (!appNamed) {
                appNamed = true;
                ReplyString(Exchange1(im.bus, NewGetProperty(app, kAccessible, "Name"), im.opt.callTimeoutMs).get(),
                            appName);
            }
            AccFrame frame{pid, appName, 0, 0};
            Rect4 ext;
            if (ReplyRect(replies[1].get(), ext) && ext.w > 0 && ext.h > 0) {
                frame.w = ext.w;
                frame.h = ext.h;
            }
            frames.push_back(std::move(frame));
        }
    }
    im.Drain();
    return frames;
}

bool AccessibilityBridge::Answers(std::uint32_t pid, int timeoutMs) {
    Impl& im = *impl_;
    if (pid == 0 || pid == static_cast<std::uint32_t>(getpid()) || !im.Connect()) return false;
    im.Drain();
    std::string busName;
    for (const auto& [name, p] : im.pidByBusName)
        if (p == pid) busName = name;
    if (busName.empty()) {
        std::vector<Obj> apps;
        const DBusMessagePtr listed =
            Exchange1(im.bus, NewCall({kRegistry, kRootPath}, kAccessible, "GetChildren"), im.opt.callTimeoutMs);
        if (!ReplyObjs(listed.get(), apps)) return false;
        im.ForgetUnlisted(apps);
        for (const Obj& app : apps)
            if (busName.empty() && im.PidOf(app.bus) == pid) busName = app.bus;
    }
    if (busName.empty() || im.IsHung(busName)) return false;
    // Answered by the toolkit's accessibility bridge on the program's main
    // loop (a D-Bus peer ping would be answered by a library thread).
    const DBusMessagePtr reply = Exchange1(im.bus, NewCall({busName, kRootPath}, kAccessible, "GetRole"),
                                           std::min(timeoutMs, im.opt.callTimeoutMs));
    im.Drain();
    return reply != nullptr;
}

}  // namespace rw::atspi

#include "backends/linux/Diagnosis.h"

namespace rw::lnx {

namespace {

std::string WindowsBy(const std::string& way) {
    if (way == "wlr") return "the compositor's window list (wlroots)";
    if (way == "plasma") return "KWin's window list";
    if (way == "accessible") return "the accessibility bus (window activation of GTK and Qt programs)";
    return way;
}

// The keys' line: its verdict and text.
DiagnosisLine KeysLine(const DiagnosisFacts& f) {
    const std::string& way = f.keysWay;
    if (way.empty()) return {"keys", Verdict::Fails, "none can be sent: " + f.waylandWhy};
    if (way == "virtual-keyboard") return {"keys", Verdict::Ok, "a virtual keyboard with your layout (wlroots)"};
    if (way == "fake-input") return {"keys", Verdict::Ok, "KWin's fake input, in the layout KWin is in"};
    if (way == "portal")
        return {"keys", Verdict::Ok,
                "a remote desktop session through the desktop portal: the desktop asks you at every start "
                "(\"Remote desktop\": allow remote interaction, then Share); no key is typed until you do"};
    if (way == "remote-desktop") return {"keys", Verdict::Ok, "a remote desktop session of mutter's"};
    return {"keys", Verdict::Limited,
            "only characters and {ENTER}, inserted through the accessibility bus; a macro with any other key "
            "stops there"};
}

}  // namespace

std::vector<DiagnosisLine> Diagnose(const DiagnosisFacts& f) {
    std::vector<DiagnosisLine> out;
    using S = DiagnosisFacts::Settings;

    const bool onWayland = f.waylandPicked && f.waylandConnects && !f.windowsWay.empty();
    if (onWayland) {
        out.push_back({"window system", Verdict::Ok, "Wayland: the windows from " + WindowsBy(f.windowsWay)});
        out.push_back(KeysLine(f));
    } else if (f.waylandPicked && (f.display.empty() || f.waylandOnly)) {
        out.push_back({"window system", Verdict::Fails,
                       f.waylandConnects ? "Wayland: " + f.waylandWhy
                                         : std::string("the Wayland compositor cannot be reached")});
    } else if (f.display.empty()) {
        out.push_back({"window system", Verdict::Fails,
                       "no X display (DISPLAY is not set): Replywick needs an X11 session or XWayland"});
    } else if (!f.displayOpens) {
        out.push_back({"window system", Verdict::Fails, "the X display " + f.display + " cannot be opened"});
    } else {
        const std::string why = !f.waylandPicked ? std::string()
                                : f.waylandConnects ? " (Wayland: " + f.waylandWhy + ")"
                                                    : std::string(" (the Wayland compositor cannot be reached)");
        out.push_back({"window system", f.waylandPicked ? Verdict::Limited : Verdict::Ok,
                       "X11 on display " + f.display +
                           (f.waylandSession ? " (XWayland: only X11 programs' windows are seen)" : "") + why});
    }

    if (f.accessibilityBus) {
        out.push_back({"accessibility bus", Verdict::Ok, "reachable: dialog texts and buttons of GTK programs work"});
        if (f.qtSwitchOn) {
            out.push_back({"Qt programs", Verdict::Ok, "take part: the desktop's accessibility switch is on"});
        } else {
            out.push_back({"Qt programs", Verdict::Limited,
                           "take part only when started with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1; for all of them: "
                           "gsettings set org.gnome.desktop.interface toolkit-accessibility true"});
        }
    } else {
        out.push_back({"accessibility bus", Verdict::Limited,
                       "not found: items with a Text do not match and {Dialog ...} does nothing (package "
                       "at-spi2-core)"});
        out.push_back({"Qt programs", Verdict::Limited, "take no part without the accessibility bus"});
    }

    if (f.trayHost) {
        out.push_back({"tray host", Verdict::Ok, "present: Replywick's icon shows in the notification area"});
    } else {
        out.push_back({"tray host", Verdict::Limited,
                       "none: no icon; open the settings with replywick --settings (\"Replywick Settings\" in the "
                       "applications menu)"});
    }

    const std::string file = "settings file";
    const std::string at = f.settingsPath.empty() ? std::string("(none)") : f.settingsPath;
    switch (f.settings) {
        case S::Read:
            out.push_back({file, Verdict::Ok,
                           at + ": " + std::to_string(f.items) + (f.items == 1 ? " item" : " items")});
            if (!f.settingsWritable)
                out.push_back({file, Verdict::Limited, "read-only: changes made in the settings are not kept"});
            break;
        case S::Missing:
            if (f.settingsWritable) {
                out.push_back({file, Verdict::Ok,
                               at + ": not there yet, made when the settings are first saved" +
                                   (f.seedPath.empty() ? std::string()
                                                       : "; until then the " + std::to_string(f.items) +
                                                             " items of " + f.seedPath + " are used")});
            } else {
                out.push_back({file, Verdict::Fails, at + ": not there, and its folder cannot be written"});
            }
            break;
        case S::Unreadable:
            out.push_back({file, Verdict::Fails, at + ": cannot be read; no item is used and it is never replaced"});
            break;
        case S::NotTrusted:
            out.push_back({file, Verdict::Fails,
                           at + ": other users can change it or a folder above it; it is neither read nor written"});
            break;
        case S::NotRegular:
            out.push_back({file, Verdict::Fails, at + ": not a regular file"});
            break;
        case S::TooLarge:
            out.push_back({file, Verdict::Fails, at + ": too large to be a list of items"});
            break;
    }

    out.push_back({"another Replywick", Verdict::Ok,
                   f.instanceRunning ? "runs for this display (replywick --settings opens its settings)"
                                     : "none runs for this display"});
    return out;
}

std::string DiagnosisText(const std::vector<DiagnosisLine>& lines) {
    std::string out;
    for (const auto& l : lines) {
        const char* v = l.verdict == Verdict::Ok ? "ok      " : l.verdict == Verdict::Limited ? "limited " : "FAILS   ";
        out += v + l.fact + ": " + l.text + "\n";
    }
    return out;
}

int DiagnosisExitStatus(const std::vector<DiagnosisLine>& lines) {
    for (const auto& l : lines)
        if (l.verdict == Verdict::Fails) return 1;
    return 0;
}

}  // namespace rw::lnx

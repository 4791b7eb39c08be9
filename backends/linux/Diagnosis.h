// "replywick --diagnose": what Replywick sees and why a dialog might not be
// answered, one line per fact with a verdict. The facts are gathered by the
// program (backends/qt/Diagnose.cpp); what they mean is decided here.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace rw::lnx {

struct DiagnosisFacts {
    // The window system.
    std::string display;          // DISPLAY, empty when not set
    bool displayOpens = false;    // the X display could be opened
    bool waylandSession = false;  // WAYLAND_DISPLAY is set too (XWayland)
    // Wayland, where the program would take it before X11.
    bool waylandPicked = false;
    bool waylandOnly = false;  // and there is no falling back to X11
    bool waylandConnects = false;
    std::string windowsWay, keysWay;  // the ways it would take; empty: none
    std::string waylandWhy;           // why none serves
    // The accessibility bus and the desktop's switch for Qt programs.
    bool accessibilityBus = false;
    bool qtSwitchOn = false;      // org.a11y.Status IsEnabled (or a screen reader)
    // The notification area.
    bool trayHost = false;
    // The settings file.
    std::string settingsPath;
    enum class Settings { Read, Missing, Unreadable, NotTrusted, NotRegular, TooLarge } settings = Settings::Missing;
    std::size_t items = 0;
    // While the file is missing: the file its first items come from, if any
    // (items then counts those).
    std::string seedPath;
    bool settingsWritable = false;  // the file, or (when missing) its folder
    // Another Replywick for this user and display.
    bool instanceRunning = false;
};

enum class Verdict {
    Ok,       // as it should be
    Limited,  // Replywick works, with something less (says what)
    Fails,    // Replywick cannot do its work (says why)
};

struct DiagnosisLine {
    std::string fact;
    Verdict verdict = Verdict::Ok;
    std::string text;
};

std::vector<DiagnosisLine> Diagnose(const DiagnosisFacts& facts);
// "ok", "limited" or "FAILS", then the fact and what it means, one line each.
std::string DiagnosisText(const std::vector<DiagnosisLine>& lines);
// 0 when everything needed is there (nothing Fails), else 1.
int DiagnosisExitStatus(const std::vector<DiagnosisLine>& lines);

}  // namespace rw::lnx

#include "backends/qt/CommandLine.h"

#include <cstring>

#include "base/AppValues.h"

namespace rw::qtapp {

std::string UsageText() {
    return "Usage: replywick [/d] [/ini=FILE]\n"
           "       replywick --settings | --about | --diagnose [/ini=FILE]\n"
           "       replywick --help | --version\n"
           "\n"
           "Answers recurring dialog windows: sits in the notification area and plays\n"
           "the first matching item's macro into each window that comes to the front.\n"
           "Needs an X11 session (DISPLAY); Wayland-only sessions are not supported.\n"
           "\n"
           "  /d          debug lines on standard error\n"
           "  /ini=FILE   use FILE as the settings file when it exists (a name relative\n"
           "              to the program's folder is preferred)\n"
           "  --settings  open the settings of the running Replywick (or start it with them)\n"
           "  --about     the same for the About window\n"
           "  --diagnose  print what Replywick sees and why a dialog might not be answered;\n"
           "              exit status 0 when everything needed is there\n"
           "  --help      show this help and exit\n"
           "  --version   show the version and exit\n"
           "\n"
           "The settings file is replywick.ini beside the program, or, when that folder\n"
           "is not writable, $XDG_CONFIG_HOME/replywick/replywick.ini\n"
           "(~/.config/replywick/replywick.ini). See replywick(1).\n";
}

std::string VersionLine() {
    // The full version, as the package and the Windows file version carry
    // it; the About window shows the same number as "V0.9, Build 073".
    return std::string(kProductName) + " " + std::to_string(kVersionMajor) + "." +
           std::to_string(kVersionMinor) + "." + std::to_string(kVersionRevision);
}

int HandleInfoOptions(int argc, char** argv, std::FILE* out) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == nullptr) continue;
        const bool help = std::strcmp(argv[i], "--help") == 0;
        const bool version = std::strcmp(argv[i], "--version") == 0;
        if (!help && !version) continue;
        const std::string text = help ? UsageText() : VersionLine() + "\n";
        // A lost answer (a full disk, a closed pipe) must not look like success.
        const bool ok = std::fputs(text.c_str(), out) >= 0 && std::fflush(out) == 0;
        return ok ? 0 : 1;
    }
    return -1;
}

}  // namespace rw::qtapp

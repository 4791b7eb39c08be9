#include "app/Startup.h"

#include "actions/KeyTable.h"
#include "actions/Strings.h"

namespace rw {

OsVersionInfo ReadOsVersion(const OsVersionRaw& raw) {
    OsVersionInfo v;
    v.IsNT = raw.platformId == 2;
    v.IsNT4 = v.IsNT && raw.major == 4;
    v.MajorVersion = raw.major;
    v.MinorVersion = raw.minor;
    v.BuildNumber = raw.build;
    // The 98/Me line and NT 5.0 onwards refuse a plain foreground switch.
    v.HasForegroundLock = (raw.minor >= 1 && raw.major >= 4 && !v.IsNT) || raw.major >= 5;
    return v;
}

std::string StripExtension(const std::string& name) {
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

bool IsGermanLangId(std::uint16_t langId) {
    // German (Germany), Upper Sorbian, German (Switzerland), German (Austria).
    return langId == 1031 || langId == 1070 || langId == 2055 || langId == 3079;
}

namespace {

// End of the "/ini=" value on Linux: a run of blanks followed by "/" (the
// next switch), or the end of the line. Paths may contain blanks and
// slashes, but a path component rarely ends in a blank.
std::size_t PosixValueEnd(const std::string& args, std::size_t from) {
    std::size_t i = from;
    while (i < args.size()) {
        if (args[i] != ' ') {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < args.size() && args[j] == ' ') ++j;
        if (j < args.size() && args[j] == '/') return i;
        i = j;
    }
    return args.size();
}

}  // namespace

CommandLineSwitches ParseCommandLine(const std::string& args, bool posixPaths) {
    CommandLineSwitches sw;
    // UCase changes letters only, so positions in upper stand for args.
    std::string upper = UCase(args);
    const auto ini = upper.find("/INI=");
    if (ini != std::string::npos) {
        sw.hasIni = true;
        const std::size_t from = ini + 5;
        std::size_t end;
        if (posixPaths) {
            end = PosixValueEnd(args, from);
            // A Linux path is full of slashes: "/ini=/data/x.ini" must not
            // switch debug lines on, which would write every macro (and the
            // passwords in it) to standard error.
            upper.replace(from, end - from, " ");
        } else {
            end = args.find('/', from);
            if (end == std::string::npos) end = args.size();
        }
        sw.iniValue = args.substr(from, end - from);
    }
    sw.debug = upper.find("/D") != std::string::npos;
    return sw;
}

AppValues ComputeAppValues(const StartupInputs& in) {
    AppValues v;
    const char sep = in.sep;
    const bool posix = sep == '/';
    auto exists = [&](const std::string& path) {
        if (!in.fileExists || !in.fileExists(path, std::string())) return false;
        return !(in.isDirectory && in.isDirectory(path));
    };

    // The program's directory, without a trailing separator even at a root:
    // "C:" for C:\replywick.exe, "" for /replywick.
    const auto lastSep = in.exePath.rfind(sep);
    const std::string file = lastSep == std::string::npos ? in.exePath : in.exePath.substr(lastSep + 1);
    v.AppPath = lastSep == std::string::npos ? std::string() : in.exePath.substr(0, lastSep);

    v.OsVersion = ReadOsVersion(in.os);
    v.UseEnglish = !IsGermanLangId(in.langId);

    // Linux programs carry no extension, so ExePath is the file's own name
    // there; the settings file still drops whatever follows the last dot.
    const std::string base = posix ? file : StripExtension(file);
    v.ExePath = v.AppPath + sep + base + (posix ? "" : ".exe");
    const std::string iniName = StripExtension(base) + ".ini";
    v.IniPath = v.AppPath + sep + iniName;

    const CommandLineSwitches sw = ParseCommandLine(in.args, posix);
    v.DebugMode = sw.debug;

    bool iniChosen = false;
    // An empty or blank value would name the program's directory itself, and
    // a directory cannot hold the settings: such a value is no choice.
    if (sw.hasIni && !TrimSpaces(sw.iniValue).empty()) {
        const std::string beside = v.AppPath + sep + sw.iniValue;
        // An absolute Linux path is never looked up beside the program.
        const bool absolute = posix && sw.iniValue.front() == '/';
        if (!absolute && exists(beside)) {
            v.IniPath = beside;
            iniChosen = true;
        } else if (exists(sw.iniValue)) {
            v.IniPath = sw.iniValue;
            iniChosen = true;
        }
    }

    // Installed where the user cannot write (say /usr/bin), the default file
    // could never be saved and every edit would be lost without a word; it
    // moves to the user's configuration directory instead.
    if (!iniChosen && !in.configDir.empty() && in.dirWritable) {
        std::string dir = v.AppPath;
        if (dir.empty() || dir.back() == ':') dir += sep;
        if (!in.dirWritable(dir)) {
            std::string config = RemoveBackslash(in.configDir, sep);
            AddBackslash(config, sep);
            v.SeedIniPath = v.IniPath;
            v.IniPath = config + "replywick" + sep + iniName;
        }
    }

    v.TwipsPerPixelX = in.twipsX;
    v.TwipsPerPixelY = in.twipsY;
    v.AddItemCaption = v.UseEnglish ? "Add Item" : "Eintrag hinzufügen";
    v.EditItemCaption = v.UseEnglish ? "Edit Item" : "Eintrag bearbeiten";
    return v;
}

void InitApp() {
    const Platform& sys = Sys();
    StartupInputs in;
    in.exePath = sys.facts.ExecutablePath();
    in.args = sys.facts.CommandLineArgs();
    in.sep = sys.facts.PathSeparator();
    in.os = sys.facts.GetVersionEx();
    in.langId = sys.facts.GetSystemDefaultLangID();
    in.twipsX = sys.facts.TwipsPerPixelX();
    in.twipsY = sys.facts.TwipsPerPixelY();
    in.fileExists = [](const std::string& path, const std::string& dir) { return FileExists(path, dir); };
    in.isDirectory = [&sys](const std::string& path) { return sys.files.IsDirectory(path); };
    in.configDir = sys.files.UserConfigDir();
    in.dirWritable = [&sys](const std::string& dir) { return sys.files.IsDirectoryWritable(dir); };

    AppValues v = ComputeAppValues(in);
    const bool debug = v.DebugMode;

    // The key table is built before the debug switch is read, so building it
    // writes no debug lines.
    v.DebugMode = false;
    App = v;
    LoadKeyTable();

    App.DebugMode = debug;
    DebugLine([] { return std::string("Replywick started in debugmode"); });
}

}  // namespace rw

#include "backends/linux/DiagnosisFacts.h"

#include <string>

#include "app/Startup.h"
#include "backends/linux/LinuxUtil.h"
#include "backends/posix/PosixFiles.h"
#include "backends/posix/PosixProcess.h"
#include "items/Items.h"
#include "items/Settings.h"

namespace rw::lnx {

void GatherSettingsFacts(int argc, char** argv, DiagnosisFacts& f) {
    posix::PosixFiles files;
    StartupInputs in;
    in.exePath = posix::ExecutablePath();
    for (int i = 1; i < argc; ++i) in.args += (i > 1 ? " " : "") + std::string(argv[i] != nullptr ? argv[i] : "");
    in.sep = '/';
    in.langId = LangIdFromLocale(SystemLocale());
    in.fileExists = [&files](const std::string& path, const std::string& dir) {
        if (path.empty()) return false;
        if (files.PathExists(path)) return true;
        return !dir.empty() && path.front() != '/' && files.PathExists(dir + "/" + path);
    };
    in.isDirectory = [&files](const std::string& path) { return files.IsDirectory(path); };
    in.configDir = files.UserConfigDir();
    in.dirWritable = [&files](const std::string& dir) { return files.IsDirectoryWritable(dir); };
    const AppValues v = ComputeAppValues(in);
    f.settingsPath = v.IniPath;

    using S = DiagnosisFacts::Settings;
    std::string bytes;
    const FileOutcome read = files.ReadUsersFile(v.IniPath, bytes, kMaxSettingsFileBytes);
    auto countItems = [](const std::string& text) {
        clsItems items;
        ReadSettingsText(text, items);
        return static_cast<std::size_t>(items.Count());
    };
    switch (read.verdict) {
        case FileVerdict::Done:
            f.settings = S::Read;
            f.items = countItems(bytes);
            f.settingsWritable = files.IsFileWritable(v.IniPath);
            break;
        case FileVerdict::Missing: {
            f.settings = S::Missing;
            const auto slash = v.IniPath.rfind('/');
            const std::string dir = slash == std::string::npos ? "." : v.IniPath.substr(0, slash);
            // The program makes the folder under the configuration folder.
            f.settingsWritable = files.IsDirectory(dir) ? files.IsDirectoryWritable(dir)
                                                        : v.IniPath.rfind(in.configDir + "/", 0) == 0;
            std::string seed;
            if (!v.SeedIniPath.empty() &&
                files.ReadUsersFile(v.SeedIniPath, seed, kMaxSettingsFileBytes).verdict == FileVerdict::Done) {
                f.seedPath = v.SeedIniPath;
                f.items = countItems(seed);
            }
            break;
        }
        case FileVerdict::NotTrusted:
            f.settings = S::NotTrusted;
            break;
        case FileVerdict::NotRegular:
            f.settings = S::NotRegular;
            break;
        case FileVerdict::TooLarge:
            f.settings = S::TooLarge;
            break;
        default:
            f.settings = S::Unreadable;
            break;
    }
}

}  // namespace rw::lnx

// Start-up: the command line, the paths and the other application-wide
// values, settled once from the platform's facts.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/AppValues.h"
#include "platform/Platform.h"

namespace rw {

OsVersionInfo ReadOsVersion(const OsVersionRaw& raw);
std::string StripExtension(const std::string& name);
// True for the system default language ids that get the German interface.
bool IsGermanLangId(std::uint16_t langId);

struct CommandLineSwitches {
    bool debug = false;
    bool hasIni = false;
    std::string iniValue;  // verbatim, not trimmed
};
// posixPaths: the "/ini=" value ends at a blank followed by "/" (or the end)
// instead of at the next "/", because every Linux path contains one.
CommandLineSwitches ParseCommandLine(const std::string& args, bool posixPaths);

// Everything start-up needs from outside, so the rules can be tested
// without a platform.
struct StartupInputs {
    std::string exePath;      // full path of the executable
    std::string args;         // command line without the program path
    char sep = '\\';
    OsVersionRaw os;
    std::uint16_t langId = 1033;
    std::int32_t twipsX = 15;
    std::int32_t twipsY = 15;
    std::function<bool(const std::string& path, const std::string& dir)> fileExists;
    // A folder is never a settings file.
    std::function<bool(const std::string& path)> isDirectory;
    // Where a default settings file goes when the program's own directory
    // cannot be written (empty: no fallback).
    std::string configDir;
    std::function<bool(const std::string& dir)> dirWritable;
};
// The start-up values from their inputs:
//  - AppPath is the executable's directory without a trailing separator
//    ("C:" for a program in C:\, "" for one in / on Linux).
//  - ExePath is AppPath + "\" + base name + ".exe" on Windows; on Linux,
//    where programs carry no extension, the executable's own file name.
//  - IniPath defaults to AppPath + sep + StripExtension(base name) + ".ini";
//    an "/ini=" file beside the program wins over the value as given; a
//    value that names a folder (or a blank one, which names the program's
//    folder) counts as no choice.
//  - Where configDir is set and the program's directory is not writable,
//    the default moves to configDir/replywick/NAME.ini (NAME as beside the
//    program), so that edits are not lost on a read-only install; the file
//    beside the program becomes SeedIniPath. Whoever writes the file there
//    must create that folder first.
AppValues ComputeAppValues(const StartupInputs& in);

// Fills App from the platform (Sys()), builds the key table, then turns on
// debug mode and writes the start-up debug line when "/d" was given.
void InitApp();

}  // namespace rw

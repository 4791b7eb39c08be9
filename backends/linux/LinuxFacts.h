// Facts about the running program and the system on a Linux desktop, the
// same on every window system: the program's file and command line, the
// locale's language and decimal separator, UTF-8 text rules, and debug
// lines on standard error. Only the screen is the window system's to tell.
#pragma once

#include <cstdint>
#include <string>

#include "platform/SystemFacts.h"

namespace rw::lnx {

class LinuxFacts : public SystemFacts {
public:
    // The command line as given, without the program's own path.
    LinuxFacts(int argc, char** argv);

    std::string ExecutablePath() override;
    std::string CommandLineArgs() override { return args_; }
    char PathSeparator() override { return '/'; }
    std::uint32_t GetCurrentProcessId() override;
    // The values of a modern NT system, so that the NT code paths are taken.
    OsVersionRaw GetVersionEx() override { return OsVersionRaw{}; }
    std::uint16_t GetSystemDefaultLangID() override;
    std::string GetDecimalSeparator() override;
    std::string LoadResString(int id) override;
    std::size_t CharLength(const std::string& text, std::size_t pos) override;
    // Unicode case folding of UTF-8 text; text that is not UTF-8 folds its
    // ASCII letters only, so that two different stray bytes never compare
    // equal.
    bool EqualsIgnoringCase(const std::string& a, const std::string& b) override;
    void DebugOutput(const std::string& line) override;

private:
    std::string args_;
};

}  // namespace rw::lnx

// The Files role on the Win32 file API (ANSI paths).
#pragma once

#include "platform/Files.h"

namespace rw::win32 {

class Win32Files final : public Files {
public:
    bool PathExists(const std::string& path) override;
    bool IsDirectory(const std::string& path) override;
    bool ReadFileBytes(const std::string& path, std::string& bytes) override;
    // Access rights come from the folder (inherited ACLs): the template's
    // mode is not copied.
    bool WriteNewFileDurably(const std::string& path, const std::string& bytes,
                             const std::string& modeTemplate) override;
    bool ReplaceFileWith(const std::string& source, const std::string& target) override;
    bool RemoveFile(const std::string& path) override;
    std::vector<std::string> FilesBeginningWith(const std::string& path) override;
    bool IsDirectoryWritable(const std::string& dir) override;
    // The read-only attribute decides.
    bool IsFileWritable(const std::string& path) override;
    // Windows keeps the settings beside the program.
    std::string UserConfigDir() override { return {}; }
    std::string HostName() override;
    std::int64_t FileAgeSeconds(const std::string& path) override;
};

}  // namespace rw::win32

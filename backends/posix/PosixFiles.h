// File primitives shared by the Linux and the test backends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Files.h"

namespace rw::posix {

std::string HostName();
// Opens (creating it, owner-only) a lock file that is the user's own: a
// regular file this user owns, reached without following a link. -1 for
// anything else, such as a file another user put there first.
int OpenOwnLockFile(const std::string& path);
// Length of the UTF-8 sequence at pos; 1 for a stray or truncated byte.
std::size_t Utf8CharLength(const std::string& text, std::size_t pos);
// Whether the whole text is well-formed UTF-8 (by the same sequence rule).
bool IsValidUtf8(const std::string& text);

// The Files role on Linux: real files, the user's configuration folder.
//
// The settings file as only the user may have made it (ReadUsersFile,
// ReplaceUsersFile): a file or folder is the user's when the user or root
// owns it and nobody else may write it: not everyone, and not a group
// other than the owner's private one (a group with the owner as its only
// member). A folder with the sticky bit may be writable by everyone (its
// entries stay their owners'). Every folder from "/" down is checked, each
// opened relative to the one above it, and links are followed only when
// the user or root made them. All work on the file happens through its
// folder's open handle, so nothing can be swapped between the checks and
// the rename.
class PosixFiles : public Files {
public:
    bool PathExists(const std::string& path) override;
    bool IsDirectory(const std::string& path) override;
    bool ReadFileBytes(const std::string& path, std::string& bytes) override;
    bool WriteNewFileDurably(const std::string& path, const std::string& bytes,
                             const std::string& modeTemplate) override;
    bool ReplaceFileWith(const std::string& source, const std::string& target) override;
    bool RemoveFile(const std::string& path) override;
    std::vector<std::string> FilesBeginningWith(const std::string& path) override;
    // The final target of a chain of symbolic links; path itself when it is
    // no link (or the chain cannot be followed).
    std::string ResolveFilePath(const std::string& path) override;
    bool IsDirectoryWritable(const std::string& dir) override;
    // Whether the user lets us replace an existing file: its owner needs the
    // owner's write bit (root included, who could write anything), anyone
    // else the system's permission check.
    bool IsFileWritable(const std::string& path) override;
    std::string UserConfigDir() override;
    FileOutcome ReadUsersFile(const std::string& path, std::string& bytes, std::size_t maxBytes) override;
    FileOutcome ReplaceUsersFile(const std::string& path, const std::string& bytes,
                                 const std::string& tmpSuffix) override;
    std::string HostName() override;
    // Seconds since the entry at path (a link itself, not its target) was
    // last changed; negative where unknown or in the future.
    std::int64_t FileAgeSeconds(const std::string& path) override;

protected:
    // Failures a test backend can ask for: the write of the temporary file
    // stops half-way, or the final rename fails.
    struct ReplaceFaults {
        bool failWrite = false;
        bool failRename = false;
    };
    FileOutcome ReplaceUsersFileWith(const std::string& path, const std::string& bytes,
                                     const std::string& tmpSuffix, const ReplaceFaults& faults);
};

}  // namespace rw::posix

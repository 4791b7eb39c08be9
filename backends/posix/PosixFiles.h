// File primitives shared by the Linux and the test backends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Files.h"

namespace rw::posix {

bool PathExists(const std::string& path);
bool ReadFileBytes(const std::string& path, std::string& bytes);
bool WriteNewFileDurably(const std::string& path, const std::string& bytes,
                         const std::string& modeTemplate);
bool ReplaceFileWith(const std::string& source, const std::string& target);
bool RemoveFile(const std::string& path);
std::vector<std::string> FilesBeginningWith(const std::string& path);
// The final target of a chain of symbolic links; path itself when it is no
// link (or the chain cannot be followed).
std::string ResolveFilePath(const std::string& path);
bool IsDirectoryWritable(const std::string& dir);
bool IsDirectory(const std::string& path);
// Whether the user lets us replace an existing file: its owner needs the
// owner's write bit (root included, who could write anything), anyone else
// the system's permission check.
bool IsFileWritable(const std::string& path);
// Length of the UTF-8 sequence at pos; 1 for a stray or truncated byte.
std::size_t Utf8CharLength(const std::string& text, std::size_t pos);
// Whether the whole text is well-formed UTF-8 (by the same sequence rule).
bool IsValidUtf8(const std::string& text);

// The Files role on Linux: real files, the user's configuration folder.
class PosixFiles : public Files {
public:
    bool PathExists(const std::string& path) override { return posix::PathExists(path); }
    bool IsDirectory(const std::string& path) override { return posix::IsDirectory(path); }
    bool ReadFileBytes(const std::string& path, std::string& bytes) override {
        return posix::ReadFileBytes(path, bytes);
    }
    bool WriteNewFileDurably(const std::string& path, const std::string& bytes,
                             const std::string& modeTemplate) override {
        return posix::WriteNewFileDurably(path, bytes, modeTemplate);
    }
    bool ReplaceFileWith(const std::string& source, const std::string& target) override {
        return posix::ReplaceFileWith(source, target);
    }
    bool RemoveFile(const std::string& path) override { return posix::RemoveFile(path); }
    std::vector<std::string> FilesBeginningWith(const std::string& path) override {
        return posix::FilesBeginningWith(path);
    }
    std::string ResolveFilePath(const std::string& path) override { return posix::ResolveFilePath(path); }
    bool IsDirectoryWritable(const std::string& dir) override { return posix::IsDirectoryWritable(dir); }
    bool IsFileWritable(const std::string& path) override { return posix::IsFileWritable(path); }
    std::string UserConfigDir() override;
};

}  // namespace rw::posix

// File primitives shared by the Linux and the test backends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rw::posix {

bool PathExists(const std::string& path);
bool ReadFileBytes(const std::string& path, std::string& bytes);
bool WriteNewFileDurably(const std::string& path, const std::string& bytes,
                         const std::string& modeTemplate);
bool ReplaceFileWith(const std::string& source, const std::string& target);
bool RemoveFile(const std::string& path);
std::vector<std::string> FilesBeginningWith(const std::string& path);
// kill(pid, 0): a process that exists, also one we may not signal.
bool ProcessRunning(std::uint32_t pid);
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

}  // namespace rw::posix

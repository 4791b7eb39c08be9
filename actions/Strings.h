// Small text and path helpers whose exact contracts the rest relies on.
// Positions are 1-based, like the rest of the program's text handling.
#pragma once

#include <cstdint>
#include <string>

namespace rw {

std::string CutAtNul(const std::string& text);
std::string TrimAtNul(const std::string& text);
// Next piece of text from position pos (1-based; 0 marks the end), trimmed
// of spaces; advances pos past the delimiter. The delimiter must not be empty.
std::string NextToken(std::int32_t& pos, const std::string& text, const std::string& delim);
// Replaces every non-overlapping occurrence, left to right. search must not
// be empty.
void ReplaceAll(std::string& text, const std::string& search, const std::string& replacement);
std::string FormatAbs(std::int16_t value);
// Spaces (character 32 only) removed at both ends.
std::string TrimSpaces(const std::string& text);
// ASCII upper case; other bytes unchanged.
std::string UCase(const std::string& text);
bool EqualsNoCase(const std::string& a, const std::string& b);

// Path helpers take the platform's separator ('\\' on Windows).
void AddBackslash(std::string& path, char sep = '\\');
std::string RemoveBackslash(const std::string& path, char sep = '\\');
// True for an existing file or directory given absolutely, relative to the
// current directory, or relative to dir. Asks the platform (Sys()). No
// search path and no file association is consulted: a bare name that only
// the system's program search would find does not count as existing.
bool FileExists(const std::string& path, const std::string& dir);

// The user locale's decimal separator, trimmed and cut at a NUL; empty if
// it cannot be read.
std::string GetDecimalSeparator();

}  // namespace rw

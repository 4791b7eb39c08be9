#include "backends/win32/Win32Files.h"

#include "backends/win32/Win32Api.h"

#include <utility>

#include "backends/win32/Win32Util.h"

namespace rw::win32 {

bool Win32Files::PathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32Files::IsDirectory(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32Files::ReadFileBytes(const std::string& path, std::string& bytes) {
    Handle f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.valid()) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(f.get(), &size) || size.QuadPart < 0 || size.QuadPart > 0x7FFFFFFF) return false;
    std::string data(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < data.size()) {
        DWORD got = 0;
        if (!ReadFile(f.get(), data.data() + done, static_cast<DWORD>(data.size() - done), &got, nullptr))
            return false;
        if (got == 0) break;
        done += got;
    }
    data.resize(done);
    bytes = std::move(data);
    return true;
}

bool Win32Files::WriteNewFileDurably(const std::string& path, const std::string& bytes,
                                     const std::string& /*modeTemplate*/) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        DWORD wrote = 0;
        ok = WriteFile(h, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &wrote, nullptr) &&
             wrote > 0;
        done += wrote;
    }
    ok = ok && FlushFileBuffers(h);
    ok = CloseHandle(h) && ok;
    if (!ok) DeleteFileA(path.c_str());
    return ok;
}

bool Win32Files::ReplaceFileWith(const std::string& source, const std::string& target) {
    return MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool Win32Files::RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

std::vector<std::string> Win32Files::FilesBeginningWith(const std::string& path) {
    std::vector<std::string> out;
    const auto sep = path.find_last_of("\\/");
    const std::string dir = sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((path + "*").c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return out;
    const std::string name = sep == std::string::npos ? path : path.substr(sep + 1);
    do {
        const std::string entry = data.cFileName;
        // The pattern also matches short 8.3 names; only real prefixes count.
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && entry.size() > name.size() &&
            entry.compare(0, name.size(), name) == 0)
            out.push_back(dir + entry);
    } while (FindNextFileA(h, &data));
    FindClose(h);
    return out;
}

bool Win32Files::IsDirectoryWritable(const std::string& dir) {
    char name[MAX_PATH + 16];
    if (GetTempFileNameA(dir.empty() ? "." : dir.c_str(), "rw", 0, name) == 0) return false;
    DeleteFileA(name);
    return true;
}

bool Win32Files::IsFileWritable(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY) == 0;
}

std::string Win32Files::HostName() {
    char buf[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof buf;
    if (!GetComputerNameA(buf, &size)) return {};
    return std::string(buf, size);
}

std::int64_t Win32Files::FileAgeSeconds(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) {
        return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    // FILETIME counts 100 ns steps.
    return (ticks(now) - ticks(data.ftLastWriteTime)) / 10000000;
}

}  // namespace rw::win32

#include "backends/posix/PosixFiles.h"

#include "backends/posix/PosixProcess.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace rw::posix {

bool PathExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    std::string out;
    if (st.st_size > 0) out.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    bytes.swap(out);
    return true;
}

static bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteNewFileDurably(const std::string& path, const std::string& bytes,
                         const std::string& modeTemplate) {
    // Macros may hold passwords: a file of our own is readable by its owner
    // only, unless the user gave the old file other permissions.
    mode_t mode = 0600;
    struct stat st {};
    bool haveTemplate = false;
    if (!modeTemplate.empty() && ::stat(modeTemplate.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
        haveTemplate = true;
    }
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    // The group goes first (changing it may clear set-id bits), then the
    // mode; a group we may not give the file is left as it comes.
    if (haveTemplate && st.st_gid != ::getegid()) {
        int ignored = ::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
        (void)ignored;
    }
    bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (!ok) ::unlink(path.c_str());
    return ok;
}

bool ReplaceFileWith(const std::string& source, const std::string& target) {
    if (::rename(source.c_str(), target.c_str()) != 0) return false;
    // Make the rename itself durable.
    std::string dir = ".";
    auto slash = target.rfind('/');
    if (slash != std::string::npos) dir = slash == 0 ? "/" : target.substr(0, slash);
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

std::vector<std::string> FilesBeginningWith(const std::string& path) {
    std::vector<std::string> out;
    const auto slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return out;
    while (const dirent* e = ::readdir(d)) {
        const std::string entry = e->d_name;
        if (entry.compare(0, name.size(), name) == 0 && entry.size() > name.size())
            out.push_back(slash == std::string::npos ? entry : dir + (dir == "/" ? "" : "/") + entry);
    }
    ::closedir(d);
    return out;
}

std::string ResolveFilePath(const std::string& path) {
    // Follow links one at a time (a dangling last link still names the file
    // to create); give up on a loop.
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        char buf[4096];
        ssize_t n = ::readlink(current.c_str(), buf, sizeof buf - 1);
        if (n < 0) return current;
        std::string target(buf, static_cast<std::size_t>(n));
        if (target.empty()) return current;
        if (target[0] != '/') {
            auto slash = current.rfind('/');
            if (slash != std::string::npos) target = current.substr(0, slash + 1) + target;
        }
        current = target;
    }
    return path;
}

bool IsDirectoryWritable(const std::string& dir) {
    return ::access(dir.empty() ? "." : dir.c_str(), W_OK | X_OK) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFileWritable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    if (st.st_uid == ::geteuid()) return (st.st_mode & S_IWUSR) != 0;
    if (::geteuid() == 0) return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    return ::access(path.c_str(), W_OK) == 0;
}

std::size_t Utf8CharLength(const std::string& text, std::size_t pos) {
    if (pos >= text.size()) return 0;
    auto c = static_cast<unsigned char>(text[pos]);
    std::size_t n = 1;
    if (c >= 0xF0 && c <= 0xF4) n = 4;
    else if (c >= 0xE0 && c <= 0xEF) n = 3;
    else if (c >= 0xC2 && c <= 0xDF) n = 2;
    if (n == 1 || pos + n > text.size()) return 1;
    for (std::size_t k = 1; k < n; ++k) {
        if ((static_cast<unsigned char>(text[pos + k]) & 0xC0) != 0x80) return 1;
    }
    return n;
}

bool IsValidUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = Utf8CharLength(text, i);
        if (n == 1 && static_cast<unsigned char>(text[i]) >= 0x80) return false;
        i += n;
    }
    return true;
}

std::string PosixFiles::UserConfigDir() { return posix::UserConfigDir(); }

}  // namespace rw::posix

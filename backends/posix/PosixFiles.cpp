#include "backends/posix/PosixFiles.h"

#include "backends/posix/PosixProcess.h"
#include "backends/posix/UserPath.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace rw::posix {

bool PosixFiles::PathExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool PosixFiles::ReadFileBytes(const std::string& path, std::string& bytes) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    std::string out;
    if (st.st_size > 0) out.reserve(static_cast<std::size_t>(st.st_size));
    const ReadEnd end = ReadAllFrom(fd, out, static_cast<std::size_t>(-1));
    ::close(fd);
    if (end != ReadEnd::Whole) return false;
    bytes.swap(out);
    return true;
}

bool PosixFiles::WriteNewFileDurably(const std::string& path, const std::string& bytes,
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
    bool ok = ::fchmod(fd, mode) == 0 && WriteAllTo(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (!ok) ::unlink(path.c_str());
    return ok;
}

bool PosixFiles::ReplaceFileWith(const std::string& source, const std::string& target) {
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

bool PosixFiles::RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

std::vector<std::string> PosixFiles::FilesBeginningWith(const std::string& path) {
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

std::string PosixFiles::ResolveFilePath(const std::string& path) {
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

bool PosixFiles::IsDirectoryWritable(const std::string& dir) {
    return ::access(dir.empty() ? "." : dir.c_str(), W_OK | X_OK) == 0;
}

bool PosixFiles::IsDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PosixFiles::IsFileWritable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    if (st.st_uid == ::geteuid()) return (st.st_mode & S_IWUSR) != 0;
    if (::geteuid() == 0) return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    return ::access(path.c_str(), W_OK) == 0;
}


FileOutcome PosixFiles::ReadUsersFile(const std::string& path, std::string& bytes, std::size_t maxBytes) {
    Located loc;
    FileOutcome out = Locate(path, loc);
    if (out.verdict != FileVerdict::Done) return out;
    if (!AcceptableFile(loc.st, out)) return out;
    const auto tooLarge = [&] {
        out.verdict = FileVerdict::TooLarge;
        out.detail = out.path + " is larger than " + std::to_string(maxBytes) + " bytes";
        return out;
    };
    if (static_cast<std::uint64_t>(loc.st.st_size) > maxBytes) return tooLarge();
    // Not blocking: should a FIFO take the file's place after all, the open
    // returns at once and the check below refuses it.
    const int fd = ::openat(loc.chain.Top(), loc.name.c_str(),
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        out.verdict = err == ENOENT ? FileVerdict::Missing : FileVerdict::Unreadable;
        out.detail = out.path + ": " + ErrorText(err);
        return out;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_dev != loc.st.st_dev || st.st_ino != loc.st.st_ino) {
        ::close(fd);
        out.verdict = FileVerdict::Unreadable;
        out.detail = out.path + " changed while it was opened";
        return out;
    }
    if (!AcceptableFile(st, out)) {
        ::close(fd);
        return out;
    }
    std::string read;
    if (st.st_size > 0) read.reserve(static_cast<std::size_t>(st.st_size));
    // A file that grows while it is read stops at the limit all the same.
    const ReadEnd end = ReadAllFrom(fd, read, maxBytes);
    const int err = errno;
    ::close(fd);
    if (end == ReadEnd::TooLarge) return tooLarge();
    if (end == ReadEnd::Failed) {
        out.verdict = FileVerdict::Unreadable;
        out.detail = out.path + ": " + ErrorText(err);
        return out;
    }
    bytes.swap(read);
    return out;
}

FileOutcome PosixFiles::ReplaceUsersFileWith(const std::string& path, const std::string& bytes, const std::string& tmpSuffix,
                             const ReplaceFaults& faults) {
    Located loc;
    FileOutcome out = Locate(path, loc);
    if (out.verdict == FileVerdict::Missing) {
        if (loc.name.empty()) {
            out.verdict = FileVerdict::Failed;
            return out;
        }
    } else if (out.verdict != FileVerdict::Done) {
        return out;
    }
    if (tmpSuffix.find('/') != std::string::npos) {
        out.verdict = FileVerdict::Failed;
        out.detail = "bad name for a temporary file: " + tmpSuffix;
        return out;
    }
    const int dir = loc.chain.Top();
    // Macros may hold passwords: a new file is readable by its owner only.
    // Permissions and group the user chose for their file survive; those of
    // a file someone else gave them (root's) are not copied.
    mode_t mode = 0600;
    bool keepGroup = false;
    if (loc.exists) {
        if (!AcceptableFile(loc.st, out)) return out;
        bool writable = false;
        if (loc.st.st_uid == ::geteuid()) writable = (loc.st.st_mode & S_IWUSR) != 0;
        else if (::geteuid() == 0) writable = (loc.st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
        else writable = ::faccessat(dir, loc.name.c_str(), W_OK, AT_EACCESS) == 0;
        if (!writable) {
            out.verdict = FileVerdict::ReadOnly;
            return out;
        }
        if (loc.st.st_uid == ::geteuid()) {
            mode = loc.st.st_mode & 0777;
            keepGroup = loc.st.st_gid != ::getegid();
        }
    }
    const std::string tmp = loc.name + tmpSuffix;
    // One left by an interrupted save of the same name would block this one
    // (the file is created exclusively).
    ::unlinkat(dir, tmp.c_str(), 0);
    const int fd = ::openat(dir, tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        out.verdict = FileVerdict::Failed;
        out.detail = loc.chain.PathOf(tmp) + ": " + ErrorText(errno);
        return out;
    }
    // The group goes first (changing it may clear set-id bits), then the
    // mode; a group we may not give the file is left as it comes.
    if (keepGroup) {
        int ignored = ::fchown(fd, static_cast<uid_t>(-1), loc.st.st_gid);
        (void)ignored;
    }
    bool ok = ::fchmod(fd, mode) == 0;
    if (ok && faults.failWrite) {
        (void)WriteAllTo(fd, bytes.data(), bytes.size() / 2);
        ok = false;
    }
    ok = ok && WriteAllTo(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (ok) ok = !faults.failRename && ::renameat(dir, tmp.c_str(), dir, loc.name.c_str()) == 0;
    if (!ok) {
        const int err = errno;
        ::unlinkat(dir, tmp.c_str(), 0);
        out.verdict = FileVerdict::Failed;
        if (out.detail.empty()) out.detail = out.path + ": " + ErrorText(err);
        return out;
    }
    // Make the rename itself durable.
    ::fsync(dir);
    out.verdict = FileVerdict::Done;
    out.detail.clear();
    return out;
}

std::string HostName() {
    char buf[256] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0) return {};
    return buf;
}

std::int64_t PosixFiles::FileAgeSeconds(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return -1;
    return static_cast<std::int64_t>(std::time(nullptr)) - static_cast<std::int64_t>(st.st_mtime);
}

int OpenOwnLockFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        return -1;
    }
    return fd;
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
std::string PosixFiles::HostName() { return posix::HostName(); }

FileOutcome PosixFiles::ReplaceUsersFile(const std::string& path, const std::string& bytes,
                                         const std::string& tmpSuffix) {
    return ReplaceUsersFileWith(path, bytes, tmpSuffix, {});
}

}  // namespace rw::posix

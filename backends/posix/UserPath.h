// Where the settings file may be read and written: a walk along its path
// from "/" that trusts only the user's own files and folders (see
// PosixFiles), each folder opened relative to the one above it.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <string>
#include <vector>

#include "platform/Files.h"

namespace rw::posix {

std::string ErrorText(int err);
// Why an entry is not the user's own ("owned by user 65534", "writable by
// everyone (mode 0777)"); empty when it is.
std::string Untrusted(const struct stat& st);

// The open folders from "/" down to the one a walk has reached, each checked
// when it was opened relative to the one above it.
class FolderChain {
public:
    FolderChain() = default;
    FolderChain(const FolderChain&) = delete;
    FolderChain& operator=(const FolderChain&) = delete;
    ~FolderChain() { Close(1); }

    int Top() const { return fds_.back(); }
    std::size_t Depth() const { return fds_.size(); }
    std::string PathOf(const std::string& name) const {
        std::string out;
        for (const std::string& n : names_) out += "/" + n;
        return out + "/" + name;
    }
    std::string Path() const {
        std::string out;
        for (const std::string& n : names_) out += "/" + n;
        return out.empty() ? "/" : out;
    }
    void ToRoot() { Close(1); }
    void Up() {
        if (fds_.size() > 1) Close(fds_.size() - 1);
    }
    // Opens "/"; false with why filled when it cannot be trusted.
    bool OpenRoot(FileOutcome& out) {
        Close(0);
        const int fd = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return Fail(out, FileVerdict::Unreadable, "/: " + ErrorText(errno));
        fds_.push_back(fd);
        return Check(fd, "/", out);
    }
    // Opens the folder name inside Top(), without following a link.
    bool Enter(const std::string& name, FileOutcome& out) {
        const int fd = ::openat(Top(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return Fail(out, FileVerdict::Unreadable, PathOf(name) + ": " + ErrorText(errno));
        fds_.push_back(fd);
        names_.push_back(name);
        return Check(fd, Path(), out);
    }

private:
    static bool Fail(FileOutcome& out, FileVerdict v, std::string detail) {
        out.verdict = v;
        out.detail = std::move(detail);
        return false;
    }
    static bool Check(int fd, const std::string& path, FileOutcome& out) {
        struct stat st {};
        if (::fstat(fd, &st) != 0) return Fail(out, FileVerdict::Unreadable, path + ": " + ErrorText(errno));
        const std::string why = Untrusted(st);
        if (!why.empty()) return Fail(out, FileVerdict::NotTrusted, "folder " + path + " is " + why);
        return true;
    }
    void Close(std::size_t keep) {
        while (fds_.size() > keep) {
            ::close(fds_.back());
            fds_.pop_back();
            if (!names_.empty()) names_.pop_back();
        }
    }

    std::vector<int> fds_;
    std::vector<std::string> names_;
};

// Where a walk along a path ended: the open folder of its last entry, the
// entry's name there, and what the entry is (without following it).
struct Located {
    FolderChain chain;
    std::string name;  // empty when a folder on the way is missing
    bool exists = false;
    struct stat st {};
};

// Walks path entry by entry from "/" (a relative path from the current
// folder), following the links the user or root made. Done when the last
// entry exists, Missing when it (or a folder on the way) does not.
FileOutcome Locate(const std::string& path, Located& loc);
// The checks every existing settings file passes before it is opened.
bool AcceptableFile(const struct stat& st, FileOutcome& out);
bool WriteAllTo(int fd, const char* data, std::size_t size);
enum class ReadEnd { Whole, TooLarge, Failed };
// Appends what fd holds to out, at most maxBytes in all; errno tells why
// it Failed.
ReadEnd ReadAllFrom(int fd, std::string& out, std::size_t maxBytes);

}  // namespace rw::posix

#include "backends/posix/UserPath.h"

#include <grp.h>
#include <pwd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>

namespace rw::posix {

std::string ErrorText(int err) { return std::strerror(err); }

namespace {

std::string Octal(mode_t mode) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04o", static_cast<unsigned>(mode & 07777));
    return buf;
}

// Grows a buffer for the reentrant account lookups until the entry fits.
template <class Lookup>
bool WithAccountBuffer(Lookup lookup) {
    std::vector<char> buf(4096);
    for (;;) {
        const int rc = lookup(buf);
        if (rc != ERANGE) return rc == 0;
        if (buf.size() >= (1u << 20)) return false;
        buf.resize(buf.size() * 2);
    }
}

// A user's private group, as systems that give every account a group of its
// own (and a umask letting that group write) make it: the owner is its only
// member, by primary group or by the member list.
bool GroupOfOwnerAlone(gid_t gid, uid_t owner) {
    std::string ownerName;
    gid_t ownerGid = 0;
    bool found = WithAccountBuffer([&](std::vector<char>& buf) {
        struct passwd pw {};
        struct passwd* res = nullptr;
        const int rc = ::getpwuid_r(owner, &pw, buf.data(), buf.size(), &res);
        if (rc == 0 && res != nullptr) {
            ownerName = res->pw_name;
            ownerGid = res->pw_gid;
        }
        return rc == 0 && res == nullptr ? ENOENT : rc;
    });
    if (!found) return false;
    bool member = ownerGid == gid;
    bool others = false;
    found = WithAccountBuffer([&](std::vector<char>& buf) {
        struct group gr {};
        struct group* res = nullptr;
        const int rc = ::getgrgid_r(gid, &gr, buf.data(), buf.size(), &res);
        if (rc == 0 && res != nullptr) {
            for (char** m = res->gr_mem; m != nullptr && *m != nullptr; ++m) {
                if (ownerName == *m) member = true;
                else others = true;
            }
        }
        return rc == 0 && res == nullptr ? ENOENT : rc;
    });
    if (!found || others || !member) return false;
    // Accounts whose primary group it is are members too.
    ::setpwent();
    while (const struct passwd* pw = ::getpwent()) {
        if (pw->pw_gid == gid && pw->pw_uid != owner) {
            others = true;
            break;
        }
    }
    ::endpwent();
    return !others;
}

bool TrustedOwner(uid_t owner) { return owner == ::geteuid() || owner == 0; }

const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

void SplitInto(const std::string& path, std::deque<std::string>& out, bool front) {
    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t slash = path.find('/', pos);
        if (slash == std::string::npos) slash = path.size();
        std::string part = path.substr(pos, slash - pos);
        if (!part.empty() && part != ".") parts.push_back(std::move(part));
        pos = slash + 1;
    }
    if (front) out.insert(out.begin(), parts.begin(), parts.end());
    else out.insert(out.end(), parts.begin(), parts.end());
}

}  // namespace

// Empty when only the user or root can change what st describes; else why
// not, for the debug line.
std::string Untrusted(const struct stat& st) {
    if (!TrustedOwner(st.st_uid)) return "owned by user " + std::to_string(st.st_uid);
    // In a sticky folder others may add entries, but not rename or remove
    // the user's.
    if (S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) != 0) return {};
    if ((st.st_mode & S_IWOTH) != 0) return "writable by everyone (mode " + Octal(st.st_mode) + ")";
    if ((st.st_mode & S_IWGRP) != 0 && !GroupOfOwnerAlone(st.st_gid, st.st_uid))
        return "writable by group " + std::to_string(st.st_gid) + " (mode " + Octal(st.st_mode) + ")";
    return {};
}

FileOutcome Locate(const std::string& path, Located& loc) {
    FileOutcome out;
    out.path = path;
    std::deque<std::string> pending;
    if (path.empty() || path.back() == '/') {
        out.verdict = FileVerdict::NotRegular;
        out.detail = path + " names a folder";
        return out;
    }
    if (path.front() != '/') {
        char cwd[4096];
        if (::getcwd(cwd, sizeof cwd) == nullptr) {
            out.verdict = FileVerdict::Unreadable;
            out.detail = "no current folder for " + path;
            return out;
        }
        SplitInto(cwd, pending, false);
    }
    SplitInto(path, pending, false);
    if (!loc.chain.OpenRoot(out)) return out;
    int links = 0;
    while (!pending.empty()) {
        const std::string entry = pending.front();
        pending.pop_front();
        if (entry == "..") {
            loc.chain.Up();
            continue;
        }
        if (loc.chain.Depth() > 256 || pending.size() > 4096) {
            out.verdict = FileVerdict::Unreadable;
            out.detail = path + ": too deep";
            return out;
        }
        struct stat st {};
        if (::fstatat(loc.chain.Top(), entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            const int err = errno;
            out.path = loc.chain.PathOf(entry);
            if (err == ENOENT) {
                out.verdict = FileVerdict::Missing;
                if (pending.empty()) loc.name = entry;
                else out.detail = "folder " + out.path + " is missing";
                return out;
            }
            out.verdict = FileVerdict::Unreadable;
            out.detail = out.path + ": " + ErrorText(err);
            return out;
        }
        if (S_ISLNK(st.st_mode)) {
            out.path = loc.chain.PathOf(entry);
            if (!TrustedOwner(st.st_uid)) {
                out.verdict = FileVerdict::NotTrusted;
                out.detail = "link " + out.path + " is owned by user " + std::to_string(st.st_uid);
                return out;
            }
            char buf[4096];
            const ssize_t n = ::readlinkat(loc.chain.Top(), entry.c_str(), buf, sizeof buf);
            if (++links > 40 || n <= 0 || static_cast<std::size_t>(n) >= sizeof buf) {
                out.verdict = FileVerdict::Unreadable;
                out.detail = out.path + ": a link that cannot be followed";
                return out;
            }
            const std::string target(buf, static_cast<std::size_t>(n));
            if (target.front() == '/') loc.chain.ToRoot();
            SplitInto(target, pending, true);
            if (pending.empty()) {
                out.verdict = FileVerdict::NotRegular;
                out.detail = out.path + " leads to a folder";
                return out;
            }
            continue;
        }
        if (pending.empty()) {
            loc.name = entry;
            loc.exists = true;
            loc.st = st;
            out.path = loc.chain.PathOf(entry);
            out.verdict = FileVerdict::Done;
            return out;
        }
        if (!loc.chain.Enter(entry, out)) return out;
    }
    // The path ended on a folder (say "a/..").
    out.verdict = FileVerdict::NotRegular;
    out.detail = path + " names a folder";
    return out;
}

bool AcceptableFile(const struct stat& st, FileOutcome& out) {
    if (!S_ISREG(st.st_mode)) {
        out.verdict = FileVerdict::NotRegular;
        out.detail = out.path + " is " + KindOf(st.st_mode);
        return false;
    }
    const std::string why = Untrusted(st);
    if (!why.empty()) {
        out.verdict = FileVerdict::NotTrusted;
        out.detail = out.path + " is " + why;
        return false;
    }
    return true;
}

bool WriteAllTo(int fd, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

ReadEnd ReadAllFrom(int fd, std::string& out, std::size_t maxBytes) {
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return ReadEnd::Failed;
        }
        if (n == 0) return ReadEnd::Whole;
        if (out.size() + static_cast<std::size_t>(n) > maxBytes) return ReadEnd::TooLarge;
        out.append(buf, static_cast<std::size_t>(n));
    }
}

}  // namespace rw::posix

#include "backends/linux/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "backends/linux/LinuxUtil.h"
#include "backends/posix/PosixFiles.h"
#include "backends/posix/PosixProcess.h"

namespace rw::lnx {

namespace {

void MakeOwnFolder(const std::string& dir) {
    const auto slash = dir.rfind('/');
    if (slash != std::string::npos && slash > 0) MakeOwnFolder(dir.substr(0, slash));
    mkdir(dir.c_str(), 0700);
}

// Where the lock may be, in the order they are tried.
std::vector<std::string> LockPlaces(const char* display) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string shown = display != nullptr ? display : "";
    std::vector<std::string> places{LockFilePath(runtime != nullptr ? runtime : "", getuid(), shown)};
    // Without a runtime folder the lock is in /tmp, where another user can
    // put a file of that name first (and hold it, which would keep us from
    // ever starting). A lock file only counts when it is ours; else the
    // lock moves to the user's configuration folder.
    const std::string config = posix::UserConfigDir();
    if (!config.empty())
        places.push_back(HostLockFilePath(config + "/replywick", posix::HostName(), getuid(), shown));
    return places;
}

}  // namespace

bool InstanceRunning(const char* display) {
    for (const std::string& place : LockPlaces(display)) {
        const int fd = open(place.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        const bool ours = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == getuid();
        const bool held = ours && flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        close(fd);
        if (held) return true;
    }
    return false;
}

bool TakeInstanceLock(const char* display) {
    const std::vector<std::string> places = LockPlaces(display);
    for (std::size_t i = 0; i < places.size(); ++i) {
        if (i > 0) MakeOwnFolder(places[i].substr(0, places[i].rfind('/')));
        const int fd = posix::OpenOwnLockFile(places[i]);
        if (fd < 0) continue;
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            close(fd);
            return err != EWOULDBLOCK;
        }
        return true;  // fd stays open: the lock lives as long as the process
    }
    return true;  // no place for a lock: run rather than never start
}

}  // namespace rw::lnx

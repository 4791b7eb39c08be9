#include "backends/linux/ControlSocket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "backends/linux/LinuxUtil.h"
#include "backends/posix/PosixFiles.h"
#include "backends/posix/PosixProcess.h"

namespace rw::lnx {

namespace {

constexpr std::size_t kMaxRequest = 64;

bool FitsAddress(const std::string& path, sockaddr_un& addr) {
    addr = sockaddr_un{};
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// A socket file that this user owns; anything else at the path is left
// alone and never talked to.
bool IsOwnSocket(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_uid == getuid();
}

// Waits for the descriptor to become readable; false on time-out.
bool WaitReadable(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    for (;;) {
        const int r = poll(&p, 1, ms);
        if (r < 0 && errno == EINTR) continue;
        return r > 0;
    }
}

// Reads one line (without its end), up to kMaxRequest bytes.
std::optional<std::string> ReadLine(int fd, int ms) {
    std::string line;
    while (line.size() <= kMaxRequest) {
        if (!WaitReadable(fd, ms)) return std::nullopt;
        char c = 0;
        const ssize_t n = read(fd, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        if (c == '\n') return line;
        line.push_back(c);
    }
    return std::nullopt;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string ControlSocketPath(const char* display) {
    const std::string shown = display != nullptr ? display : "";
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string path;
    if (runtime != nullptr && *runtime == '/') {
        path = LockFilePath(runtime, getuid(), shown);
    } else {
        // Never /tmp: another user could take the name there first.
        const std::string config = posix::UserConfigDir();
        if (config.empty()) return {};
        path = HostLockFilePath(config + "/replywick", posix::HostName(), getuid(), shown);
    }
    const std::string lock = ".lock";
    if (path.size() > lock.size() && path.compare(path.size() - lock.size(), lock.size(), lock) == 0)
        path.resize(path.size() - lock.size());
    return path + ".sock";
}

ControlServer::~ControlServer() {
    if (fd_ < 0) return;
    close(fd_);
    // Only the socket this program made: a newer instance may have put its
    // own at the path since.
    if (IsOwnSocket(path_)) unlink(path_.c_str());
}

bool ControlServer::Listen(const std::string& path) {
    sockaddr_un addr{};
    if (!FitsAddress(path, addr)) return false;
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (!IsOwnSocket(path)) return false;
        unlink(path.c_str());
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    // Born with mode 0600: nobody else may connect, not even for a moment.
    const mode_t old = umask(0177);
    const int bound = bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    umask(old);
    if (bound != 0 || listen(fd, 4) != 0) {
        close(fd);
        return false;
    }
    fd_ = fd;
    path_ = path;
    return true;
}

std::optional<std::string> ControlServer::Accept() {
    if (fd_ < 0) return std::nullopt;
    const int c = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (c < 0) return std::nullopt;
    std::optional<std::string> request;
    ucred cred{};
    socklen_t len = sizeof cred;
    if (getsockopt(c, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 && cred.uid == getuid()) {
        request = ReadLine(c, 1000);
        if (request && !WriteAll(c, "ok\n")) request.reset();
    }
    close(c);
    return request;
}

SendResult SendControlRequest(const std::string& path, const std::string& request,
                              std::chrono::milliseconds timeout) {
    sockaddr_un addr{};
    if (!FitsAddress(path, addr) || !IsOwnSocket(path)) return SendResult::NoProgram;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return SendResult::NoProgram;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return SendResult::NoProgram;
    }
    // The one listening must be this user too.
    ucred cred{};
    socklen_t len = sizeof cred;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != getuid()) {
        close(fd);
        return SendResult::NoProgram;
    }
    SendResult result = SendResult::NoAnswer;
    if (WriteAll(fd, request + "\n")) {
        const auto answer = ReadLine(fd, static_cast<int>(timeout.count()));
        if (answer && *answer == "ok") result = SendResult::Delivered;
    }
    close(fd);
    return result;
}

}  // namespace rw::lnx

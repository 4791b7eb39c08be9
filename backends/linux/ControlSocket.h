// The running program's door for "replywick --settings" and "--about": a
// Unix socket per user and display, in the user's runtime folder (or, with
// none, in the user's own configuration folder). The socket file is the
// user's alone (mode 0600, in a folder only the user can enter), and the
// program also checks every caller's user id, so another user on the same
// machine can neither send a request nor plant a socket that answers one.
//
// A request is one line: "settings" or "about". The program answers "ok"
// once it has taken the request, before the window opens.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace rw::lnx {

// Where the socket of this user and display lives; empty when there is no
// place for one.
std::string ControlSocketPath(const char* display);

class ControlServer {
public:
    ControlServer() = default;
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Listens at path, replacing a stale socket of ours left by a program
    // that ended without cleaning up (the caller holds the instance lock).
    // False when there is no socket to be had.
    bool Listen(const std::string& path);
    // The listening descriptor, for the event loop (-1 when not listening).
    int Fd() const { return fd_; }
    // Takes one waiting caller: its request, answered "ok", or nothing when
    // there was none, it was another user, or it said nothing in time.
    std::optional<std::string> Accept();

private:
    int fd_ = -1;
    std::string path_;
};

enum class SendResult {
    Delivered,   // the running program took the request
    NoProgram,   // nobody listens at the path
    NoAnswer,    // a socket, but no "ok" in time
};

// Sends one request to the program listening at path.
SendResult SendControlRequest(const std::string& path, const std::string& request,
                              std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

}  // namespace rw::lnx

// A session manager of the smallest kind for the end-to-end tests: it
// takes one client (the program under test, started with SESSION_MANAGER
// set to what this prints first) and ends the session as a desktop's
// logout does: "save yourself" with shutdown, then "die" once the client
// has saved.
//
//   rw_session
//       First line on stdout: the value for SESSION_MANAGER. Then one line
//       per event: "registered", "saved", "closed". The line "end" on stdin
//       starts the end of the session. Ends once its client has gone.
#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

SmsConn gClient = nullptr;
bool gClosed = false;
bool gDieSent = false;

void Say(const char* what) {
    std::printf("%s\n", what);
    std::fflush(stdout);
}

Status RegisterClient(SmsConn c, SmPointer, char* previousId) {
    if (previousId != nullptr) std::free(previousId);
    SmsRegisterClientReply(c, SmsGenerateClientID(c));
    Say("registered");
    return 1;
}
void InteractRequest(SmsConn c, SmPointer, int) { SmsInteract(c); }
void InteractDone(SmsConn, SmPointer, Bool) {}
void SaveYourselfRequest(SmsConn, SmPointer, int, Bool, int, Bool, Bool) {}
void SaveYourselfPhase2Request(SmsConn c, SmPointer) { SmsSaveYourselfPhase2(c); }
void SaveYourselfDone(SmsConn c, SmPointer, Bool) {
    Say("saved");
    if (!gDieSent) {
        gDieSent = true;
        SmsDie(c);
    }
}
void CloseConnection(SmsConn c, SmPointer, int count, char** reasons) {
    SmFreeReasons(count, reasons);
    IceConn ice = SmsGetIceConnection(c);
    SmsCleanUp(c);
    IceSetShutdownNegotiation(ice, False);
    IceCloseConnection(ice);
    gClosed = true;
}
void SetProperties(SmsConn, SmPointer, int n, SmProp** props) {
    for (int i = 0; i < n; ++i) SmFreeProperty(props[i]);
    std::free(props);
}
void DeleteProperties(SmsConn, SmPointer, int n, char** names) {
    for (int i = 0; i < n; ++i) std::free(names[i]);
    std::free(names);
}
void GetProperties(SmsConn c, SmPointer) { SmsReturnProperties(c, 0, nullptr); }

Status NewClient(SmsConn c, SmPointer, unsigned long* mask, SmsCallbacks* cb, char**) {
    gClient = c;
    *cb = SmsCallbacks{};
    cb->register_client.callback = RegisterClient;
    cb->interact_request.callback = InteractRequest;
    cb->interact_done.callback = InteractDone;
    cb->save_yourself_request.callback = SaveYourselfRequest;
    cb->save_yourself_phase2_request.callback = SaveYourselfPhase2Request;
    cb->save_yourself_done.callback = SaveYourselfDone;
    cb->close_connection.callback = CloseConnection;
    cb->set_properties.callback = SetProperties;
    cb->delete_properties.callback = DeleteProperties;
    cb->get_properties.callback = GetProperties;
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask |
            SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask | SmsSaveYourselfDoneProcMask |
            SmsCloseConnectionProcMask | SmsSetPropertiesProcMask | SmsDeletePropertiesProcMask |
            SmsGetPropertiesProcMask;
    return 1;
}

// Only local connections are listened on; any of them may connect.
Bool AnyLocalHost(char*) { return True; }

}  // namespace

int main() {
    char error[256] = {};
    if (!SmsInitialize("rw_session", "1", NewClient, nullptr, AnyLocalHost, sizeof error, error)) {
        std::fprintf(stderr, "rw_session: %s\n", error);
        return 2;
    }
    int count = 0;
    IceListenObj* listeners = nullptr;
    if (!IceListenForConnections(&count, &listeners, sizeof error, error)) {
        std::fprintf(stderr, "rw_session: %s\n", error);
        return 2;
    }
    std::vector<IceListenObj> local;
    for (int i = 0; i < count; ++i) {
        char* id = IceGetListenConnectionString(listeners[i]);
        if (std::strncmp(id, "local/", 6) == 0) {
            IceSetHostBasedAuthProc(listeners[i], AnyLocalHost);
            local.push_back(listeners[i]);
        }
        std::free(id);
    }
    if (local.empty()) {
        std::fprintf(stderr, "rw_session: no local transport\n");
        return 2;
    }
    char* ids = IceComposeNetworkIdList(static_cast<int>(local.size()), local.data());
    Say(ids);
    std::free(ids);

    IceConn conn = nullptr;
    std::string input;
    bool stdinOpen = true;
    while (!gClosed) {
        std::vector<pollfd> fds;
        for (IceListenObj l : local) fds.push_back({IceGetListenConnectionNumber(l), POLLIN, 0});
        if (stdinOpen) fds.push_back({0, POLLIN, 0});
        if (conn != nullptr) fds.push_back({IceConnectionNumber(conn), POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) continue;
        std::size_t k = 0;
        for (IceListenObj l : local) {
            if ((fds[k++].revents & POLLIN) != 0 && conn == nullptr) {
                IceAcceptStatus status;
                conn = IceAcceptConnection(l, &status);
                if (status != IceAcceptSuccess) conn = nullptr;
            }
        }
        if (stdinOpen && (fds[k++].revents & (POLLIN | POLLHUP)) != 0) {
            char buf[64];
            const ssize_t n = ::read(0, buf, sizeof buf);
            if (n <= 0) stdinOpen = false;
            if (n > 0) input.append(buf, static_cast<std::size_t>(n));
            if (input.find("end\n") != std::string::npos && gClient != nullptr) {
                input.clear();
                SmsSaveYourself(gClient, SmSaveBoth, True, SmInteractStyleNone, False);
            }
        }
        if (conn != nullptr && k < fds.size() && (fds[k].revents & (POLLIN | POLLHUP)) != 0) {
            if (IceProcessMessages(conn, nullptr, nullptr) != IceProcessMessagesSuccess) {
                if (!gClosed) IceCloseConnection(conn);
                gClosed = true;
            }
        }
    }
    Say("closed");
    return 0;
}

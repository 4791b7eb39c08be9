// The door of "replywick --settings": a request reaches the program that
// listens, nobody listening is told apart from a silent listener, and the
// socket is the user's alone.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <future>
#include <string>

#include "backends/linux/ControlSocket.h"

using namespace rw::lnx;
using namespace std::chrono_literals;

namespace {

class ControlSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/rw-control.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        path = dir + "/replywick.sock";
    }
    void TearDown() override {
        unlink(path.c_str());
        rmdir(dir.c_str());
    }
    std::string dir, path;
};

TEST_F(ControlSocketTest, ARequestReachesTheListeningProgram) {
    ControlServer server;
    ASSERT_TRUE(server.Listen(path));
    struct stat st {};
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "the user's alone";
    auto sent = std::async(std::launch::async, [this] { return SendControlRequest(path, "settings", 10s); });
    std::optional<std::string> got;
    for (int i = 0; i < 1000 && !got; ++i) {
        got = server.Accept();
        if (!got) usleep(10000);
    }
    EXPECT_EQ(got, std::optional<std::string>("settings"));
    EXPECT_EQ(sent.get(), SendResult::Delivered);
}

TEST_F(ControlSocketTest, NobodyListeningAndASilentListenerAreToldApart) {
    EXPECT_EQ(SendControlRequest(path, "about", 1s), SendResult::NoProgram);
    ControlServer server;
    ASSERT_TRUE(server.Listen(path));
    // Listening, but never taking the call: no "ok" in time.
    EXPECT_EQ(SendControlRequest(path, "about", 200ms), SendResult::NoAnswer);
}

TEST_F(ControlSocketTest, AStaleSocketIsReplacedAndSomethingElseIsLeftAlone) {
    {
        ControlServer first;
        ASSERT_TRUE(first.Listen(path));
    }
    // A program that ended without cleaning up leaves its socket behind.
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    path.copy(addr.sun_path, path.size());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    close(fd);
    ControlServer second;
    EXPECT_TRUE(second.Listen(path));
    unlink(path.c_str());
    // A plain file at the path is not ours to remove.
    const int file = open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(file, 0);
    close(file);
    ControlServer third;
    EXPECT_FALSE(third.Listen(path));
    EXPECT_EQ(SendControlRequest(path, "settings", 1s), SendResult::NoProgram);
}

TEST_F(ControlSocketTest, ThePathFollowsTheRuntimeFolderAndTheDisplay) {
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = old != nullptr ? old : "";
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    const std::string a = ControlSocketPath(":0");
    const std::string b = ControlSocketPath(":1");
    if (old != nullptr) {
        setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    } else {
        unsetenv("XDG_RUNTIME_DIR");
    }
    EXPECT_EQ(a.rfind(dir + "/replywick-", 0), 0u) << a;
    EXPECT_NE(a, b);
    EXPECT_EQ(a.substr(a.size() - 5), ".sock");
}

}  // namespace

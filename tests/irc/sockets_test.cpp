#include "platform/Sockets.h"

#include <gtest/gtest.h>

#include "app/Log.h"
#include "ircu/LoopbackPort.h"
#include "platform/ManualEventLoop.h"
#include "platform/RecordingUi.h"
#include "support/FakeServer.h"

using namespace khub;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

namespace {

class SocketsTest : public ::testing::Test {
  protected:
    Lines Log() const { return ui.Lines(WindowId::Debug, control::kDebugLog); }
    RecordingUi ui;
    Logger log{ui};
};

TEST_F(SocketsTest, ConnectsToALoopbackServer) {
    test::FakeServer server;
    SocketHandle fd =
        ConnectWithTimeout(log, "localhost", static_cast<std::uint16_t>(server.port()), 5);
    ASSERT_NE(fd, kInvalidSocket);
    EXPECT_EQ(Log().front(), "Address resolved: 127.0.0.1\r\n");
    EXPECT_EQ(Log().back(), "Connected!\r\n");
    ASSERT_TRUE(server.Accept());
    EXPECT_EQ(SendAll(fd, "PING :x\r\n", 9), 9);
    EXPECT_EQ(server.ReadUntil("\n"), "PING :x\r\n");
    CloseSocket(fd);
}

TEST_F(SocketsTest, UnknownHostFailsAtOnceWithoutALine) {
    EXPECT_EQ(ConnectWithTimeout(log, "no-such-host.invalid", 6667, 5), kInvalidSocket);
    EXPECT_TRUE(Log().empty());
}

TEST_F(SocketsTest, RefusedPortFailsAndTheNextCallWorksAgain) {
    test::FakeServer server;
    int port = test::FreeLoopbackPort();
    EXPECT_EQ(ConnectWithTimeout(log, "127.0.0.1", static_cast<std::uint16_t>(port), 5),
              kInvalidSocket);
    Lines lines = Log();
    EXPECT_TRUE(
        lines.back() == "Select error.\r\n" ||
        (lines.size() >= 2 && lines[lines.size() - 2] == "Failed to connect to server.\r\n"))
        << lines.back();
    SocketHandle fd =
        ConnectWithTimeout(log, "127.0.0.1", static_cast<std::uint16_t>(server.port()), 5);
    EXPECT_NE(fd, kInvalidSocket);
    CloseSocket(fd);
}

TEST_F(SocketsTest, ListensOnAFreePort) {
    int port = test::FreeLoopbackPort();
    SocketHandle fd = ListenOnPort(log, port);
    ASSERT_NE(fd, kInvalidSocket);
    EXPECT_TRUE(test::WaitUntilListening(port, 1000));
    CloseSocket(fd);
}

TEST_F(SocketsTest, APortInUseIsTriedFiveTimesASecondApartWithoutBlocking) {
    test::FakeServer holder;  // keeps the port bound
    ManualEventLoop loop;
    SocketHandle result = 0;
    bool done = false;
    ListenOnPortAsync(loop, log, holder.port(), [&](SocketHandle fd) {
        result = fd;
        done = true;
    });
    EXPECT_FALSE(done);
    loop.AdvanceBy(3999ms);
    EXPECT_FALSE(done);
    loop.AdvanceBy(1ms);
    ASSERT_TRUE(done);
    EXPECT_EQ(result, kInvalidSocket);
    EXPECT_EQ(Log(), Lines{"Could not bind socket\r\n"});
}

TEST_F(SocketsTest, APortThatFreesUpWhileRetryingIsTaken) {
    auto holder = std::make_unique<test::FakeServer>();
    int port = holder->port();
    ManualEventLoop loop;
    SocketHandle result = kInvalidSocket;
    ListenOnPortAsync(loop, log, port, [&](SocketHandle fd) { result = fd; });
    loop.AdvanceBy(1s);
    holder.reset();
    loop.AdvanceBy(1s);
    EXPECT_NE(result, kInvalidSocket);
    CloseSocket(result);
}

}  // namespace

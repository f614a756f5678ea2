#include "platform/Sockets.h"

#include <gtest/gtest.h>

#include <optional>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <unistd.h>
#endif

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

// An unknown host fails at once without a line; a refused port fails (with its line) and
// leaves nothing behind that stops the next call.
TEST_F(SocketsTest, ConnectsToALoopbackServer) {
    EXPECT_EQ(ConnectWithTimeout(log, "no-such-host.invalid", 6667, 5), kInvalidSocket);
    EXPECT_TRUE(Log().empty());
    test::FakeServer server;
    int port = test::FreeLoopbackPort();
    EXPECT_EQ(ConnectWithTimeout(log, "127.0.0.1", static_cast<std::uint16_t>(port), 5),
              kInvalidSocket);
    Lines lines = Log();
    EXPECT_TRUE(
        lines.back() == "Select error.\r\n" ||
        (lines.size() >= 2 && lines[lines.size() - 2] == "Failed to connect to server.\r\n"))
        << lines.back();
    ui.Clear();
    SocketHandle fd =
        ConnectWithTimeout(log, "localhost", static_cast<std::uint16_t>(server.port()), 5);
    ASSERT_NE(fd, kInvalidSocket);
    EXPECT_EQ(Log().front(), "Address resolved: 127.0.0.1\r\n");
    EXPECT_EQ(Log().back(), "Connected!\r\n");
    EXPECT_EQ(SendAll(fd, "PING :x\r\n", 9), 9);  // what arrives is the connection tests' part
    CloseSocket(fd);
}

// A port in use is tried five times a second apart without blocking, and taken as soon
// as it frees up.
TEST_F(SocketsTest, APortInUseIsRetriedFiveTimesASecondApart) {
    for (bool freesUp : {false, true}) {
        SCOPED_TRACE(freesUp ? "frees up after a second" : "stays in use");
        ui.Clear();
        auto holder = std::make_unique<test::FakeServer>();  // keeps the port bound
        ManualEventLoop loop;
        std::optional<SocketHandle> result;
        ListenOnPortAsync(loop, log, holder->port(), [&](SocketHandle fd) { result = fd; });
        EXPECT_FALSE(result);
        loop.AdvanceBy(1s);
        if (freesUp) holder.reset();
        loop.AdvanceBy(2999ms);
        EXPECT_EQ(result.has_value(), freesUp);
        loop.AdvanceBy(1ms);
        ASSERT_TRUE(result);
        EXPECT_EQ(*result == kInvalidSocket, !freesUp);
        EXPECT_EQ(Log(), freesUp ? Lines{} : Lines{"Could not bind socket\r\n"});
        CloseSocket(*result);
    }
}

#ifndef _WIN32
// An open-file limit of 0 for as long as it lives: the system then refuses new descriptors
// and a poll of any descriptor.
struct NoNewDescriptors {
    rlimit saved{};
    NoNewDescriptors() {
        ::getrlimit(RLIMIT_NOFILE, &saved);
        rlimit none = saved;
        none.rlim_cur = 0;
        ::setrlimit(RLIMIT_NOFILE, &none);
    }
    ~NoNewDescriptors() { ::setrlimit(RLIMIT_NOFILE, &saved); }
};

// A socket the system cannot make is no port in use: nothing to wait for and retry.
TEST_F(SocketsTest, NoSocketAtAllEndsTheListenAtOnce) {
#ifdef KHUB_SANITIZED
    GTEST_SKIP() << "the sanitizers' runtime needs file descriptors of its own";
#endif
    int port = test::FreeLoopbackPort();
    ManualEventLoop loop;
    std::optional<SocketHandle> result;
    SocketHandle connected;
    {
        NoNewDescriptors limit;
        ListenOnPortAsync(loop, log, port, [&](SocketHandle fd) { result = fd; });
        connected = ConnectIpv4("127.0.0.1", static_cast<std::uint16_t>(port), 100ms);
    }
    ASSERT_TRUE(result.has_value()) << "retried as if the port were taken";
    EXPECT_EQ(*result, kInvalidSocket);
    EXPECT_EQ(connected, kInvalidSocket);
    EXPECT_EQ(Log(), Lines{});
}

// Descriptor 0 is an ordinary socket when stdin is closed.
TEST(SocketDescriptorZero, IsUsedAndClosedLikeAnyOther) {
    int savedStdin = ::dup(0);
    ::close(0);
    SocketHandle listener = ListenIpv4("127.0.0.1", 0);
    bool isZero = listener == 0;
    std::uint16_t port = LocalPort(listener);
    std::string address = LocalIpv4Address(listener);
    CloseSocket(listener);
    bool closed = ::fcntl(0, F_GETFD) == -1;
    if (savedStdin >= 0) {
        ::dup2(savedStdin, 0);
        ::close(savedStdin);
    }
    ASSERT_TRUE(isZero);
    EXPECT_NE(port, 0);
    EXPECT_EQ(address, "127.0.0.1");
    EXPECT_TRUE(closed);
}

// Overwrites the stack the next call will use with a descriptor that is not open, so that a
// poll reading past its one entry meets an invalid one (which it reports ready).
[[gnu::noinline]] void FillStackWithClosedDescriptors() {
    volatile int junk[512];
    for (auto& j : junk) j = 0x0fffffff;
}

// A listener whose one-slot queue is full leaves the next connect pending: it is neither
// connected nor failed, and a timed connect gives up.
TEST(SocketConnectWait, APendingConnectIsReportedPending) {
    SocketHandle listener = OpenTcpSocket();
    ASSERT_TRUE(BindForListening(listener, "127.0.0.1", 0));
    ASSERT_TRUE(StartListening(listener, 0));
    std::uint16_t port = LocalPort(listener);
    SocketHandle queued = ConnectIpv4("127.0.0.1", port, 1s);
    SocketHandle pending = OpenTcpSocket();
    ASSERT_TRUE(SetNonBlocking(pending, true));
    EXPECT_TRUE(IsConnectPending(StartConnect(pending, "127.0.0.1", port)));
    FillStackWithClosedDescriptors();
    EXPECT_EQ(WaitForConnect(pending, 0), ConnectWait::Pending);
    {  // a signal that cuts the wait short is no failure of the connect
        struct sigaction quiet {
        }, earlier{};
        quiet.sa_handler = [](int) {};
        ::sigaction(SIGALRM, &quiet, &earlier);
        itimerval in20ms{{0, 0}, {0, 20'000}};
        ::setitimer(ITIMER_REAL, &in20ms, nullptr);
        EXPECT_EQ(WaitForConnect(pending, 2000), ConnectWait::Pending);
        ::sigaction(SIGALRM, &earlier, nullptr);
    }
#ifndef KHUB_SANITIZED  // their runtime needs file descriptors of its own
    std::optional<ConnectWait> refusedWait;
    {  // a wait the system refuses is a failure, never a connect
        NoNewDescriptors limit;
        refusedWait = WaitForConnect(pending, 0);
    }
    EXPECT_EQ(refusedWait, ConnectWait::Failed);
#endif
    SocketHandle timedOut = ConnectIpv4("127.0.0.1", port, 50ms);
    EXPECT_EQ(timedOut, kInvalidSocket);
    for (SocketHandle s : {queued, pending, timedOut, listener}) CloseSocket(s);
}
#endif

}  // namespace

// The connection over a real loopback socket to a scripted server.

#include "irc/Connection.h"

#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <thread>

#include "ircu/TempDir.h"
#include "support/FakeServer.h"
#include "support/IrcHarness.h"

using namespace khub;
using namespace std::chrono_literals;
using khub::test::FakeServer;
using khub::test::RunUntil;

namespace {

// A program whose connection goes to the scripted server over a real socket.
class ConnectionTest : public ::testing::Test, public test::IrcHarness {
  protected:
    void SetUp() override {
        program->conn.sendOverride = nullptr;
        Set("playername", "Alice");
        Set("programpath", "/usr/bin/true");
        Set("rompath", dir.path().string());
        Set("server", "127.0.0.1");
        Set("port", std::to_string(server.port()));
    }
    void Set(const std::string& key, const std::string& value) {
        program->Settings().SetString("options", key, value);
    }
    // Runs the lobby thread's work until the server has received text; all it received.
    std::string ServerGets(const std::string& text) {
        RunUntil(loop, [&] { return server.Received().find(text) != std::string::npos; });
        return server.Received();
    }
    // Connects and waits until the program has its socket and reads from it.
    void Connect() {
        ToggleConnection(*program);
        ASSERT_TRUE(server.Accept());
        ASSERT_TRUE(RunUntil(loop, [&] { return program->conn.receiveThreadRunning.load(); }));
    }

    FakeServer server;
};

// A line end split across reads, a line in pieces, an overlong line dropped whole, and a
// server that closes in the middle of a line.
TEST_F(ConnectionTest, LinesReachTheDispatcherWholeUntilTheServerClosesMidLine) {
    Connect();
    EXPECT_EQ(ui.MainTitle(), "K-Hub I - connecting..");
    server.Send("NOTICE AUTH :*** Checking Ident\r");  // the LF comes with the next read
    std::this_thread::sleep_for(20ms);
    server.Send("\n:srv 001 Ali");
    std::this_thread::sleep_for(20ms);
    server.Send("ce :Wel");
    std::this_thread::sleep_for(20ms);
    server.Send("come\r\nPING :abc\r\n");
    const std::string registered = "NICK Alice\r\nUSER KHubUser 8 * :KHubUser\r\nPONG :abc\r";
    EXPECT_EQ(ServerGets("PONG :abc\r"), registered);
    EXPECT_TRUE(LogHas(":srv 001 Alice :Welcome\r\n"));

    server.Send(":srv NOTICE Alice :" + std::string(5000, 'x') + "\r\nPING :after\r\n");
    EXPECT_EQ(ServerGets("PONG :after\r"), registered + "PONG :after\r");
    ASSERT_TRUE(RunUntil(loop, [&] {
        return LogHas("Dropped a line of 5019 bytes from the server (longer than 2047).");
    }));
    EXPECT_TRUE(program->conn.receiveLoopActive);

    server.Send("PING :never-fin");
    server.CloseClient();
    ASSERT_TRUE(RunUntil(loop, [&] { return !ui.Boxes().empty(); }));
    EXPECT_EQ(ui.Boxes()[0],
              std::make_pair(std::string("ERROR 3: Socket connection lost."), BoxIcon::Error));
    EXPECT_TRUE(LogHas("The server closed the connection. Disconnecting."));
    EXPECT_EQ(ui.MainTitle(), "K-Hub I - not connected");
    EXPECT_FALSE(program->conn.receiveThreadRunning);
    // The half line was never answered.
    EXPECT_EQ(server.Received(), registered + "PONG :after\r");
}

// Five attempts unless the settings ask for another number.
TEST_F(ConnectionTest, FailedAttemptsShowTheirNumbersThenTheErrorBox) {
    server.StopListening();
    for (auto [retries, attempts] : {std::pair{"", 5}, {"2", 2}}) {  // "": no such key
        SCOPED_TRACE(attempts);
        if (*retries) Set("retries", retries);
        ui.Clear();
        ToggleConnection(*program);
        EXPECT_FALSE(ui.MenuEnabled(menu::kConnect));
        EXPECT_EQ(ui.MenuText(menu::kConnect), "Dis&connect");
        ASSERT_TRUE(RunUntil(
            loop, [&] { return !ui.Boxes().empty(); }, 20s));
        std::vector<std::string> titles, expected{"K-Hub I - connecting."};
        for (const auto& e : ui.Events()) {
            if (e.kind == "title") titles.push_back(e.text);
        }
        for (int n = 1; n <= attempts; ++n)
            expected.push_back("K-Hub I - connecting. (Attempt: #" + std::to_string(n) + ")");
        expected.push_back("K-Hub I - not connected");
        EXPECT_EQ(titles, expected);
        EXPECT_TRUE(LogHas("Connection attempt #2."));
        EXPECT_TRUE(LogHas("ERROR 1: Socket could not connect."));
        EXPECT_EQ(ui.Boxes()[0].first,
                  "ERROR: Failed to connect to server. Socket could not connect.");
        EXPECT_TRUE(ui.MenuEnabled(menu::kConnect));
        EXPECT_EQ(ui.MenuText(menu::kConnect), "&Connect");
    }

    // A server name without an address: the box names the setting to fix.
    Set("server", "no-such-host.invalid");
    ui.Clear();
    ToggleConnection(*program);
    ASSERT_TRUE(RunUntil(
        loop, [&] { return !ui.Boxes().empty(); }, 10s));
    EXPECT_TRUE(LogHas("The server name \"no-such-host.invalid\" could not be resolved."));
    ASSERT_EQ(ui.Boxes().size(), 1u);
    EXPECT_EQ(ui.Boxes()[0].second, BoxIcon::Error);
    EXPECT_EQ(ui.Boxes()[0].first,
              "ERROR: Failed to connect to server. The server name \"no-such-host.invalid\" "
              "could not be resolved to an address.\n\nChange the key \"server\" in section "
              "[options] of \"" +
                  program->settingsFilePath + "\" (the Options dialog has no field for it).");
    EXPECT_EQ(ui.MainTitle(), "K-Hub I - not connected");
}

// Without settings of its own the program goes to the lobby's server; a port out of range
// is the default one, not a wrapped number.
TEST(ServerFromSettings, TheLobbyServerUnlessTheSettingsNameAnother) {
    khub::test::TempDir dir;
    CIni settings(dir.File("K-Hub.ini"));
    ServerAddress none = ServerFromSettings(settings);
    EXPECT_EQ(none.host, "irc.k-hubi.net");
    EXPECT_EQ(none.port, 6667);
    settings.SetString("options", "server", "irc.example.org");
    for (auto [port, expected] :
         {std::pair{7000, 7000}, {65535, 65535}, {0, 6667}, {65536, 6667}}) {
        settings.SetInt("options", "port", port);
        ServerAddress given = ServerFromSettings(settings);
        EXPECT_EQ(given.host, "irc.example.org");
        EXPECT_EQ(given.port, expected) << port;
    }
}

TEST_F(ConnectionTest, NickRuleBlanksBecomeUnderscoresAndOddLengthsAFallback) {
    server.StopListening();
    Set("retries", "1");
    // nullptr: a fallback nick.
    const std::pair<const char*, const char*> cases[] = {{"Al ice", "Al_ice"},
                                                         {"Alice", "Alice"},
                                                         {"FifteenLetters1", "FifteenLetters1"},
                                                         {"abc", nullptr},
                                                         {"SixteenLetters12", nullptr}};
    for (auto [name, expected] : cases) {
        Set("playername", name);
        StartConnect(*program);
        const std::string& nick = program->conn.ownNick;
        if (expected) {
            EXPECT_EQ(nick, expected);
        } else {
            EXPECT_TRUE(std::regex_match(nick, std::regex("K-HubUser[1-9][0-9]?"))) << nick;
        }
        EXPECT_EQ(program->conn.nickLine, "NICK " + nick + "\r\n");
        EXPECT_EQ(program->Settings().GetString("options", "playername"),
                  expected ? expected : name);
        ASSERT_TRUE(RunUntil(
            loop, [&] { return !program->conn.connecting; }, 10s));
    }
}

TEST_F(ConnectionTest, MissingPathsOpenTheOptionsInsteadOfConnecting) {
    Set("rompath", "");
    ToggleConnection(*program);
    EXPECT_TRUE(ui.IsOpen(WindowId::Options));
    EXPECT_FALSE(program->conn.connecting);
    EXPECT_FALSE(server.Accept(100ms));
}

// Without the ident notice the program registers after a short wait; leaving sends a QUIT
// and ignores what still arrives.
TEST_F(ConnectionTest, RegistersAfterAShortWaitAndLeavesWithAQuit) {
    Connect();
    loop.AdvanceBy(140ms);  // a loopback connect takes next to no time
    EXPECT_EQ(server.Received(), "");
    loop.AdvanceBy(760ms);
    EXPECT_EQ(server.ReadUntil("USER"), "NICK Alice\r\nUSER KHubUser 8 * :KHubUser\r\n");
    server.Send("NOTICE AUTH :*** Checking Ident\r\nPING :x\r\n");  // too late to count
    const std::string registered = "NICK Alice\r\nUSER KHubUser 8 * :KHubUser\r\nPONG :x\r";
    EXPECT_EQ(ServerGets("PONG"), registered);

    program->conn.channelJoinSent = true;
    SetConnectItem(*program, "", true);
    ToggleConnection(*program);
    EXPECT_EQ(server.ReadUntil("QUIT :\r\n"), registered + "QUIT :\r\n");
    EXPECT_EQ(ui.MainTitle(), "K-Hub I - not connected");
    EXPECT_EQ(ui.MenuText(menu::kConnect), "&Connect");
    EXPECT_TRUE(ui.MenuEnabled(menu::kConnect));
    EXPECT_FALSE(ui.MenuEnabled(menu::kJoin) || ui.MenuEnabled(menu::kCreate));
    EXPECT_FALSE(program->conn.receiveThreadRunning);
    server.Send("ERROR :Closing Link: Alice (Quit)\r\n");
    server.CloseClient();
    loop.AdvanceBy(5s);
    std::this_thread::sleep_for(50ms);
    loop.RunPending();
    EXPECT_TRUE(ui.Boxes().empty());
    EXPECT_FALSE(LogHas("ERROR: Server has closed the link."));
}

// Without a connection quietly; with one, saying one of the farewells.
TEST_F(ConnectionTest, ExitSaysOneOfTheFarewells) {
    RunExitSequence(*program);
    loop.RunPending();
    EXPECT_TRUE(ui.Boxes().empty());
    Connect();
    RunExitSequence(*program);
    std::string farewell = server.ReadUntil("\r\n");
    EXPECT_TRUE(std::regex_match(
        farewell, std::regex("QUIT :(<-- RAGE QUIT!|Barbie Super Model iz teh besd!|"
                             "I need my bi-weekly nap\\.|Time to pretend I have a "
                             "life!|My FrankenBerry's are getting soggy\\.\\.\\.)\r\n")))
        << farewell;
    program.reset();  // ends the threads
    EXPECT_TRUE(ui.Boxes().empty());
}

// A server that sends faster than the lobby takes its lines: the reader stops taking from
// the socket once the inbox is full, a command given meanwhile waits for one handful of
// lines and not for the backlog, and still every line arrives, in order.
TEST_F(ConnectionTest, AFloodWaitsInTheSocketAndACommandGoesBetweenItsLines) {
    program->conn.inboxCapacity = 4096;
    Connect();
    constexpr int kLines = 2000;
    std::string flood;
    for (int i = 0; i < kLines; ++i) {
        flood +=
            ":srv 372 Alice :- flood " + std::to_string(i) + " " + std::string(150, 'x') + "\r\n";
    }
    std::thread sender([&] { server.Send(flood); });
    struct Ender {  // a failed assertion must not leave the sender blocked on a full socket
        std::thread& sender;
        std::unique_ptr<Program>& program;
        ~Ender() {
            if (sender.joinable()) {
                program.reset();
                sender.join();
            }
        }
    } ender{sender, program};
    auto floodLines = [&] {
        std::vector<std::string> out;
        for (const auto& l : Log()) {
            if (l.starts_with(":srv 372 Alice :- flood ")) out.push_back(l);
        }
        return out;
    };

    // Nobody runs the lobby thread: the reader must come to a stop with little in hand.
    LineInbox& inbox = program->conn.link->inbox;
    ASSERT_TRUE(test::WaitUntil([&] { return inbox.PusherWaiting(); }));
    EXPECT_LT(inbox.PendingBytes(), flood.size() / 4);

    std::optional<std::size_t> seenByCommand;
    loop.Post([&] { seenByCommand = floodLines().size(); });
    ASSERT_TRUE(RunUntil(loop, [&] { return seenByCommand.has_value(); }));
    EXPECT_LE(*seenByCommand, kLinesPerTurn);

    ASSERT_TRUE(RunUntil(
        loop, [&] { return floodLines().size() == static_cast<std::size_t>(kLines); }, 30s));
    sender.join();
    auto lines = floodLines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ASSERT_TRUE(lines[i].starts_with(":srv 372 Alice :- flood " + std::to_string(i) + " "))
            << lines[i];
    }
    EXPECT_TRUE(program->conn.receiveLoopActive);

    // Leaving while the reader waits for room: the program still ends, what was queued goes.
    std::thread more([&] {
        server.Send(std::string(200000, 'x') + "\r\n" + std::string(20000, ':') +
                    std::string(20000, '\n'));
    });
    EXPECT_TRUE(test::WaitUntil([&] { return inbox.PusherWaiting(); }));
    program.reset();  // joins the reader
    more.join();
}

// A new link starts with no receive error: a send that fails on it before the reader has
// seen anything is not the earlier link's "ERROR 2".
TEST_F(ConnectionTest, AFailedSendOnANewLinkIgnoresTheLastLinksReceiveError) {
    program->conn.lastReceiveResult = -1;
    program->conn.sendOverride = [](std::string_view) { return -1L; };
    Connect();
    SendIrcLine(*program, "PING :srv\r\n");
    loop.RunPending();
    EXPECT_TRUE(ui.Boxes().empty());
    EXPECT_TRUE(program->conn.receiveLoopActive);
}

}  // namespace

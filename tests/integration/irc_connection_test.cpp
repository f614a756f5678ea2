// k-hub-cli against a real ircd-ircu: registration and the title as voice and op change,
// what ends a connection, a second copy with the same name, and a quiet connection that the
// server keeps pinging.

#include <gtest/gtest.h>

#include <regex>

#include "support/IrcuChannelTest.h"

using namespace std::chrono_literals;
using khub::test::CliProcess;
using khub::test::IrcTestClient;
using khub::test::IrcuServer;

namespace {

class IrcConnection : public khub::test::IrcuChannelTest {
  protected:
    // A player in the lobby.
    std::unique_ptr<CliProcess> JoinedPlayer(const std::string& name) {
        auto cli = std::make_unique<CliProcess>(CliProcess::PlayerSettings(name, server->port()));
        cli->Send("connect");
        EXPECT_TRUE(cli->WaitForLine("title: K-Hub I - 1 users online")) << cli->OutputText();
        return cli;
    }

    // The connection was reset, and then the player was told why (box).
    void ExpectReset(CliProcess& cli, const std::string& box) {
        ExpectLine(cli, "title: K-Hub I - not connected");
        ExpectLine(cli, "box: " + box);
        cli.Send("disconnect");
        ExpectLine(cli, "refused: disconnect (not connected)");
    }
};

TEST_F(IrcConnection, RegistersJoinsAndTheTitleFollowsVoiceAndOp) {
    StartServer();
    auto alice = std::make_unique<CliProcess>(CliProcess::PlayerSettings("Alice", server->port()));
    alice->Send("connect");
    ExpectLine(*alice, "title: K-Hub I - connecting.");
    ExpectLine(*alice, "title: K-Hub I - connecting. (Attempt: #1)");
    ExpectLine(*alice, "title: K-Hub I - connecting..");
    ExpectLine(*alice, "title: K-Hub I - connecting...");
    ExpectLine(*alice, "log: USERIP: IPAddress set as \"127.0.0.1\".");
    ExpectLine(*alice, "log: <Alice> joins...");
    ExpectLine(*alice, "title: K-Hub I - 1 users online");  // the channel operator
    ASSERT_TRUE(op.WaitForText(":Alice!KHubUser@127.0.0.1 JOIN #K-HubI"));

    ASSERT_TRUE(op.OpMode("#K-HubI", "+v", "Alice"));
    ExpectLine(*alice, "title: K-Hub I - 2 users online");
    ASSERT_TRUE(op.OpMode("#K-HubI", "-v", "Alice"));
    ExpectLine(*alice, "title: K-Hub I - 1 users online");
    ASSERT_TRUE(op.OpMode("#K-HubI", "+o", "Alice"));
    ExpectLine(*alice, "title: K-Hub I - 2 users online");
    ASSERT_TRUE(op.OpMode("#K-HubI", "-o", "Alice"));
    ExpectLine(*alice, "title: K-Hub I - 1 users online");
    alice->Send("quit");
    ASSERT_TRUE(op.WaitForText(":Alice!KHubUser@127.0.0.1 QUIT :"));
    EXPECT_EQ(alice->WaitForExit(), 0);
}

TEST_F(IrcConnection, KickOfOurselvesResetsAndConnectingAgainWorks) {
    StartServer();
    auto alice = JoinedPlayer("Alice");
    op.Send("KICK #K-HubI Alice");
    ExpectReset(*alice, "A operator has kicked you! You probably did something bad...");

    alice->Send("connect");
    ExpectLine(*alice, "title: K-Hub I - 1 users online");
    op.Send("KICK #K-HubI Alice :behave");
    ExpectReset(*alice, "Kicked: behave");
}

TEST_F(IrcConnection, ServerErrorLineAndServerShutDownBothReset) {
    StartServer();
    auto alice = JoinedPlayer("Alice");
    op.Send("KILL Alice :enough");
    ExpectLine(*alice, "log: ERROR: Server has closed the link.");
    ExpectReset(*alice, "ERROR: Server has closed the link.");

    alice->Send("connect");
    ExpectLine(*alice, "title: K-Hub I - 1 users online");
    server->Stop();  // closes every link without an ERROR line
    ExpectReset(*alice, "ERROR 3: Socket connection lost.");
    EXPECT_EQ(alice->OutputText().find("box: ERROR 2"), std::string::npos);
}

TEST_F(IrcConnection, SecondCopyWithTheSameNameGetsAFallbackNick) {
    StartServer();
    auto first = JoinedPlayer("Alice");
    CliProcess second(CliProcess::PlayerSettings("Alice", server->port()));
    second.Send("connect");
    auto joined = op.WaitFor([](const std::string& l) {
        return std::regex_search(
            l, std::regex("^:K-HubUser[1-9][0-9]?!KHubUser@127\\.0\\.0\\.1 JOIN"));
    });
    ASSERT_TRUE(joined) << second.OutputText();
    const std::string nick = joined->substr(1, joined->find('!') - 1);
    ExpectLine(second,
               "box: The chosen nickname is already in use. Setting it to " + nick + " for now.");
    ExpectLine(second, "title: K-Hub I - 1 users online");
}

TEST_F(IrcConnection, QuietConnectionAnswersThePings) {
    IrcuServer::Options options;
    options.pingFrequencySeconds = 1;
    StartServer(options);
    auto alice = JoinedPlayer("Alice");
    // Unanswered, the server would drop a quiet client after two ping periods.
    ASSERT_TRUE(op.Pump(6s));
    op.Send("PRIVMSG #K-HubI :still here?");
    ExpectLine(*alice, "log: <Ivan> still here?");
    EXPECT_EQ(alice->OutputText().find("box:"), std::string::npos) << alice->OutputText();
}

TEST_F(IrcConnection, DisconnectSaysQuitAndRawLinesGoOutAsTheyStand) {
    StartServer();
    auto alice = JoinedPlayer("Alice");
    alice->Send("raw PRIVMSG #K-HubI :typed by hand");
    ASSERT_TRUE(op.WaitForText(":Alice!KHubUser@127.0.0.1 PRIVMSG #K-HubI :typed by hand"));
    alice->Send("connect");
    ExpectLine(*alice, "refused: connect (already connected)");
    alice->Send("disconnect");
    ExpectLine(*alice, "log: Disconnecting.");
    ExpectLine(*alice, "title: K-Hub I - not connected");
    ASSERT_TRUE(op.WaitForText(":Alice!KHubUser@127.0.0.1 QUIT :"));
    alice->Send("raw PRIVMSG #K-HubI :too late");
    ExpectLine(*alice, "refused: raw (not connected)");
    alice->CloseInput();  // end of input is quit
    EXPECT_EQ(alice->WaitForExit(), 0);
}

TEST_F(IrcConnection, ConnectOnStartupJoinsWithoutACommand) {
    StartServer();
    CliProcess alice(CliProcess::PlayerSettings("Alice", server->port(),
                                                {{"options", {{"connectonstartup", "1"}}}}));
    ExpectLine(alice, "title: K-Hub I - connecting. (Attempt: #1)");
    ExpectLine(alice, "title: K-Hub I - 1 users online");
    ASSERT_TRUE(op.WaitForText(":Alice!KHubUser@127.0.0.1 JOIN #K-HubI"));
    alice.Send("quit");
    auto farewell = op.WaitForText(":Alice!KHubUser@127.0.0.1 QUIT :");
    ASSERT_TRUE(farewell);
    EXPECT_TRUE(std::regex_search(*farewell, std::regex("RAGE QUIT|Barbie|nap|pretend|soggy")))
        << *farewell;
    EXPECT_EQ(alice.WaitForExit(), 0);
}

}  // namespace

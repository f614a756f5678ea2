// k-hub-cli against a real ircd-ircu: registration and the title as voice and op change,
// what ends a connection, and a quiet connection that the server keeps pinging.

#include <gtest/gtest.h>

#include <regex>

#include "support/LobbyServerTest.h"

using namespace std::chrono_literals;
using khub::test::CliProcess;
using khub::test::IrcdKind;
using khub::test::IrcuServer;

namespace {

class IrcConnection : public khub::test::LobbyServerTest {
  protected:
    void StartIrcu(IrcuServer::Options options = {}) {
        StartServer(IrcdKind::Ircu, {}, std::move(options));
    }
    // A player in the lobby.
    std::unique_ptr<CliProcess> JoinedPlayer(const std::string& name) {
        auto cli = std::make_unique<CliProcess>(CliProcess::PlayerSettings(name, port()));
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
    StartIrcu();
    auto alice = std::make_unique<CliProcess>(CliProcess::PlayerSettings("Alice", port()));
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

TEST_F(IrcConnection, ServerErrorLineAndServerShutDownBothReset) {
    StartIrcu();
    auto alice = JoinedPlayer("Alice");
    op.Send("KILL Alice :enough");
    ExpectLine(*alice, "log: ERROR: Server has closed the link.");
    ExpectReset(*alice, "ERROR: Server has closed the link.");

    alice->Send("connect");
    ExpectLine(*alice, "title: K-Hub I - 1 users online");
    ircu().Stop();  // closes every link without an ERROR line
    ExpectReset(*alice, "ERROR 3: Socket connection lost.");
    EXPECT_EQ(alice->OutputText().find("box: ERROR 2"), std::string::npos);
}

TEST_F(IrcConnection, QuietConnectionAnswersThePings) {
    IrcuServer::Options options;
    options.pingFrequencySeconds = 1;
    StartIrcu(options);
    auto alice = JoinedPlayer("Alice");
    // Unanswered, the server would drop a quiet client after two ping periods.
    ASSERT_TRUE(op.Pump(6s));
    op.Send("PRIVMSG #K-HubI :still here?");
    ExpectLine(*alice, "log: <Ivan> still here?");
    EXPECT_EQ(alice->OutputText().find("box:"), std::string::npos) << alice->OutputText();
}

TEST_F(IrcConnection, DisconnectSaysQuitAndRawLinesGoOutAsTheyStand) {
    StartIrcu();
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
    StartIrcu();
    CliProcess alice(
        CliProcess::PlayerSettings("Alice", port(), {{"options", {{"connectonstartup", "1"}}}}));
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

// k-hub-cli against a real ircd-ircu: registration, a quiet connection that the server keeps
// pinging, and the commands of a connected player.

#include <gtest/gtest.h>

#include "support/LobbyServerTest.h"

using namespace std::chrono_literals;
using khub::test::CliProcess;
using khub::test::IrcdKind;
using khub::test::IrcuServer;

namespace {

class IrcConnection : public khub::test::LobbyServerTest {};

TEST_F(IrcConnection, ASessionFromConnectToTheEndOfInput) {
    IrcuServer::Options options;
    options.pingFrequencySeconds = 1;
    StartServer(IrcdKind::Ircu, options);
    CliProcess alice(CliProcess::PlayerSettings("Alice", port()));
    alice.Send("connect");
    ASSERT_TRUE(op.WaitForText(":Alice!KHubUser@127.0.0.1 JOIN #K-HubI"));
    // Unanswered, the server would drop a quiet client after two ping periods.
    ASSERT_TRUE(op.Pump(6s));
    op.Send("PRIVMSG #K-HubI :still here?");
    EXPECT_TRUE(Printed(alice, "log: <Ivan> still here?"));

    alice.Send("raw PRIVMSG #K-HubI :typed by hand");
    ASSERT_TRUE(op.WaitForText(":Alice!KHubUser@127.0.0.1 PRIVMSG #K-HubI :typed by hand"));
    alice.Send("connect");
    EXPECT_TRUE(Printed(alice, "refused: connect (already connected)"));
    alice.Send("disconnect");
    EXPECT_TRUE(Printed(alice, "log: Disconnecting."));
    EXPECT_TRUE(Printed(alice, "title: K-Hub I - not connected"));
    ASSERT_TRUE(op.WaitForText(":Alice!KHubUser@127.0.0.1 QUIT :"));
    alice.Send("raw PRIVMSG #K-HubI :too late");
    EXPECT_TRUE(Printed(alice, "refused: raw (not connected)"));
    alice.CloseInput();  // end of input is quit
    EXPECT_EQ(alice.WaitForExit(), 0);
    EXPECT_EQ(alice.OutputText().find("box:"), std::string::npos) << alice.OutputText();
}

}  // namespace

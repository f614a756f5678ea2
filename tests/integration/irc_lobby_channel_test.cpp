// k-hub-cli against a real ircd-ircu: registration, the channel user list as the title shows
// it, and the ways a user leaves.

#include <gtest/gtest.h>

#include "support/CliProcess.h"
#include "support/IrcTestClient.h"
#include "support/IrcuServer.h"

using namespace std::chrono_literals;
using khub::test::CliProcess;
using khub::test::IrcTestClient;
using khub::test::IrcuServer;

namespace {

class IrcChannel : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!server.ok()) GTEST_SKIP() << server.error();
        // The operator is in the channel first, so ircu makes it the channel operator.
        ASSERT_TRUE(op.Connect(server.port()));
        ASSERT_TRUE(op.Register("Ivan"));
        ASSERT_TRUE(op.Oper());
        ASSERT_TRUE(op.Join());
    }

    // A player whose program connects and waits until it is in the lobby.
    std::unique_ptr<CliProcess> Player(const std::string& name, const CliProcess::Ini& extra = {}) {
        auto cli =
            std::make_unique<CliProcess>(CliProcess::PlayerSettings(name, server.port(), extra));
        cli->Send("connect");
        return cli;
    }

    void ExpectLine(CliProcess& cli, const std::string& text) {
        EXPECT_TRUE(cli.WaitForLine(text)) << "no \"" << text << "\" in:\n" << cli.OutputText();
    }

    IrcuServer server;
    IrcTestClient op;
};

TEST_F(IrcChannel, RegistersJoinsAndTheTitleFollowsVoiceAndOp) {
    auto alice = Player("Alice");
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

}  // namespace

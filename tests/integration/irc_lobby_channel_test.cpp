// k-hub-cli against a real ircd-ircu: registration, the channel user list as the title shows
// it, and the ways a user leaves.

#include <gtest/gtest.h>

#include "support/IrcuChannelTest.h"

using namespace std::chrono_literals;
using khub::test::CliProcess;
using khub::test::IrcTestClient;
using khub::test::IrcuServer;

namespace {

class IrcChannel : public khub::test::IrcuChannelTest {
  protected:
    void SetUp() override { StartServer(); }

    // A player whose program connects and waits until it is in the lobby.
    std::unique_ptr<CliProcess> Player(const std::string& name, const CliProcess::Ini& extra = {}) {
        auto cli =
            std::make_unique<CliProcess>(CliProcess::PlayerSettings(name, server->port(), extra));
        cli->Send("connect");
        return cli;
    }
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

TEST_F(IrcChannel, NamesAndTopicDecideWhoCountsAndNickChangesFollow) {
    IrcTestClient bob;
    ASSERT_TRUE(bob.Connect(server->port()));
    ASSERT_TRUE(bob.Register("Bob"));
    ASSERT_TRUE(bob.Join());
    ASSERT_TRUE(op.OpMode("#K-HubI", "+v", "Bob"));
    ASSERT_TRUE(op.Topic("#K-HubI", "Moderators: Ivan | Welcome to the lobby"));

    // The topic comes first on joining: Ivan is a moderator before the NAMES list him.
    auto alice = Player("Alice");
    ExpectLine(*alice, "log: Ivan ");
    ExpectLine(*alice, "log: Ivan changed to Level: 4.");
    ExpectLine(*alice, "title: K-Hub I - 1 users online");  // only Bob: staff is not counted

    bob.Send("NICK Bobby");
    ExpectLine(*alice, "log: <Bob> NICK <Bobby>");
    ExpectLine(*alice, "log: Bob changed to Bobby in the nicklist.");
    ASSERT_TRUE(op.OpMode("#K-HubI", "-v", "Bobby"));
    ExpectLine(*alice, "title: K-Hub I - 0 users online");

    // A new topic without Ivan makes him a counted operator again.
    ASSERT_TRUE(op.Topic("#K-HubI", "Moderators: Zed | new rules"));
    ExpectLine(*alice, "log: Ivan - Zed ");
    ExpectLine(*alice, "title: K-Hub I - 1 users online");
}

TEST_F(IrcChannel, PartQuitAndKickTakeUsersOut) {
    IrcTestClient bob, carol, dave;
    std::pair<IrcTestClient*, const char*> players[] = {
        {&bob, "Bob"}, {&carol, "Carol"}, {&dave, "Dave"}};
    for (auto [client, nick] : players) {
        ASSERT_TRUE(client->Connect(server->port()));
        ASSERT_TRUE(client->Register(nick));
        ASSERT_TRUE(client->Join());
        ASSERT_TRUE(op.OpMode("#K-HubI", "+v", nick));
    }
    auto alice = Player("Alice");
    ExpectLine(*alice, "title: K-Hub I - 4 users online");

    bob.Send("PART #K-HubI");
    ExpectLine(*alice, "log: <Bob> parts...");
    ExpectLine(*alice, "title: K-Hub I - 3 users online");
    carol.Send("PART #K-HubI :gone fishing");  // with a reason: still the lobby
    ExpectLine(*alice, "log: <Carol> parts...");
    ExpectLine(*alice, "title: K-Hub I - 2 users online");
    dave.Send("QUIT :see you");
    ExpectLine(*alice, "log: <Dave> QUIT (Quit: see you)");
    ExpectLine(*alice, "title: K-Hub I - 1 users online");

    ASSERT_TRUE(bob.Join());
    bob.Send("JOIN #elsewhere");
    ExpectLine(*alice, "log: <Bob> joins...");
    op.Send("KICK #K-HubI Bob :bye Bob");
    ExpectLine(*alice, "log: <Bob> has been kicked from #K-HubI by Ivan. (bye Bob)");
    ExpectLine(*alice, "log: Bob deleted from the nicklist.");
    EXPECT_FALSE(alice->WaitForLine("box:", 300ms)) << alice->OutputText();
}

}  // namespace

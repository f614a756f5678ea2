// Whole sessions as real servers sent them to one client (tests/data/*_session.txt),
// replayed through the dispatcher: ircd-ircu, and ngircd, InspIRCd and ircd-hybrid with
// their own ways of writing the same thing.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "irc/IrcLine.h"
#include "support/IrcHarness.h"

using namespace khub;
using Lines = std::vector<std::string>;

namespace {

// Replays the captured file line by line into h and returns every line sent; tick moves the
// clock after each line (the servers' pauses between lines).
Lines Replay(test::IrcHarness& h, const std::string& file, std::chrono::milliseconds tick) {
    std::ifstream in(std::string(KHUB_TEST_DATA_DIR) + "/" + file, std::ios::binary);
    Lines sent;
    std::size_t count = 0;
    h.Connected("Alice");
    for (std::string line; std::getline(in, line); ++count) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        EXPECT_EQ(ParseIrcLine(line).result, 0) << line;
        h.Recv(line);
        h.loop.AdvanceBy(tick);
        for (auto& s : h.TakeSent()) sent.push_back(s);
    }
    EXPECT_GT(count, 20u) << file;
    return sent;
}

TEST(CapturedSession, ReplayRegistersJoinsAndEndsWithTheRightChannel) {
    test::IrcHarness h;
    Lines sent = Replay(h, "ircu_session.txt", std::chrono::milliseconds(0));
    ASSERT_EQ(sent.size(), 9u);
    EXPECT_EQ(Lines(sent.begin(), sent.begin() + 8),
              (Lines{"NICK Alice\r\n", "USER KHubUser 8 * :KHubUser\r\n", sent[2],
                     "USERIP Alice\r\n", "USERIP Alice\r\n", "USERHOST Alice\r\n",
                     "USERHOST Alice\r\n", "JOIN #K-HubI\r\n"}));
    EXPECT_TRUE(std::regex_match(sent[2], std::regex("PONG :[0-9]+\r")));
    // The last line refused our change to a taken nick.
    EXPECT_TRUE(std::regex_match(sent[8], std::regex("NICK K-HubUser[1-9][0-9]?\r\n")));

    const ChannelUsers& users = h.program->users;
    EXPECT_EQ(users.PeekLevel("Alice"), level::kVoiced);
    EXPECT_EQ(users.PeekLevel("Ivan"), level::kOperator);    // no longer named in the topic
    EXPECT_EQ(users.PeekLevel("Bob"), level::kAbsent);       // kicked
    EXPECT_EQ(users.PeekLevel("Caroline"), level::kAbsent);  // parted with a reason
    EXPECT_EQ(users.moderatorNames, Lines{"Olga"});
    EXPECT_EQ(h.ui.MainTitle(), "K-Hub I - 2 users online");
    EXPECT_EQ(h.program->ownIpText, "127.0.0.1");
    EXPECT_TRUE(h.ui.MenuEnabled(menu::kConnect));
    EXPECT_TRUE(h.ui.MenuEnabled(menu::kCreate));
    EXPECT_EQ(h.program->games.Size(), 0);
    EXPECT_TRUE(h.LogHas("<Bob> hello everybody"));
    EXPECT_TRUE(h.LogHas("<Bob> has been kicked from #K-HubI by Ivan. (bye Bob)"));
}

// Alice registers (on hybrid's ident notice), joins, asks her address, is voiced by the
// channel operator Ivan, who talks, announces a game and leaves.
TEST(CapturedSession, OtherServersReplayToTheSameLobby) {
    const std::pair<const char*, Lines> rows[] = {
        {"ngircd_session.txt", {}},
        {"inspircd_session.txt", {}},
        {"hybrid_session.txt", {"NICK Alice\r\n", "USER KHubUser 8 * :KHubUser\r\n"}},
    };
    for (const auto& [file, registration] : rows) {
        SCOPED_TRACE(file);
        test::IrcHarness h;
        Lines sent = Replay(h, file, std::chrono::seconds(1));
        Lines expected = registration;
        expected.insert(expected.end(), {"JOIN #K-HubI\r\n", "USERHOST Alice\r\n"});
        EXPECT_EQ(sent, expected);
        EXPECT_EQ(h.program->ownIpText, "127.0.0.1");
        EXPECT_EQ(h.program->users.PeekLevel("Alice"), level::kVoiced);
        EXPECT_TRUE(h.ui.MenuEnabled(menu::kCreate));
        EXPECT_EQ(h.program->users.PeekLevel("Ivan"), level::kAbsent);
        EXPECT_EQ(h.ui.MainTitle(), "K-Hub I - 1 users online");
        EXPECT_TRUE(h.LogHas("<Ivan> hello everybody"));
        EXPECT_TRUE(h.LogHas("K-Hub Hosting message recieved."));
        EXPECT_EQ(h.program->games.Size(), 0);  // his game went with him
    }
}

}  // namespace

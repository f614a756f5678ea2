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

Lines CapturedLines(const std::string& name = "ircu_session.txt") {
    std::ifstream in(std::string(KHUB_TEST_DATA_DIR) + "/" + name, std::ios::binary);
    Lines lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

TEST(CapturedSession, ReplayRegistersJoinsAndEndsWithTheRightChannel) {
    test::IrcHarness h;
    h.Connected("Alice");
    Lines sent, lines = CapturedLines();
    ASSERT_GT(lines.size(), 40u);
    for (const auto& line : lines) {
        EXPECT_EQ(ParseIrcLine(line).result, 0) << line;
        h.Recv(line);
        for (auto& s : h.TakeSent()) sent.push_back(s);
    }
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
        Lines lines = CapturedLines(file);
        ASSERT_GT(lines.size(), 20u);
        test::IrcHarness h;
        h.Connected("Alice");
        Lines sent;
        for (const auto& line : lines) {
            EXPECT_EQ(ParseIrcLine(line).result, 0) << line;
            h.Recv(line);
            h.loop.AdvanceBy(std::chrono::seconds(1));
            for (auto& s : h.TakeSent()) sent.push_back(s);
        }
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

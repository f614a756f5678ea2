// Hostile peers against a copy of k-hub-cli that is connected and idle in the lobby. A
// loopback server plays the network and relays what the attackers "send"; it can also
// send what ircu's flood limits would never let through at this rate (bursts, huge NAMES
// replies). After each attack the copy must still hold every file as it was, have
// launched nothing, be connected, answer a command and exit cleanly.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "support/VictimCopy.h"

using namespace std::chrono_literals;
using khub::test::VictimCopy;

namespace {

std::string From(const std::string& nick) {
    return ":" + nick + "!KHubUser@10.1.2.3";
}
std::string Dcc(const std::string& text) {
    return "\x01"
           "DCC " +
           text + "\x01";
}

class HostilePeer : public ::testing::Test {
  protected:
    // Mallory is voiced, Eve is a plain member, Oscar an operator; Trudy is not in the
    // channel at all.
    HostilePeer() : victim({"+Mallory", "Eve", "@Oscar", "+Carol"}) {
        EXPECT_TRUE(victim.Probe().has_value()) << "the copy did not come up";
        before = victim.Files();
    }

    void Attack(const std::vector<std::string>& lines) {
        std::string bytes;
        for (const auto& l : lines) bytes += l + "\r\n";
        ASSERT_TRUE(victim.server.Send(bytes));
    }

    // The copy survived: same files, nothing started, still connected and answering.
    void ExpectUnharmed() {
        auto answered = victim.Probe(60s);
        ASSERT_TRUE(answered.has_value()) << "the copy stopped answering";
        EXPECT_TRUE(victim.server.ClientConnected());
        EXPECT_EQ(victim.Files(), before) << "a file in or beside the ROM folder changed";
        EXPECT_TRUE(victim.Launches().empty()) << "an emulator was started";
    }

    void ExpectCleanExit() {
        auto status = victim.Quit();
        ASSERT_TRUE(status.has_value()) << "the copy did not end after quit";
        EXPECT_TRUE(WIFEXITED(*status)) << "the copy died with signal " << WTERMSIG(*status);
        if (WIFEXITED(*status)) {
            EXPECT_EQ(WEXITSTATUS(*status), 0);
        }
    }

    bool Sent(const std::string& prefix, std::size_t from = 0) {
        auto lines = victim.server.Lines();
        for (std::size_t i = from; i < lines.size(); ++i) {
            if (lines[i].starts_with(prefix)) return true;
        }
        return false;
    }

    VictimCopy victim;
    khub::test::FolderSnapshot before;
};

TEST_F(HostilePeer, GameAndStartWithPathsOrBadAddressesOutsideAGameDoNothing) {
    const std::string me = victim.nick();
    std::vector<std::string> lines;
    for (const char* name : {"../x", "/etc/passwd", "a\\b", "..", "", "../outside.txt",
                             "Super Mario Kart.smc", "..\\..\\outside.txt"}) {
        lines.push_back(From("Mallory") + " NOTICE " + me + " :K-Hub-3|GAME|" + name +
                        "|12345678|0");
    }
    for (const char* address : {"not-an-address", "127.0.0.1 ; rm -rf /", "127.0.0.1|1|extra",
                                "127.0.0.1 --exec=/bin/sh", "", "999.1.1.1"}) {
        lines.push_back(From("Mallory") + " NOTICE " + me + " :K-Hub-3|START|" + address);
    }
    std::size_t sentBefore = victim.server.LineCount();
    Attack(lines);
    ExpectUnharmed();
    // Not being in anybody's game, the copy answers none of it.
    EXPECT_FALSE(Sent("NOTICE Mallory", sentBefore));
    ExpectCleanExit();
}

TEST_F(HostilePeer, DccOffersResumesAndAcceptsNobodyAskedFor) {
    const std::string me = victim.nick();
    const std::string to = " PRIVMSG " + me + " :";
    std::size_t sentBefore = victim.server.LineCount();
    Attack({
        From("Mallory") + to + Dcc("SEND \"../outside.txt\" 2130706433 1 10"),
        From("Mallory") + to + Dcc("SEND /etc/passwd 2130706433 1 10"),
        From("Mallory") + to + Dcc("SEND \"..\" 2130706433 1 10"),
        From("Mallory") + to + Dcc("SEND \"Super Mario Kart.smc\" 2130706433 1 99999999999"),
        From("Trudy") + to + Dcc("SEND \"new.smc\" 2130706433 1 4096"),
        From("Eve") + to + Dcc("SEND"),
        From("Mallory") + to + Dcc("RESUME \"Super Mario Kart.smc\" 4000 1024"),
        From("Mallory") + to + Dcc("RESUME"),
        From("Mallory") + to + Dcc("RESUME x 4000 -5"),
        From("Mallory") + to + Dcc("ACCEPT \"Super Mario Kart.smc\" 4000 1024"),
        From("Mallory") + to + Dcc("ACCEPT"),
    });
    ExpectUnharmed();
    // Nothing was offered or asked for: no connection, no answer.
    EXPECT_FALSE(Sent("PRIVMSG Mallory", sentBefore));
    EXPECT_FALSE(Sent("PRIVMSG Trudy", sentBefore));
    ExpectCleanExit();
}

TEST_F(HostilePeer, LobbyMessagesFromStrangersUnvoicedAndOversizedAreHarmless) {
    const std::string me = victim.nick();
    std::string fiveHundredFields = "K-Hub-3|HOST";
    for (int i = 0; i < 500; ++i) fiveHundredFields += "|f" + std::to_string(i);
    std::string tenKb(10 * 1024, 'A');
    std::string bigAnnounce = "K-Hub-3|ANNOUNCE|";
    for (int i = 0; i < 300; ++i) bigAnnounce += "word" + std::to_string(i) + " ";
    Attack({
        From("Trudy") + " NOTICE " + me + " :K-Hub-3|CLIENT",
        From("Trudy") + " NOTICE @#K-HubI :+ K-Hub-3|HOST|Stranger game",
        From("Eve") + " NOTICE @#K-HubI :+ K-Hub-3|HOST|Unvoiced game",
        From("Eve") + " NOTICE " + me + " :K-Hub-3|ANNOUNCE|not an operator",
        From("Mallory") + " NOTICE @#K-HubI :+ " + fiveHundredFields,
        From("Mallory") + " NOTICE " + me + " :" + fiveHundredFields,
        From("Mallory") + " NOTICE @#K-HubI :+ K-Hub-3|HOST|" + tenKb,
        From("Mallory") + " NOTICE @#K-HubI :+ K-Hub-3|HOST|" + std::string(1500, 'g') + "|" +
            std::string(400, 'c'),
        From("Oscar") + " NOTICE @#K-HubI :" + bigAnnounce,
        From("Mallory") + " NOTICE " + me + " :K-Hub-3|KICK",
        From("Mallory") + " NOTICE " + me + " :K-Hub-3|DONE",
        From("Mallory") + " NOTICE " + me + " :K-Hub-3|LEFT",
        From("Mallory") + " NOTICE " + me + " :K-Hub-3|MATCH|YES",
        From("Mallory") + " NOTICE " + me + " :K-Hub-3|GET",
    });
    ExpectUnharmed();
    ExpectCleanExit();
}

TEST_F(HostilePeer, NulBytesHighBytesAndBrokenLines) {
    const std::string me = victim.nick();
    std::string nul("\0", 1);
    std::string high;
    for (int c = 0x80; c <= 0xff; ++c) high.push_back(static_cast<char>(c));
    ASSERT_TRUE(victim.server.Send(
        From("Mallory") + " PRIVMSG #K-HubI :before" + nul + "after\r\n" +
        From("Mallory" + nul + "x") + " NOTICE @#K-HubI :+ K-Hub-3|HOST|nul" + nul + "game\r\n" +
        From("Mallory") + " NOTICE @#K-HubI :+ K-Hub-3|HOST|" + high + "\r\n" + From("Mallory") +
        " PRIVMSG " + me + " :" + high + "\r\n" + From(high) + " PRIVMSG #K-HubI :" + high +
        "\r\n" + nul + nul + "\r\n" + ":\r\n: \r\n:x\r\n" + "\r\n\r\n\n\n\r\r\r\n" +
        From("Mallory") + " NOTICE " + me +
        " :\x01"
        "DCC SEND " +
        high + "\x01\r\n" + From("Mallory") + " MODE #K-HubI +v\r\n" + ":irc.test.local 353 " + me +
        " = #K-HubI :" + high + " @" + nul + " +\r\n" + ":irc.test.local 332 " + me +
        " #K-HubI :Moderators: " + high + "\r\n" + ":irc.test.local 302 " + me + " :" + me +
        "=+x@" + high + "\r\n" + std::string(5000, 'x') + "\r\n" + ":" + std::string(3000, 'p') +
        " PRIVMSG x :y\r\n"));
    ExpectUnharmed();
    ExpectCleanExit();
}

// What a real server spreads over minutes arrives here at once.
TEST_F(HostilePeer, HundredThousandLineBurst) {
    const std::string me = victim.nick();
    std::string chunk;
    for (int i = 0; i < 100000; ++i) {
        std::string bot = "bot" + std::to_string(i % 700);
        switch (i % 8) {
            case 0:
                chunk += From(bot) + " JOIN :#K-HubI\r\n";
                break;
            case 1:
                chunk += From(bot) + " NOTICE " + me + " :K-Hub-3|CLIENT\r\n";
                break;
            case 2:
                chunk += From(bot) + " NOTICE @#K-HubI :+ K-Hub-3|HOST|flood " + std::to_string(i) +
                         "\r\n";
                break;
            case 3:
                chunk += From(bot) + " PART #K-HubI\r\n";
                break;
            default:
                chunk += From(bot) + " PRIVMSG #K-HubI :flood line " + std::to_string(i) + "\r\n";
        }
        if (chunk.size() > 60000) {
            ASSERT_TRUE(victim.server.Send(chunk));
            chunk.clear();
        }
    }
    ASSERT_TRUE(victim.server.Send(chunk));
    ExpectUnharmed();
    ExpectCleanExit();
}

TEST(HostilePeerBigChannel, NamesOfTenThousandAndThousandHostAnnouncements) {
    std::vector<std::string> members;
    for (int i = 0; i < 10000; ++i)
        members.push_back((i < 1000 ? "+" : "") + ("bot" + std::to_string(i)));
    VictimCopy victim(members);
    auto before = victim.Files();
    std::string hosts;
    for (int i = 0; i < 1000; ++i) {
        hosts += From("bot" + std::to_string(i)) + " NOTICE @#K-HubI :+ K-Hub-3|HOST|Game " +
                 std::to_string(i) + "\r\n";
    }
    ASSERT_TRUE(victim.server.Send(hosts));
    ASSERT_TRUE(victim.Probe(60s).has_value());

    std::size_t from = victim.cli->LineCount();
    victim.cli->WriteLine("games");
    auto count = victim.cli->WaitForLine(
        [](const std::string& l) { return l.starts_with("games: "); }, 60s, from);
    ASSERT_TRUE(count.has_value());
    EXPECT_EQ(*count, "games: 1000") << "every voiced bot's game is listed once";

    EXPECT_TRUE(victim.server.ClientConnected());
    EXPECT_EQ(victim.Files(), before);
    auto status = victim.Quit();
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
}

}  // namespace

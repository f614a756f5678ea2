// Hostile peers against a copy of k-hub-cli that is connected, voiced and idle in the
// lobby, on a real ircd-ircu where every attacker is a client of its own, and on a loopback
// server that plays the network itself. ircu cuts lines at 512 bytes and throttles floods,
// so what it cannot carry (10 KB fields, NULs in a nick, broken lines, bursts of 100,000
// lines, a NAMES reply of 10,000) is sent by the loopback server alone. After each attack
// the copy must still hold every file as it was, have launched nothing, be connected,
// answer a command and exit cleanly.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "support/HostileNetwork.h"
#include "support/VictimChecks.h"
#include "support/VictimCopy.h"

using namespace std::chrono_literals;
using khub::test::From;
using khub::test::HostileNetwork;
using khub::test::VictimCopy;

namespace {

std::string Dcc(const std::string& text) {
    return "\x01"
           "DCC " +
           text + "\x01";
}

class HostilePeer : public ::testing::TestWithParam<HostileNetwork::Kind> {
  protected:
    // Mallory is voiced, Eve is a plain member, Oscar an operator; Trudy is not in the
    // channel at all.
    void SetUp() override {
        net = std::make_unique<HostileNetwork>(
            GetParam(), std::vector<std::string>{"+Mallory", "Eve", "@Oscar", "+Carol"});
        if (!net->ok()) {
            if (GetParam() == HostileNetwork::Kind::Ircu) GTEST_SKIP() << net->error();
            FAIL() << net->error();
        }
        me = net->me();
        before = net->copy().Files();
    }

    void TearDown() override {
        if (HasFailure() && net && net->ok()) {
            for (const auto& l : net->copy().cli->Lines())
                std::fprintf(stderr, "  copy| %s\n", l.c_str());
        }
    }

    // The copy survived: same files, nothing started, still connected and answering.
    void ExpectUnharmed() {
        ASSERT_TRUE(net->Probe()) << "the copy stopped answering";
        EXPECT_TRUE(net->CopyConnected());
        EXPECT_EQ(net->copy().Files(), before) << "a file in or beside the ROM folder changed";
        EXPECT_TRUE(net->copy().Launches().empty()) << "an emulator was started";
        khub::test::ExpectQuitsCleanly(net->copy());
    }

    bool Sent(const std::string& prefix, std::size_t from) {
        auto lines = net->Sent();
        for (std::size_t i = from; i < lines.size(); ++i) {
            if (lines[i].starts_with(prefix)) return true;
        }
        return false;
    }

    std::unique_ptr<HostileNetwork> net;
    std::string me;
    khub::test::FolderSnapshot before;
};

TEST_P(HostilePeer, GameAndStartWithPathsOrBadAddressesOutsideAGameDoNothing) {
    std::size_t sentBefore = net->SentCount();
    for (const char* name : {"../x", "/etc/passwd", "a\\b", "..", "", "../outside.txt",
                             "Super Mario Kart.smc", "..\\..\\outside.txt"}) {
        net->Say("Mallory", "NOTICE " + me + " :K-Hub-3|GAME|" + name + "|12345678|0");
    }
    for (const char* address : {"not-an-address", "127.0.0.1 ; rm -rf /", "127.0.0.1|1|extra",
                                "127.0.0.1 --exec=/bin/sh", "", "999.1.1.1"}) {
        net->Say("Mallory", "NOTICE " + me + " :K-Hub-3|START|" + address);
    }
    ASSERT_TRUE(net->Probe());
    // Not being in anybody's game, the copy answers none of it.
    EXPECT_FALSE(Sent("NOTICE Mallory", sentBefore));
    ExpectUnharmed();
}

TEST_P(HostilePeer, DccOffersResumesAndAcceptsNobodyAskedFor) {
    const std::string to = "PRIVMSG " + me + " :";
    std::size_t sentBefore = net->SentCount();
    net->Say("Mallory", to + Dcc("SEND \"../outside.txt\" 2130706433 1 10"));
    net->Say("Mallory", to + Dcc("SEND /etc/passwd 2130706433 1 10"));
    net->Say("Mallory", to + Dcc("SEND \"..\" 2130706433 1 10"));
    net->Say("Mallory", to + Dcc("SEND \"Super Mario Kart.smc\" 2130706433 1 99999999999"));
    net->Say("Trudy", to + Dcc("SEND \"new.smc\" 2130706433 1 4096"));
    net->Say("Eve", to + Dcc("SEND"));
    net->Say("Mallory", to + Dcc("RESUME \"Super Mario Kart.smc\" 4000 1024"));
    net->Say("Mallory", to + Dcc("RESUME"));
    net->Say("Mallory", to + Dcc("RESUME x 4000 -5"));
    net->Say("Mallory", to + Dcc("ACCEPT \"Super Mario Kart.smc\" 4000 1024"));
    net->Say("Mallory", to + Dcc("ACCEPT"));
    ASSERT_TRUE(net->Probe());
    // Nothing was offered or asked for: no connection, no answer.
    EXPECT_FALSE(Sent("PRIVMSG Mallory", sentBefore));
    EXPECT_FALSE(Sent("PRIVMSG Trudy", sentBefore));
    ExpectUnharmed();
}

TEST_P(HostilePeer, LobbyMessagesFromStrangersUnvoicedAndOversizedAreHarmless) {
    const std::string wall = "WALLVOICES #K-HubI :";
    const std::string note = "NOTICE " + me + " :";
    // 500 fields, or as many as the server carries in one line (then empty ones).
    auto fields = [&](const std::string& prefix) {
        std::string text = "K-Hub-3|HOST";
        std::size_t room = net->RoomFor(prefix);
        bool roomy = room >= text.size() + 2 * 500;
        for (int i = 0; i < 500; ++i) {
            std::string field = roomy ? "|" + std::to_string(i % 10) : "|";
            if (text.size() + field.size() > room) break;
            text += field;
        }
        return text;
    };
    // A field of 10 KB, or the longest the server carries.
    auto longField = [&](const std::string& prefix, const std::string& head, char c) {
        return head + std::string(std::min<std::size_t>(10 * 1024, net->RoomFor(prefix + head)), c);
    };
    std::string bigAnnounce = "K-Hub-3|ANNOUNCE|";
    for (int i = 0; i < 300 && bigAnnounce.size() + 8 < net->RoomFor("NOTICE #K-HubI :"); ++i)
        bigAnnounce += "word" + std::to_string(i) + " ";
    net->Say("Trudy", note + "K-Hub-3|CLIENT");
    net->Say("Trudy", wall + "K-Hub-3|HOST|Stranger game");
    net->Say("Eve", wall + "K-Hub-3|HOST|Unvoiced game");
    net->Say("Eve", note + "K-Hub-3|ANNOUNCE|not an operator");
    net->Say("Mallory", wall + fields(wall));
    net->Say("Mallory", note + fields(note));
    net->Say("Mallory", wall + longField(wall, "K-Hub-3|HOST|", 'A'));
    net->Say("Mallory",
             wall + longField(wall,
                              "K-Hub-3|HOST|" +
                                  std::string(1500, 'g').substr(0, net->RoomFor(wall) / 2) + "|",
                              'c'));
    net->Say("Oscar", "NOTICE #K-HubI :" + bigAnnounce);
    for (const char* verb : {"KICK", "DONE", "LEFT", "MATCH|YES", "GET"})
        net->Say("Mallory", note + "K-Hub-3|" + verb);
    ExpectUnharmed();
}

TEST_P(HostilePeer, NulBytesHighBytesAndBrokenLines) {
    std::string nul("\0", 1);
    std::string high;
    for (int c = 0x80; c <= 0xff; ++c) high.push_back(static_cast<char>(c));
    // What any member can send through a server.
    net->Say("Mallory", "PRIVMSG #K-HubI :before" + nul + "after");
    net->Say("Mallory", "WALLVOICES #K-HubI :K-Hub-3|HOST|nul" + nul + "game");
    net->Say("Mallory", "WALLVOICES #K-HubI :K-Hub-3|HOST|" + high);
    net->Say("Mallory", "PRIVMSG " + me + " :" + high);
    net->Say("Mallory", "NOTICE " + me +
                            " :\x01"
                            "DCC SEND " +
                            high + "\x01");
    net->Say("Eve", "PRIVMSG " + me + " :" + high + "|" + high);
    net->Say("Oscar", "TOPIC #K-HubI :Moderators: " + high);
    // What only a server could send: nicks and replies no server allows, broken lines.
    net->FromServer(From("Mallory" + nul + "x") + " NOTICE @#K-HubI :+ K-Hub-3|HOST|nul" + nul +
                    "game\r\n" + From(high) + " PRIVMSG #K-HubI :" + high + "\r\n" + nul + nul +
                    "\r\n" + ":\r\n: \r\n:x\r\n" + "\r\n\r\n\n\n\r\r\r\n" + From("Mallory") +
                    " MODE #K-HubI +v\r\n" + ":irc.test.local 353 " + me + " = #K-HubI :" + high +
                    " @" + nul + " +\r\n" + ":irc.test.local 332 " + me +
                    " #K-HubI :Moderators: " + high + "\r\n" + ":irc.test.local 302 " + me + " :" +
                    me + "=+x@" + high + "\r\n" + std::string(5000, 'x') + "\r\n" + ":" +
                    std::string(3000, 'p') + " PRIVMSG x :y\r\n");
    ExpectUnharmed();
}

INSTANTIATE_TEST_SUITE_P(OnEachServer, HostilePeer,
                         ::testing::Values(HostileNetwork::Kind::Ircu,
                                           HostileNetwork::Kind::Loopback),
                         khub::test::KindName);

// What a real server spreads over minutes arrives here at once.
TEST(HostilePeerBurst, HundredThousandLines) {
    VictimCopy victim({"+Mallory", "Eve", "@Oscar", "+Carol"});
    auto before = victim.Files();
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
    ASSERT_TRUE(victim.Probe(60s).has_value()) << "the copy stopped answering";
    EXPECT_TRUE(victim.server.ClientConnected());
    EXPECT_EQ(victim.Files(), before);
    EXPECT_TRUE(victim.Launches().empty());
    khub::test::ExpectQuitsCleanly(victim);
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
    khub::test::ExpectQuitsCleanly(victim);
}

}  // namespace

// Hostile peers against a copy of k-hub-cli, on a loopback server that plays the network:
// what no real server would carry (10 KB fields, NULs in a nick, broken lines, bursts of
// 100,000 lines, a NAMES reply of 10,000) included. Idle in the lobby, the copy must answer
// nobody. Afterwards it must hold every file as it was, be connected, answer and exit cleanly.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/VictimCopy.h"

using namespace std::chrono_literals;
using khub::test::From;
using khub::test::VictimCopy;

namespace {

// Mallory, Carol and bot0 to bot999 are voiced, Eve and bot1000 to bot9999 are plain
// members, Oscar an operator; Trudy is not in the channel at all.
std::vector<std::string> Members() {
    std::vector<std::string> members{"+Mallory", "Eve", "@Oscar", "+Carol"};
    for (int i = 0; i < 10000; ++i)
        members.push_back((i < 1000 ? "+bot" : "bot") + std::to_string(i));
    return members;
}

// Each voiced bot hosts a game; the game list holds them all, once.
void AThousandGames(VictimCopy& v) {
    std::string hosts;
    for (int i = 0; i < 1000; ++i) {
        hosts += From("bot" + std::to_string(i)) + " NOTICE @#K-HubI :+ K-Hub-3|HOST|Game " +
                 std::to_string(i) + "\r\n";
    }
    ASSERT_TRUE(v.server.Send(hosts));
    ASSERT_TRUE(v.Probe(60s));
    std::size_t from = v.cli.LineCount();
    v.cli.Send("games");
    EXPECT_EQ(v.cli.WaitForLine("games: ", 60s, from), "games: 1000");
}

void LobbyLinesFromStrangersUnvoicedAndOversized(VictimCopy& v) {
    const std::string wall = "WALLVOICES #K-HubI :", note = "NOTICE " + v.nick() + " :";
    std::string fields = "K-Hub-3|HOST", bigAnnounce = "K-Hub-3|ANNOUNCE|";
    for (int i = 0; i < 500; ++i) fields += "|" + std::to_string(i % 10);
    for (int i = 0; i < 300; ++i) bigAnnounce += "word" + std::to_string(i) + " ";
    v.Say("Trudy", note + "K-Hub-3|CLIENT");
    v.Say("Trudy", wall + "K-Hub-3|HOST|Stranger game");
    v.Say("Eve", wall + "K-Hub-3|HOST|Unvoiced game");
    v.Say("Eve", note + "K-Hub-3|ANNOUNCE|not an operator");
    v.Say("Mallory", wall + fields);
    v.Say("Mallory", note + fields);
    v.Say("Mallory", wall + "K-Hub-3|HOST|" + std::string(10 * 1024, 'A'));
    v.Say("Mallory",
          wall + "K-Hub-3|HOST|" + std::string(1500, 'g') + "|" + std::string(10 * 1024, 'c'));
    v.Say("Oscar", "NOTICE #K-HubI :" + bigAnnounce);
    for (const char* verb : {"KICK", "DONE", "LEFT", "MATCH|YES", "GET"})
        v.Say("Mallory", note + "K-Hub-3|" + verb);
}

void NulBytesHighBytesAndBrokenLines(VictimCopy& v) {
    const std::string me = v.nick(), nul("\0", 1);
    std::string high;
    for (int c = 0x80; c <= 0xff; ++c) high.push_back(static_cast<char>(c));
    // What any member can send through a server.
    v.Say("Mallory", "PRIVMSG #K-HubI :before" + nul + "after");
    v.Say("Mallory", "WALLVOICES #K-HubI :K-Hub-3|HOST|nul" + nul + "game");
    v.Say("Mallory", "WALLVOICES #K-HubI :K-Hub-3|HOST|" + high);
    v.Say("Mallory", "PRIVMSG " + me + " :" + high);
    v.Say("Mallory", "NOTICE " + me + " :\001DCC SEND " + high + "\001");
    v.Say("Eve", "PRIVMSG " + me + " :" + high + "|" + high);
    v.Say("Oscar", "TOPIC #K-HubI :Moderators: " + high);
    // What only a server could send: nicks and replies no server allows, broken lines.
    v.server.Send(From("Mallory" + nul + "x") + " NOTICE @#K-HubI :+ K-Hub-3|HOST|nul" + nul +
                  "game\r\n" + From(high) + " PRIVMSG #K-HubI :" + high + "\r\n" + nul + nul +
                  "\r\n" + ":\r\n: \r\n:x\r\n" + "\r\n\r\n\n\n\r\r\r\n" + From("Mallory") +
                  " MODE #K-HubI +v\r\n" + ":irc.test.local 353 " + me + " = #K-HubI :" + high +
                  " @" + nul + " +\r\n" + ":irc.test.local 332 " + me +
                  " #K-HubI :Moderators: " + high + "\r\n" + ":irc.test.local 302 " + me + " :" +
                  me + "=+x@" + high + "\r\n" + std::string(5000, 'x') + "\r\n" + ":" +
                  std::string(3000, 'p') + " PRIVMSG x :y\r\n");
}

// What a real server spreads over minutes arrives here at once.
void HundredThousandLines(VictimCopy& v) {
    std::string chunk;
    for (int i = 0; i < 100000; ++i) {
        std::string from = From("bot" + std::to_string(i % 700)), n = std::to_string(i);
        const std::string lines[] = {" JOIN :#K-HubI", " NOTICE " + v.nick() + " :K-Hub-3|CLIENT",
                                     " NOTICE @#K-HubI :+ K-Hub-3|HOST|flood " + n, " PART #K-HubI",
                                     " PRIVMSG #K-HubI :flood line " + n};
        chunk += from + lines[std::min(i % 8, 4)] + "\r\n";
        if (chunk.size() > 60000) {
            ASSERT_TRUE(v.server.Send(chunk));
            chunk.clear();
        }
    }
    ASSERT_TRUE(v.server.Send(chunk));
}

TEST(HostilePeer, AttacksOfEveryKindLeaveTheCopyUnharmed) {
    VictimCopy v(Members());
    v.server.SendLine(":irc.test.local MODE #K-HubI +v " + v.nick());
    ASSERT_TRUE(v.Probe());
    const auto before = v.Files();
    const struct {
        const char* name;
        std::function<void(VictimCopy&)> attack;
    } rows[] = {{"a thousand games", AThousandGames},
                {"lobby lines", LobbyLinesFromStrangersUnvoicedAndOversized},
                {"NULs, high bytes, broken lines", NulBytesHighBytesAndBrokenLines},
                {"100,000 lines", HundredThousandLines}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::size_t from = v.server.LineCount();
        row.attack(v);
        ASSERT_TRUE(v.Probe(60s)) << "the copy stopped answering:\n" << v.cli.OutputText();
        // Not in anybody's game and offered nothing, the copy answers none of it.
        auto sent = v.server.Lines();
        for (std::size_t i = from; i < sent.size(); ++i) {
            EXPECT_FALSE((sent[i].starts_with("NOTICE ") || sent[i].starts_with("PRIVMSG ")) &&
                         !sent[i].starts_with("PRIVMSG ProbeNick "))
                << sent[i];
        }
        EXPECT_TRUE(v.server.ClientConnected());
        EXPECT_EQ(v.Files(), before) << "a file in or beside the ROM folder changed";
        EXPECT_FALSE(v.Launched()) << "an emulator was started";
    }
    EXPECT_EQ(v.Quit(), 0) << "quit ends the copy by itself, with status 0";
}

}  // namespace

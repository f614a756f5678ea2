// A copy of k-hub-cli on a loopback server that plays the network (support/VictimCopy.h).
// Hostile peers: what no real server would carry (10 KB fields, NULs in a nick, broken
// lines, bursts of 100,000 lines, a NAMES reply of 10,000) included; idle in the lobby, the
// copy must answer nobody. Faults: the server dying in each phase of a game, the sender dying
// mid-transfer or not there at all, the disk filling up during a receive, the ROM folder
// gone; the copy must say what happened. Afterwards it must hold its files whole, be
// connected, answer and exit cleanly.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ircu/LoopbackPort.h"
#include "lobby/RomCatalogue.h"
#include "support/VictimCopy.h"
#include "transfer/DccPeer.h"

using namespace std::chrono_literals;
using khub::test::From;
using khub::test::VictimCopy;
using khub::transfer::testing::RawPeer;

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

// Mallory announces a game, the copy joins it, is taken in and answers her ROM choice;
// Download is then enabled.
void JoinMallorysGame(VictimCopy& v, const std::string& rom, const std::string& crc) {
    v.Say("Mallory", "WALLVOICES #K-HubI :K-Hub-3|HOST|Evil Game");
    ASSERT_TRUE(v.Probe());
    std::size_t from = v.server.LineCount();
    v.cli.Send("join Mallory");
    ASSERT_TRUE(v.Sends("NOTICE Mallory :K-Hub-3|CLIENT", from));
    v.Say("Mallory", "WALLVOICES #K-HubI :K-Hub-3|HOST|Evil Game|" + v.nick());
    ASSERT_TRUE(v.Probe());
    from = v.server.LineCount();
    v.Say("Mallory", "NOTICE " + v.nick() + " :K-Hub-3|GAME|" + rom + "|" + crc + "|0");
    // The ROM folder is searched on a worker: the answer, not the handling of the line,
    // says when Download is enabled.
    ASSERT_TRUE(v.server.WaitForText("|MATCH|", 30s, from));
}

// Download pressed, and Mallory's offer of Zelda.smc from sender's port.
void OfferZelda(VictimCopy& v, int port, std::size_t size) {
    JoinMallorysGame(v, "Zelda.smc", "0BADC0DE");
    std::size_t from = v.server.LineCount();
    v.cli.Send("download");
    ASSERT_TRUE(v.Sends("NOTICE Mallory :K-Hub-3|GET", from));
    v.Say("Mallory", "PRIVMSG " + v.nick() + " :\001DCC SEND Zelda.smc 2130706433 " +
                         std::to_string(port) + " " + std::to_string(size) + "\001");
}

// A partial download may stay for a resume, holding only what was received.
void ExpectSameBesidesAPrefix(khub::test::FolderSnapshot after, khub::test::FolderSnapshot before,
                              const std::string& rom) {
    before.erase("roms/Zelda.smc.part");
    EXPECT_FALSE(after.count("roms/Zelda.smc")) << "an incomplete download took the ROM's name";
    if (after.count("roms/Zelda.smc.part")) {
        const auto& got = *after.at("roms/Zelda.smc.part");
        EXPECT_FALSE(got.empty()) << "an empty partial file stays";
        EXPECT_EQ(got, rom.substr(0, got.size())) << "only a resumable prefix may stay";
        after.erase("roms/Zelda.smc.part");
    }
    EXPECT_EQ(after, before);
}

// The server goes away in each phase of a game in turn; each time the copy resets, keeps
// its files, and connects again.
TEST(ServerDies, InEachPhaseTheCopyResetsKeepsItsFilesAndConnectsAgain) {
    VictimCopy v({"+Mallory", "@Oscar"});
    for (std::string phase : {"hosting", "joined", "transferring", "starting"}) {
        SCOPED_TRACE(phase);
        RawPeer sender;  // listens, but never sends a byte
        std::size_t out = v.cli.LineCount();
        if (phase == "hosting") {
            v.server.SendLine(":irc.test.local MODE #K-HubI +v " + v.nick());
            ASSERT_TRUE(v.Probe().has_value());
            v.cli.Send("create Test Game --rom " + (v.roms() / "F-Zero.sfc").string());
            ASSERT_TRUE(v.cli.WaitForLine("window: open host", 30s, out));
        } else if (phase == "transferring") {
            OfferZelda(v, sender.Listen(), 16384);
            ASSERT_TRUE(v.cli.WaitForLine("window: open transfer", 30s, out));
        } else {
            JoinMallorysGame(
                v, "Super Mario Kart.smc",
                khub::rom::CrcTextOfFile((v.roms() / "Super Mario Kart.smc").string()));
            if (phase == "starting") {
                v.Say("Mallory", "NOTICE " + v.nick() + " :K-Hub-3|START|127.0.0.2");
                ASSERT_TRUE(v.Probe().has_value());  // the start's 6-second wait is running
            }
        }
        if (HasFatalFailure()) return;
        auto before = v.Files();
        out = v.cli.LineCount();
        v.server.Disconnect();
        EXPECT_TRUE(v.cli.WaitForLine("title: K-Hub I - not connected", 30s, out));
        EXPECT_TRUE(v.cli.WaitForLine("box: ERROR", 30s, out)) << "the player is not told";
        EXPECT_TRUE(v.cli.WaitForLine("window: close", 30s, out)) << "the game window stays";
        v.cli.Send("connect");
        ASSERT_TRUE(v.server.AcceptAndRegister({"+Mallory"}, 30s));
        ASSERT_TRUE(v.Probe().has_value());
        ExpectSameBesidesAPrefix(v.Files(), before, "");  // nothing was sent
    }
    EXPECT_FALSE(v.Launched()) << "a start cut off by the reset does not launch";
    EXPECT_EQ(v.Quit(), 0) << "quit ends the copy by itself, with status 0";
}

// The player is told, only a resumable prefix stays, and the copy lives on. A file-size
// limit stands in for a full disk: writes past it fail with EFBIG.
TEST(DownloadBreaksOff, TheCopyReportsItAndKeepsOnlyAResumablePrefix) {
    const struct {
        const char* name;
        std::vector<std::string> launcher;
        bool listens;  // or the offer names a closed port
        long sentBeforeReset;
        const char* told;
    } rows[] = {
        {"the sender resets", {}, true, 20000, "window: close transfer"},
        {"the disk is full", {"/usr/bin/prlimit", "--fsize=16384", "--"}, true, -1, "box: "},
        {"nobody listens", {}, false, 0, "box: ERROR"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        VictimCopy v({"+Mallory"}, row.launcher);
        auto before = v.Files();
        const std::string rom(64 * 1024, 'Z');
        RawPeer sender;
        std::size_t out = v.cli.LineCount();
        OfferZelda(v,
                   row.listens ? sender.Send(rom, 0, row.sentBeforeReset, RawPeer::AtStop::Reset)
                               : khub::test::FreeLoopbackPort(),
                   rom.size());
        EXPECT_TRUE(v.cli.WaitForLine(row.told, 60s, out)) << v.cli.OutputText();
        ASSERT_TRUE(v.Probe().has_value()) << "the copy died";
        EXPECT_FALSE(v.server.WaitForText("MATCH|YES", 0ms, 0)) << "an incomplete file is no match";
        ExpectSameBesidesAPrefix(v.Files(), before, rom);
        EXPECT_TRUE(v.server.ClientConnected());
        EXPECT_EQ(v.Quit(), 0) << "quit ends the copy by itself, with status 0";
    }
}

// The ROM folder is gone when the host names the game: the player is told, the host hears
// "no match", and once the folder is back the next choice is found there.
TEST(RomFolderFault, ScanReportsItAndTheCopyGoesOn) {
    VictimCopy v({"+Mallory"});
    std::filesystem::remove_all(v.roms());
    auto before = v.Files();
    std::size_t out = v.cli.LineCount(), from = v.server.LineCount();
    JoinMallorysGame(v, "Super Mario Kart.smc", "12345678");
    EXPECT_TRUE(v.Sends("NOTICE Mallory :K-Hub-3|MATCH|NO", from));
    EXPECT_TRUE(v.cli.WaitForLine("chat: Cannot read the ROM folder \"" + v.roms().string() + "\"",
                                  30s, out));
    ASSERT_TRUE(v.Probe().has_value());
    EXPECT_EQ(v.Files(), before);

    std::filesystem::create_directory(v.roms());
    khub::test::WriteFileBytes((v.roms() / "Zelda.smc").string(), "zelda");
    from = v.server.LineCount();
    v.Say("Mallory", "NOTICE " + v.nick() + " :K-Hub-3|GAME|Zelda.smc|" +
                         khub::rom::CrcTextOfFile((v.roms() / "Zelda.smc").string()) + "|0");
    EXPECT_TRUE(v.Sends("NOTICE Mallory :K-Hub-3|MATCH|YES", from));
    EXPECT_EQ(v.Quit(), 0) << "quit ends the copy by itself, with status 0";
}

}  // namespace

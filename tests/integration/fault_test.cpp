// Faults around a copy of k-hub-cli: the server dying in each phase of a game, the DCC
// peer dying mid-transfer on either side, the ROM folder gone, the disk filling up during a
// receive. Afterwards the copy must say what happened, keep its files whole, and be able to
// go on.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ircu/LoopbackPort.h"
#include "lobby/RomCatalogue.h"
#include "support/FakeDccSender.h"
#include "support/VictimChecks.h"
#include "support/VictimCopy.h"

using namespace std::chrono_literals;
using khub::test::FakeDccSender;
using khub::test::From;
using khub::test::VictimCopy;

namespace {

bool WaitOut(VictimCopy& v, const std::string& text, std::size_t from,
             std::chrono::milliseconds t = 30s) {
    return v.cli
        ->WaitForLine([&](const std::string& l) { return l.find(text) != std::string::npos; }, t,
                      from)
        .has_value();
}

std::string Transcript(const VictimCopy& v) {
    std::string all;
    for (const auto& line : v.cli->Lines()) all += line + "\n";
    return all;
}

bool WaitSent(VictimCopy& v, const std::string& line, std::size_t from = 0) {
    return v.server.WaitForLine([&](const std::string& l) { return l == line; }, 30s, from)
        .has_value();
}

// The copy joins Mallory's game and answers her ROM choice; Download is then enabled.
void JoinMallorysGame(VictimCopy& v, const std::string& rom, const std::string& crc) {
    const std::string me = v.nick();
    v.server.SendLine(From("Mallory") + " NOTICE @#K-HubI :+ K-Hub-3|HOST|Evil Game");
    ASSERT_TRUE(v.Probe().has_value());
    std::size_t from = v.server.LineCount();
    v.cli->WriteLine("join Mallory");
    ASSERT_TRUE(WaitSent(v, "NOTICE Mallory :K-Hub-3|CLIENT", from));
    v.server.SendLine(From("Mallory") + " NOTICE @#K-HubI :+ K-Hub-3|HOST|Evil Game|" + me);
    std::size_t chosen = v.server.LineCount();
    v.server.SendLine(From("Mallory") + " NOTICE " + me + " :K-Hub-3|GAME|" + rom + "|" + crc +
                      "|0");
    // The ROM folder is searched on a worker: the answer, not the handling of the line,
    // says when Download is enabled.
    ASSERT_TRUE(v.server
                    .WaitForLine([](const std::string& l) { return l.find("|MATCH|") != l.npos; },
                                 30s, chosen)
                    .has_value());
}

enum class Phase { Hosting, Joined, Transferring, Starting };

class ServerDies : public ::testing::TestWithParam<Phase> {};

TEST_P(ServerDies, CopyResetsKeepsFilesAndConnectsAgain) {
    VictimCopy v({"+Mallory", "@Oscar"});
    const std::string me = v.nick();
    std::unique_ptr<FakeDccSender> sender;
    switch (GetParam()) {
        case Phase::Hosting: {
            v.server.SendLine(":irc.test.local MODE #K-HubI +v " + me);
            ASSERT_TRUE(v.Probe().has_value());
            std::size_t out = v.cli->LineCount();
            v.cli->WriteLine("create Test Game --rom " + (v.roms() / "F-Zero.sfc").string());
            ASSERT_TRUE(WaitOut(v, "window: open", out));
            break;
        }
        case Phase::Transferring: {
            JoinMallorysGame(v, "Zelda.smc", "0BADC0DE");
            std::size_t from = v.server.LineCount();
            v.cli->WriteLine("download");
            ASSERT_TRUE(WaitSent(v, "NOTICE Mallory :K-Hub-3|GET", from));
            // The copy connects, but the sender never sends a byte: the transfer is open.
            sender = std::make_unique<FakeDccSender>(std::string(8192, 'Z'));
            std::size_t out = v.cli->LineCount();
            v.server.SendLine(From("Mallory") + " PRIVMSG " + me +
                              " :\x01"
                              "DCC SEND Zelda.smc " +
                              "2130706433 " + std::to_string(sender->port()) + " 16384\x01");
            ASSERT_TRUE(WaitOut(v, "window: open transfer", out));
            break;
        }
        case Phase::Joined:
        case Phase::Starting:
            JoinMallorysGame(
                v, "Super Mario Kart.smc",
                khub::rom::CrcTextOfFile((v.roms() / "Super Mario Kart.smc").string()));
            if (GetParam() == Phase::Joined) break;
            v.server.SendLine(From("Mallory") + " NOTICE " + me + " :K-Hub-3|START|127.0.0.2");
            ASSERT_TRUE(v.Probe().has_value());  // the start's 6-second wait is running
            break;
    }
    auto before = v.Files();
    before.erase("roms/Zelda.smc.part");  // a partial download may stay for a resume

    std::size_t out = v.cli->LineCount();
    v.server.Disconnect();
    EXPECT_TRUE(WaitOut(v, "title: K-Hub I - not connected", out));
    EXPECT_TRUE(WaitOut(v, "box: ERROR", out)) << "the player is told the link is gone";
    EXPECT_TRUE(WaitOut(v, "window: close", out)) << "the game window closes";

    // Connect again; the copy is back in the lobby and answers.
    v.cli->WriteLine("connect");
    ASSERT_TRUE(v.server.AcceptAndRegister({"+Mallory"}, 30s));
    ASSERT_TRUE(v.Probe().has_value());
    auto after = v.Files();
    if (after.count("roms/Zelda.smc.part")) {
        EXPECT_EQ(after.at("roms/Zelda.smc.part"),
                  std::string(after.at("roms/Zelda.smc.part")->size(), 'Z'))
            << "a partial download holds only what was received";
        after.erase("roms/Zelda.smc.part");
    }
    EXPECT_EQ(after, before);
    if (GetParam() == Phase::Starting) {
        EXPECT_TRUE(v.Launches().empty()) << "a start cut off by the reset does not launch";
    }
    khub::test::ExpectQuitsCleanly(v);
}

std::string PhaseName(const ::testing::TestParamInfo<Phase>& info) {
    static const char* const names[] = {"Hosting", "Joined", "Transferring", "Starting"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(EachPhase, ServerDies,
                         ::testing::Values(Phase::Hosting, Phase::Joined, Phase::Transferring,
                                           Phase::Starting),
                         PhaseName);

// The sender resets the connection after part of the file.
TEST(DccPeerDies, ReceiverReportsItAndKeepsOnlyAResumablePrefix) {
    VictimCopy v({"+Mallory"});
    JoinMallorysGame(v, "Zelda.smc", "0BADC0DE");
    std::size_t from = v.server.LineCount();
    v.cli->WriteLine("download");
    ASSERT_TRUE(WaitSent(v, "NOTICE Mallory :K-Hub-3|GET", from));
    const std::string rom(64 * 1024, 'Z');
    FakeDccSender sender(rom, 20000);
    std::size_t out = v.cli->LineCount();
    v.server.SendLine(From("Mallory") + " PRIVMSG " + v.nick() +
                      " :\x01"
                      "DCC SEND Zelda.smc " +
                      "2130706433 " + std::to_string(sender.port()) + " " +
                      std::to_string(rom.size()) + "\x01");
    // The sender only accepts once the copy has seen its connection: a reset that came
    // before would be a failed connect, not a transfer cut short.
    ASSERT_TRUE(WaitOut(v, "log: Connect successful.", out));
    ASSERT_TRUE(sender.Finish(30000));
    EXPECT_TRUE(WaitOut(v, "window: close transfer", out, 60s)) << Transcript(v);
    ASSERT_TRUE(v.Probe().has_value());
    EXPECT_FALSE(
        v.server
            .WaitForLine([](const std::string& l) { return l.find("MATCH|YES") != l.npos; }, 0ms)
            .has_value())
        << "an incomplete file is no match";
    auto files = v.Files();
    EXPECT_FALSE(files.count("roms/Zelda.smc")) << "an incomplete download took the ROM's name";
    if (files.count("roms/Zelda.smc.part")) {
        const auto& got = *files.at("roms/Zelda.smc.part");
        EXPECT_LE(got.size(), 20000u);
        EXPECT_EQ(got, rom.substr(0, got.size()));
    }
    EXPECT_TRUE(v.server.ClientConnected());
    khub::test::ExpectQuitsCleanly(v);
}

// A file-size limit stands in for a full disk: writes past it fail with EFBIG.
TEST(DiskFull, ReceiveFailsWithAMessageAndTheCopyLivesOn) {
    VictimCopy v({"+Mallory"}, "", {"/usr/bin/prlimit", "--fsize=16384", "--"});
    JoinMallorysGame(v, "Zelda.smc", "0BADC0DE");
    std::size_t from = v.server.LineCount();
    v.cli->WriteLine("download");
    ASSERT_TRUE(WaitSent(v, "NOTICE Mallory :K-Hub-3|GET", from));
    const std::string rom(64 * 1024, 'Z');
    FakeDccSender sender(rom);
    std::size_t out = v.cli->LineCount();
    v.server.SendLine(From("Mallory") + " PRIVMSG " + v.nick() +
                      " :\x01"
                      "DCC SEND Zelda.smc " +
                      "2130706433 " + std::to_string(sender.port()) + " " +
                      std::to_string(rom.size()) + "\x01");
    sender.Finish(30000);
    EXPECT_TRUE(WaitOut(v, "box: ", out, 60s))
        << "the player is told the file could not be written";
    auto answered = v.Probe();
    ASSERT_TRUE(answered.has_value()) << "the copy died writing past the limit";
    auto files = v.Files();
    EXPECT_FALSE(files.count("roms/Zelda.smc")) << "an incomplete download took the ROM's name";
    if (files.count("roms/Zelda.smc.part")) {
        const auto& got = *files.at("roms/Zelda.smc.part");
        EXPECT_EQ(got, rom.substr(0, got.size())) << "only a resumable prefix may stay";
    }
    khub::test::ExpectQuitsCleanly(v);
}

// The ROM folder is gone when the host names the game: the player is told, the host hears
// "no match", and the copy goes on.
enum class FolderFault { Deleted, ReplacedByAFile };

class RomFolderFault : public ::testing::TestWithParam<FolderFault> {};

TEST_P(RomFolderFault, ScanReportsItAndTheCopyGoesOn) {
    VictimCopy v({"+Mallory"});
    std::filesystem::remove_all(v.roms());
    if (GetParam() == FolderFault::ReplacedByAFile) std::ofstream(v.roms()) << "not a folder";
    auto before = v.Files();
    std::size_t out = v.cli->LineCount();
    std::size_t from = v.server.LineCount();
    JoinMallorysGame(v, "Super Mario Kart.smc", "12345678");
    EXPECT_TRUE(WaitSent(v, "NOTICE Mallory :K-Hub-3|MATCH|NO", from));
    EXPECT_TRUE(WaitOut(v, "chat: Cannot read the ROM folder \"" + v.roms().string() + "\"", out));
    ASSERT_TRUE(v.Probe().has_value());
    EXPECT_EQ(v.Files(), before);

    // Once the folder is back, the next choice of the host is found there.
    std::filesystem::remove_all(v.roms());
    std::filesystem::create_directory(v.roms());
    std::ofstream(v.roms() / "Zelda.smc") << "zelda";
    from = v.server.LineCount();
    v.server.SendLine(From("Mallory") + " NOTICE " + v.nick() + " :K-Hub-3|GAME|Zelda.smc|" +
                      khub::rom::CrcTextOfFile((v.roms() / "Zelda.smc").string()) + "|0");
    EXPECT_TRUE(WaitSent(v, "NOTICE Mallory :K-Hub-3|MATCH|YES", from));
    khub::test::ExpectQuitsCleanly(v);
}

INSTANTIATE_TEST_SUITE_P(EachFault, RomFolderFault,
                         ::testing::Values(FolderFault::Deleted, FolderFault::ReplacedByAFile),
                         [](const ::testing::TestParamInfo<FolderFault>& info) {
                             return info.param == FolderFault::Deleted ? "Deleted"
                                                                       : "ReplacedByAFile";
                         });

// We host and send; the receiver goes away mid-transfer, with a reset or a plain close:
// the host reads it in the game window's chat.
enum class ReceiverEnd { Reset, Close };

class DccReceiverDies : public ::testing::TestWithParam<ReceiverEnd> {};

TEST_P(DccReceiverDies, SenderReportsItKeepsTheRomAndCanOfferAgain) {
    int dccPort = khub::test::FreeLoopbackPort();
    VictimCopy v({"+Mallory"}, "startport=" + std::to_string(dccPort) +
                                   "\nendport=" + std::to_string(dccPort) + "\n");
    const std::string me = v.nick();
    const std::string rom(8 << 20, 'B');
    std::ofstream(v.roms() / "Big.smc", std::ios::binary) << rom;
    v.server.SendLine(":irc.test.local MODE #K-HubI +v " + me);
    ASSERT_TRUE(v.Probe().has_value());
    std::size_t out = v.cli->LineCount();
    v.cli->WriteLine("create Test Game --rom " + (v.roms() / "Big.smc").string());
    ASSERT_TRUE(WaitOut(v, "window: open host", out));
    std::size_t from = v.server.LineCount();
    v.server.SendLine(From("Mallory") + " NOTICE " + me + " :K-Hub-3|CLIENT");
    ASSERT_TRUE(
        v.server
            .WaitForLine([](const std::string& l) { return l.find("|GAME|Big.smc|") != l.npos; },
                         30s, from)
            .has_value());
    auto before = v.Files();

    auto offer = [&] {
        std::size_t at = v.server.LineCount();
        v.server.SendLine(From("Mallory") + " NOTICE " + me + " :K-Hub-3|GET");
        return v.server
            .WaitForLine(
                [](const std::string& l) {
                    return l.find("DCC SEND") != l.npos && l.find("Big.smc") != l.npos;
                },
                30s, at)
            .has_value();
    };
    ASSERT_TRUE(offer()) << Transcript(v);
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval patience{30, 0};  // a copy that never sends fails the test instead of hanging it
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(dccPort));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    out = v.cli->LineCount();
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    // Some of the file arrives, then the receiver is gone.
    std::size_t got = 0;
    char buf[65536];
    while (got < 100000) {
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        ASSERT_GT(n, 0);
        got += static_cast<std::size_t>(n);
    }
    if (GetParam() == ReceiverEnd::Reset) {
        linger hard{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    } else {
        ::shutdown(fd, SHUT_RDWR);
    }
    ::close(fd);
    EXPECT_TRUE(WaitOut(v, "window: close transfer", out, 60s));
    EXPECT_TRUE(WaitOut(v, "chat: Mallory closed the transfer after ", out))
        << "the host is told the transfer broke off";
    ASSERT_TRUE(v.Probe().has_value());
    EXPECT_FALSE(WaitOut(v, "box: ", out, 0ms)) << "nothing for the host to confirm";
    EXPECT_EQ(v.Files(), before);
    EXPECT_TRUE(v.server.ClientConnected());
    // The next request is answered with a fresh offer.
    EXPECT_TRUE(offer());
    khub::test::ExpectQuitsCleanly(v);
}

INSTANTIATE_TEST_SUITE_P(EachEnd, DccReceiverDies,
                         ::testing::Values(ReceiverEnd::Reset, ReceiverEnd::Close),
                         [](const ::testing::TestParamInfo<ReceiverEnd>& info) {
                             return info.param == ReceiverEnd::Reset ? "Reset" : "Close";
                         });

}  // namespace

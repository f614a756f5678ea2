// A hostile host: the copy joins Mallory's game, and Mallory then sends ROM names that point
// out of the ROM folder, START lines with things that are not an address, and DCC offers
// with bad names, sizes and ports. Eve, another member, tries to drive the game she is not
// part of. Each case runs on a real ircd-ircu with Mallory and Eve as clients of their own,
// and on the loopback server that plays them.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "lobby/RomCatalogue.h"
#include "support/FakeDccSender.h"
#include "support/HostileNetwork.h"
#include "support/VictimChecks.h"

using namespace std::chrono_literals;
using khub::test::FakeDccSender;
using khub::test::HostileNetwork;

namespace {

class HostileHost : public ::testing::TestWithParam<HostileNetwork::Kind> {
  protected:
    void SetUp() override {
        net = std::make_unique<HostileNetwork>(GetParam(),
                                               std::vector<std::string>{"+Mallory", "+Eve"});
        if (!net->ok()) {
            if (GetParam() == HostileNetwork::Kind::Ircu) GTEST_SKIP() << net->error();
            FAIL() << net->error();
        }
        me = net->me();
        cli = net->copy().cli.get();
        net->Say("Mallory", "WALLVOICES #K-HubI :K-Hub-3|HOST|Evil Game");
        ASSERT_TRUE(net->Probe());
        std::size_t from = net->SentCount();
        cli->WriteLine("join Mallory");
        ASSERT_TRUE(net->WaitSent("NOTICE Mallory :K-Hub-3|CLIENT", from));
        net->Say("Mallory", "WALLVOICES #K-HubI :K-Hub-3|HOST|Evil Game|" + me);
        ASSERT_TRUE(net->Probe());
        before = net->copy().Files();
    }

    void TearDown() override {
        if (HasFailure() && net && net->ok()) {
            for (const auto& l : cli->Lines()) std::fprintf(stderr, "  copy| %s\n", l.c_str());
        }
    }

    void Send(const std::string& nick, const std::string& line) { net->Say(nick, line); }
    void Game(const std::string& name, const std::string& crc, int noDownload = 0) {
        Send("Mallory", "NOTICE " + me + " :K-Hub-3|GAME|" + name + "|" + crc + "|" +
                            std::to_string(noDownload));
    }
    bool WaitSent(const std::string& line, std::size_t from, std::chrono::milliseconds t = 30s) {
        return net->WaitSent(line, from, t);
    }
    std::vector<std::string> SentSince(std::size_t from) {
        auto lines = net->Sent();
        return {lines.begin() + static_cast<long>(std::min(from, lines.size())), lines.end()};
    }
    std::string Crc(const std::string& name) {
        return khub::rom::CrcTextOfFile((net->copy().roms() / name).string());
    }
    void ExpectAliveAndClean() {
        ASSERT_TRUE(net->Probe()) << "the copy stopped answering";
        EXPECT_TRUE(net->CopyConnected());
        khub::test::ExpectQuitsCleanly(net->copy());
    }

    std::unique_ptr<HostileNetwork> net;
    khub::test::ChildProcess* cli = nullptr;
    std::string me;
    khub::test::FolderSnapshot before;
};

TEST_P(HostileHost, RomNamesOutsideTheFolderAreNeverMatchedRenamedOrStarted) {
    // The names point at real files with the right CRC: only the folder rule stops them.
    const std::string outsideCrc =
        khub::rom::CrcTextOfFile((net->copy().root() / "outside.txt").string());
    std::size_t from = net->SentCount();
    for (std::string name : {"../outside.txt", "..", "", "a\\b", "/etc/passwd", "..\\outside.txt",
                             "roms/../../outside.txt"}) {
        Game(name, outsideCrc);
        ASSERT_TRUE(net->Probe());
    }
    for (const auto& l : SentSince(from)) {
        EXPECT_NE(l, "NOTICE Mallory :K-Hub-3|MATCH|YES") << "a name outside the folder matched";
    }
    // A START after those must not rename or launch anything.
    Send("Mallory", "NOTICE " + me + " :K-Hub-3|START|127.0.0.1");
    ASSERT_TRUE(net->Probe());
    EXPECT_EQ(net->copy().Files(), before);
    ExpectAliveAndClean();
    EXPECT_TRUE(net->copy().Launches().empty());
}

// The host names the game after another of the player's files: for the start the two
// trade names, and they have their own back even when the player quits at once.
TEST_P(HostileHost, StartWithAnythingButAnAddressLaunchesNothing) {
    Game("F-Zero.sfc", Crc("Super Mario Kart.smc"));
    ASSERT_TRUE(WaitSent("NOTICE Mallory :K-Hub-3|MATCH|YES", 0));
    for (const char* address : {"not-an-address", "127.0.0.1 --exec=/bin/sh", "127.0.0.1;id", "",
                                "256.1.1.1", "127.0.0.1 127.0.0.2", "-o/tmp/x"}) {
        Send("Mallory", "NOTICE " + me + " :K-Hub-3|START|" + address);
    }
    // Eve is not the host of this game.
    Send("Eve", "NOTICE " + me + " :K-Hub-3|START|10.9.8.7");
    // One honest START last: its launch, seven seconds later, is the only one there may be.
    Send("Mallory", "NOTICE " + me + " :K-Hub-3|START|127.0.0.2|1|extra");
    ASSERT_TRUE(net->Probe());
    // The fake emulator writes its command line when it runs.
    for (int i = 0; i < 400 && net->copy().Launches().empty(); ++i) {
        std::this_thread::sleep_for(50ms);
    }
    auto launches = net->copy().Launches();
    ASSERT_EQ(launches.size(), 1u) << "exactly the honest START starts the emulator";
    EXPECT_NE(launches[0].find("127.0.0.2"), std::string::npos) << launches[0];
    EXPECT_NE(launches[0].find("F-Zero.sfc"), std::string::npos) << launches[0];
    ExpectAliveAndClean();
    EXPECT_EQ(net->copy().Files(), before) << "the files did not get their own names back";
}

TEST_P(HostileHost, OffersWithBadNamesSizesPortsOrSendersLeaveTheFolderAlone) {
    // The ROM the host finally sends, and its CRC as the host's GAME announces it.
    const std::string rom(3000, 'Z');
    std::string crcFile = "/tmp/khub-crc-" + std::to_string(::getpid());
    std::ofstream(crcFile, std::ios::binary) << rom;
    const std::string romCrc = khub::rom::CrcTextOfFile(crcFile);
    std::remove(crcFile.c_str());
    Game("Zelda.smc", romCrc);
    ASSERT_TRUE(WaitSent("NOTICE Mallory :K-Hub-3|MATCH|NO", 0));
    std::size_t from = net->SentCount();
    cli->WriteLine("download");
    ASSERT_TRUE(WaitSent("NOTICE Mallory :K-Hub-3|GET", from));

    const std::string to = "PRIVMSG " + me +
                           " :\x01"
                           "DCC SEND ";
    FakeDccSender nobodyListens("x");
    int closedPort = nobodyListens.port();
    // Offers that must be refused without touching a file or connecting anywhere. Each
    // answers a Download of its own, as a refused offer ends that download.
    const std::string port = std::to_string(closedPort);
    const std::vector<std::pair<std::string, std::string>> offers = {
        {"Mallory", to + "\"..\" 2130706433 " + port + " 4\x01"},
        {"Mallory", to + "\"Zelda.smc\" 2130706433 " + port + " 99999999999\x01"},
        {"Mallory", to + "\"Zelda.smc\" 2130706433 0 4\x01"},
        {"Eve", to + "\"Zelda.smc\" 2130706433 " + port + " 4\x01"},
        // over an existing ROM of another content
        {"Mallory", to + "\"F-Zero.sfc\" 2130706433 " + port + " 2048\x01"},
    };
    for (const auto& [nick, offer] : offers) {
        cli->WriteLine("download");
        ASSERT_TRUE(net->Probe());
        std::size_t out = cli->LineCount();
        Send(nick, offer);
        // Each is refused with a box, or ignored with a log line, before the next.
        ASSERT_TRUE(cli->WaitForLine(
                           [](const std::string& l) {
                               return l.starts_with("box: ERROR") || l.starts_with("log: Ignored");
                           },
                           30s, out)
                        .has_value())
            << nick << ": " << offer;
        ASSERT_TRUE(net->Probe());
    }
    EXPECT_EQ(net->copy().Files(), before);

    // A traversal name is saved under its last part, inside the ROM folder.
    cli->WriteLine("download");
    ASSERT_TRUE(net->Probe());
    FakeDccSender sender(rom);
    std::size_t beforeHonest = cli->LineCount();
    Send("Mallory", to + "\"../../outside.txt\" 2130706433 " + std::to_string(sender.port()) + " " +
                        std::to_string(rom.size()) + "\x01");
    ASSERT_TRUE(sender.Finish(30000)) << "the copy never connected for the honest offer";
    // The download takes its name only once its CRC is checked, after the last byte.
    ASSERT_TRUE(cli->WaitForLine([](const std::string& l) { return l == "log: Finished."; }, 30s,
                                 beforeHonest)
                    .has_value());
    ASSERT_TRUE(net->Probe());
    auto after = net->copy().Files();
    EXPECT_EQ(after.at("outside.txt"), before.at("outside.txt")) << "the file beside the folder";
    ASSERT_TRUE(after.count("roms/outside.txt"));
    EXPECT_EQ(after.at("roms/outside.txt"), rom);
    after.erase("roms/outside.txt");
    EXPECT_EQ(after, before);
    ExpectAliveAndClean();
    EXPECT_TRUE(net->copy().Launches().empty());
}

TEST_P(HostileHost, OfferToAClosedPortEndsWithAMessageAndNoFile) {
    Game("Zelda.smc", "0BADC0DE");
    ASSERT_TRUE(WaitSent("NOTICE Mallory :K-Hub-3|MATCH|NO", 0));
    cli->WriteLine("download");
    ASSERT_TRUE(net->Probe());
    int port;
    {
        FakeDccSender gone("x");
        port = gone.port();
    }  // closed again: nobody listens there now
    std::size_t out = cli->LineCount();
    Send("Mallory", "PRIVMSG " + me +
                        " :\x01"
                        "DCC SEND \"Zelda.smc\" 2130706433 " +
                        std::to_string(port) + " 4096\x01");
    auto box =
        cli->WaitForLine([](const std::string& l) { return l.starts_with("box: "); }, 30s, out);
    ASSERT_TRUE(box.has_value());
    EXPECT_NE(box->find("ERROR"), std::string::npos) << *box;
    EXPECT_EQ(net->copy().Files(), before);
    ExpectAliveAndClean();
}

TEST_P(HostileHost, ResumeAndAcceptOutOfTheBlueAreNotAnswered) {
    std::size_t from = net->SentCount();
    const std::string to = "PRIVMSG " + me +
                           " :\x01"
                           "DCC ";
    Send("Mallory", to + "RESUME \"Super Mario Kart.smc\" 4000 1024\x01");
    Send("Eve", to + "RESUME \"../outside.txt\" 4000 0\x01");
    Send("Mallory", to + "ACCEPT \"Super Mario Kart.smc\" 4000 1024\x01");
    ASSERT_TRUE(net->Probe());
    for (const auto& l : SentSince(from)) {
        EXPECT_EQ(l.find("ACCEPT"), std::string::npos)
            << "answered a RESUME nobody was offered: " << l;
    }
    EXPECT_EQ(net->copy().Files(), before);
    ExpectAliveAndClean();
}

INSTANTIATE_TEST_SUITE_P(OnEachServer, HostileHost,
                         ::testing::Values(HostileNetwork::Kind::Ircu,
                                           HostileNetwork::Kind::Loopback),
                         khub::test::KindName);

}  // namespace

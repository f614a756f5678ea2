// A hostile host: the copy joins Mallory's game, and Mallory then sends ROM names that point
// out of the ROM folder, an offer to a port nobody listens on, and START lines with things
// that are not an address; Eve, another member, tries to start the game she is not part of.

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "ircu/LoopbackPort.h"
#include "lobby/RomCatalogue.h"
#include "support/VictimCopy.h"

using namespace std::chrono_literals;
using khub::test::VictimCopy;

namespace {

TEST(HostileHost, OutsideNamesAClosedPortAndBadStartsLeaveOneHonestLaunch) {
    VictimCopy v({"+Mallory", "+Eve"});
    const std::string me = v.nick();
    auto game = [&](const std::string& name, const std::string& crc) {
        v.Say("Mallory", "NOTICE " + me + " :K-Hub-3|GAME|" + name + "|" + crc + "|0");
    };
    v.Say("Mallory", "WALLVOICES #K-HubI :K-Hub-3|HOST|Evil Game");
    ASSERT_TRUE(v.Probe());
    v.cli.Send("join Mallory");
    ASSERT_TRUE(v.server.WaitForLine(
        [](const std::string& l) { return l == "NOTICE Mallory :K-Hub-3|CLIENT"; }, 30s));
    v.Say("Mallory", "WALLVOICES #K-HubI :K-Hub-3|HOST|Evil Game|" + me);
    ASSERT_TRUE(v.Probe());
    const auto before = v.Files();

    // The names point at a real file with the right CRC: only the folder rule stops them.
    std::size_t from = v.server.LineCount();
    for (std::string name : {"../outside.txt", "..", "", "a\\b", "/etc/passwd", "..\\outside.txt",
                             "roms/../../outside.txt"}) {
        game(name, khub::rom::CrcTextOfFile((v.root() / "outside.txt").string()));
        ASSERT_TRUE(v.Probe());
    }
    EXPECT_FALSE(v.server.WaitForLine(
        [](const std::string& l) { return l.find("|MATCH|YES") != l.npos; }, 0ms, from))
        << "a name outside the folder matched";

    // A connection refused is the player's news, and leaves no file.
    from = v.server.LineCount();
    game("Zelda.smc", "0BADC0DE");
    ASSERT_TRUE(v.server.WaitForLine(
        [](const std::string& l) { return l == "NOTICE Mallory :K-Hub-3|MATCH|NO"; }, 30s, from));
    v.cli.Send("download");
    ASSERT_TRUE(v.Probe());
    std::size_t out = v.cli.LineCount();
    v.Say("Mallory", "PRIVMSG " + me + " :\x01" + "DCC SEND \"Zelda.smc\" 2130706433 " +
                         std::to_string(khub::test::FreeLoopbackPort()) + " 4096\x01");
    EXPECT_TRUE(v.cli.WaitForLine("box: ERROR", 30s, out)) << v.cli.OutputText();
    EXPECT_EQ(v.Files(), before);

    // The host names the game after another of the player's files: for the start the two
    // trade names, and have their own back afterwards.
    from = v.server.LineCount();
    game("F-Zero.sfc", khub::rom::CrcTextOfFile((v.roms() / "Super Mario Kart.smc").string()));
    ASSERT_TRUE(v.server.WaitForLine(
        [](const std::string& l) { return l == "NOTICE Mallory :K-Hub-3|MATCH|YES"; }, 30s, from));
    for (const char* address : {"not-an-address", "127.0.0.1 --exec=/bin/sh", "127.0.0.1;id", "",
                                "256.1.1.1", "127.0.0.1 127.0.0.2", "-o/tmp/x"}) {
        v.Say("Mallory", "NOTICE " + me + " :K-Hub-3|START|" + address);
    }
    v.Say("Eve", "NOTICE " + me + " :K-Hub-3|START|10.9.8.7");  // not the host
    // One honest START last: its launch, seven seconds later, is the only one there may be.
    v.Say("Mallory", "NOTICE " + me + " :K-Hub-3|START|127.0.0.2|1|extra");
    ASSERT_TRUE(v.Probe());
    for (int i = 0; i < 400 && v.Launches().empty(); ++i) std::this_thread::sleep_for(50ms);
    auto launches = v.Launches();
    ASSERT_EQ(launches.size(), 1u) << "exactly the honest START starts the emulator";
    EXPECT_NE(launches[0].find("127.0.0.2"), std::string::npos) << launches[0];
    EXPECT_NE(launches[0].find("F-Zero.sfc"), std::string::npos) << launches[0];
    ASSERT_TRUE(v.Probe()) << "the copy stopped answering";
    EXPECT_TRUE(v.server.ClientConnected());
    EXPECT_EQ(v.Quit(), 0) << "quit ends the copy by itself, with status 0";
    EXPECT_EQ(v.Files(), before) << "the files did not get their own names back";
}

}  // namespace

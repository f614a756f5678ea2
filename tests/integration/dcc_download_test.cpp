// A ROM download between two k-hub-cli copies through a real ircd-ircu: the client lacks
// the host's ROM, downloads it, and the host can then start.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/IrcuChannelTest.h"
#include "ircu/LoopbackPort.h"
#include "support/RandomBytes.h"
#include "ircu/TempDir.h"

using namespace std::chrono_literals;
using khub::test::CliProcess;
namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
    return khub::test::ReadFileBytes(path.string());
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    khub::test::WriteFileBytes(path.string(), bytes);
}

class DccDownload : public khub::test::IrcuChannelTest {
  protected:
    void SetUp() override {
        StartServer();
        if (IsSkipped() || HasFatalFailure()) return;
        dccPort = khub::test::FreeLoopbackPort();
        rom = khub::test::RandomBytes(3'000'000, 11);
    }

    // fileSizeLimit: the most the copy may write into one file (none when 0).
    std::unique_ptr<CliProcess> VoicedPlayer(const std::string& name,
                                             std::size_t fileSizeLimit = 0) {
        CliProcess::Ini settings = CliProcess::PlayerSettings(
            name, server->port(),
            {{"options",
              {{"startport", std::to_string(dccPort)}, {"endport", std::to_string(dccPort)}}}});
        auto cli = fileSizeLimit == 0
                       ? std::make_unique<CliProcess>(settings)
                       : std::make_unique<CliProcess>(
                             settings,
                             std::vector<std::string>{
                                 "--fsize=" + std::to_string(fileSizeLimit) + ":unlimited", "--",
                                 KHUB_CLI_PATH},
                             "/usr/bin/prlimit");
        cli->Send("connect");
        EXPECT_TRUE(op.WaitForText(":" + name + "!KHubUser@127.0.0.1 JOIN #K-HubI"));
        EXPECT_TRUE(cli->WaitForLine("log: <" + name + "> joins..."));
        EXPECT_TRUE(op.OpMode("#K-HubI", "+v", name));
        EXPECT_TRUE(cli->WaitForText("+v " + name)) << cli->OutputText();
        return cli;
    }

    fs::path RomFolder(CliProcess& cli) { return cli.profile().path() / "roms"; }

    // Alice hosts Game.smc, Bob joins and is told the game; he lacks it and says so.
    // bobsFile: what Bob holds as Game.smc beforehand (nothing when empty).
    void HostAndJoin(const std::string& bobsFile = "", std::size_t bobsFileSizeLimit = 0) {
        alice = VoicedPlayer("Alice");
        bob = VoicedPlayer("Bobby", bobsFileSizeLimit);
        WriteFile(RomFolder(*alice) / "Game.smc", rom);
        if (!bobsFile.empty()) WriteFile(RomFolder(*bob) / "Game.smc", bobsFile);
        alice->Send("create Test Game --rom " + (RomFolder(*alice) / "Game.smc").string());
        ASSERT_TRUE(alice->WaitForLine("window: open host")) << alice->OutputText();
        ASSERT_TRUE(bob->WaitForLine("log: K-Hub Hosting message recieved.")) << bob->OutputText();
        bob->Send("join Alice");
        ASSERT_TRUE(bob->WaitForLine("log: Host has chosen a game.")) << bob->OutputText();
        ASSERT_TRUE(alice->WaitForLine("log: Match: NO")) << alice->OutputText();
    }

    // Download, the whole file, MATCH YES at the host, and Start works there.
    void DownloadAndStart() {
        bob->Send("download");
        ASSERT_TRUE(bob->WaitForLine("log: Finished.")) << bob->OutputText();
        EXPECT_TRUE(ReadFile(RomFolder(*bob) / "Game.smc") == rom);
        // Bob's MATCH may overtake Alice's last acknowledgement: either comes first.
        bool finished = false, matched = false;
        ASSERT_TRUE(alice->WaitFor([&](const std::string& line) {
            finished |= line == "log: Finished.";
            matched |= line == "log: Match: YES";
            return finished && matched;
        })) << alice->OutputText();
        alice->Send("start");
        EXPECT_TRUE(bob->WaitForLine("log: Host waiting for conection.")) << bob->OutputText();
    }

    int dccPort = 0;
    std::string rom;
    std::unique_ptr<CliProcess> alice, bob;
};

TEST_F(DccDownload, ClientWithoutTheRomDownloadsItAndTheHostCanStart) {
    HostAndJoin();
    DownloadAndStart();
    // Bob says at once that he starts at 0, so Alice need not wait for a RESUME.
    EXPECT_NE(bob->OutputText().find("DCC RESUME \"Game.smc\" " + std::to_string(dccPort) + " 0"),
              std::string::npos);
}

// A genuine beginning of the ROM (an interrupted download) is continued from its end.
TEST_F(DccDownload, APartialDownloadIsContinued) {
    HostAndJoin(rom.substr(0, 1 << 20));
    DownloadAndStart();
    EXPECT_NE(
        bob->OutputText().find("DCC RESUME \"Game.smc\" " + std::to_string(dccPort) + " 1048576"),
        std::string::npos);
    EXPECT_FALSE(fs::exists(RomFolder(*bob) / "Game.smc.part"));
}

// Bob's own ROM of that name, 512 bytes shorter and not its beginning: the download that
// continues it is not the host's ROM, and his file stays as it was, also when the transfer
// is cut in the middle (a file size limit stops the writing) and continued later.
TEST_F(DccDownload, APlayersOwnShorterFileSurvives) {
    const std::string own = rom.substr(512);  // as an unheadered copy of the same game
    HostAndJoin(own, own.size() + 256);
    const fs::path file = RomFolder(*bob) / "Game.smc";

    bob->Send("download");
    ExpectLine(*bob, "box: ERROR: Could not write");
    ExpectLine(*bob, "window: close transfer");
    EXPECT_TRUE(ReadFile(file) == own) << "the cut download changed the player's file";

    ASSERT_EQ(
        ::system(("/usr/bin/prlimit --pid " + std::to_string(bob->pid()) + " --fsize=unlimited")
                     .c_str()),
        0);
    bob->Send("download");
    ExpectLine(*bob, "box: ERROR: " + file.string() + " is in the way");
    EXPECT_TRUE(ReadFile(file) == own) << "the wrong download changed the player's file";
    EXPECT_FALSE(fs::exists(RomFolder(*bob) / "Game.smc.part"));
    EXPECT_EQ(alice->OutputText().find("log: Match: YES"), std::string::npos);
}

}  // namespace

// A ROM download between two k-hub-cli copies through a real ircd-ircu: the client lacks
// the host's ROM, downloads it, and the host can then start.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "support/IrcuChannelTest.h"
#include "support/LoopbackPort.h"

using namespace std::chrono_literals;
using khub::test::CliProcess;
namespace fs = std::filesystem;

namespace {

std::string RomBytes(std::size_t n) {
    std::mt19937 random(11);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(random());
    return s;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class DccDownload : public khub::test::IrcuChannelTest {
  protected:
    void SetUp() override {
        StartServer();
        if (IsSkipped() || HasFatalFailure()) return;
        dccPort = khub::test::FreeLoopbackPort();
        rom = RomBytes(3'000'000);
    }

    std::unique_ptr<CliProcess> VoicedPlayer(const std::string& name) {
        auto cli = std::make_unique<CliProcess>(CliProcess::PlayerSettings(
            name, server->port(),
            {{"options",
              {{"startport", std::to_string(dccPort)}, {"endport", std::to_string(dccPort)}}}}));
        cli->Send("connect");
        EXPECT_TRUE(op.WaitForText(":" + name + "!KHubUser@127.0.0.1 JOIN #K-HubI"));
        EXPECT_TRUE(cli->WaitForLine("log: <" + name + "> joins..."));
        EXPECT_TRUE(op.OpMode("#K-HubI", "+v", name));
        EXPECT_TRUE(cli->WaitForText("+v " + name)) << cli->OutputText();
        return cli;
    }

    fs::path RomFolder(CliProcess& cli) { return cli.profile().path() / "roms"; }

    // Alice hosts Game.smc, Bob joins and is told the game; he lacks it and says so.
    void HostAndJoin() {
        alice = VoicedPlayer("Alice");
        bob = VoicedPlayer("Bobby");
        WriteFile(RomFolder(*alice) / "Game.smc", rom);
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
        ASSERT_TRUE(alice->WaitForLine("log: Finished.")) << alice->OutputText();
        EXPECT_TRUE(ReadFile(RomFolder(*bob) / "Game.smc") == rom);
        ASSERT_TRUE(alice->WaitForLine("log: Match: YES")) << alice->OutputText();
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
    EXPECT_EQ(bob->OutputText().find("DCC RESUME"), std::string::npos);
}

}  // namespace

// A ROM download between two k-hub-cli copies through a real ircd-ircu: the client lacks
// the host's ROM, downloads it (whole, or resuming a partial copy), and a third party's
// offers are never taken.

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "support/IrcuChannelTest.h"
#include "support/LoopbackPort.h"

using namespace std::chrono_literals;
using khub::test::CliProcess;
using khub::test::IrcTestClient;
using khub::test::IrcuServer;
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

// A listening socket that records whether anybody connected to it.
class Trap {
  public:
    Trap() { fd_ = khub::test::ListenOnLoopback(&port_); }
    ~Trap() { ::close(fd_); }
    int port() const { return port_; }
    bool Visited() const {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, 0) == 1;
    }

  private:
    int fd_ = -1;
    int port_ = 0;
};

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

TEST_F(DccDownload, APartialCopyIsResumed) {
    HostAndJoin();
    // What an earlier, interrupted download left behind.
    WriteFile(RomFolder(*bob) / "Game.smc", rom.substr(0, 1'234'567));
    DownloadAndStart();
    std::string resume = "DCC RESUME \"Game.smc\" " + std::to_string(dccPort) + " 1234567";
    std::string accept = "DCC ACCEPT \"Game.smc\" " + std::to_string(dccPort) + " 1234567";
    EXPECT_NE(bob->OutputText().find(resume), std::string::npos) << bob->OutputText();
    EXPECT_NE(alice->OutputText().find(accept), std::string::npos) << alice->OutputText();
}

TEST_F(DccDownload, OffersFromAnybodyElseAreNotTaken) {
    IrcTestClient mallory;
    ASSERT_TRUE(mallory.Connect(server->port()));
    ASSERT_TRUE(mallory.Register("Mallory"));
    ASSERT_TRUE(mallory.Join());
    Trap trap;
    auto offer = [&](const std::string& name) {
        mallory.Send(
            "PRIVMSG Bobby :\x01"
            "DCC SEND " +
            name + " 2130706433 " + std::to_string(trap.port()) + " 1000\x01");
    };

    HostAndJoin();
    // Unasked: Bob has not pressed Download.
    offer("\"../evil.smc\"");
    offer("..");
    // Asked, but of Alice: Mallory still gets nowhere, before or after Alice's offer.
    bob->Send("download");
    offer("\"../../evil.smc\"");
    offer("Game.smc");
    ASSERT_TRUE(bob->WaitForLine("log: Finished.")) << bob->OutputText();
    offer("\"..\\\\evil.smc\"");
    ASSERT_TRUE(mallory.Pump(500ms));
    ASSERT_TRUE(alice->WaitForLine("log: Match: YES")) << alice->OutputText();

    EXPECT_NE(bob->OutputText().find("Ignored a DCC SEND offer from Mallory"), std::string::npos)
        << bob->OutputText();
    EXPECT_FALSE(trap.Visited());
    EXPECT_TRUE(ReadFile(RomFolder(*bob) / "Game.smc") == rom);
    for (const auto& entry : fs::recursive_directory_iterator(bob->profile().path())) {
        EXPECT_EQ(entry.path().filename().string().find("evil"), std::string::npos) << entry.path();
    }
    EXPECT_FALSE(fs::exists(RomFolder(*bob).parent_path().parent_path() / "evil.smc"));
}

}  // namespace

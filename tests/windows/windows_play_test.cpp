// A Windows copy (k-hub-cli.exe under wine) and a Linux copy play each other on a real
// ircd-ircu, each hosting once: the game is listed and joined, the players chat, the client
// downloads one ROM by DCC and holds the other under a name of its own, and both emulators
// (the Windows stand-in: started by the Windows copy itself, by wine on Linux) get their
// command lines.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "support/LobbyServerTest.h"
#include "support/RandomBytes.h"

namespace khub::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const WindowsPrograms kWindows{KHUB_WINDOWS_BUILD_DIR "/k-hub-cli.exe",
                               KHUB_WINDOWS_BUILD_DIR "/tests/khub-fake-emulator.exe",
                               KHUB_SOURCE_DIR "/scripts/wine-run.sh"};

class WindowsPlay : public LobbyServerTest {
  protected:
    void SetUp() override {
        for (const auto& exe : {kWindows.cliExe, kWindows.emulatorExe}) {
            if (!fs::exists(exe)) GTEST_SKIP() << exe << " is missing: scripts/build-windows.sh";
        }
        StartServer(IrcdKind::Ircu);
    }

    void Play(bool windowsHosts) {
        Player host("Hoster", port(), &kWindows, windowsHosts);
        Player client("Joiner", port(), &kWindows, !windowsHosts);
        Enter(host);
        Enter(client);
        // The client lacks the first ROM and holds the second under a name of its own; the
        // names are not ASCII.
        const std::string played = "Pokémon Stadium (J).smc", playedBytes = RandomBytes(400'000, 5);
        host.roms.Write(played, playedBytes);
        client.roms.Write("Meine Kopie é.smc", playedBytes);
        JoinAndDownload(host, client, "Cross Play", "Zelda no Densetsu (J) ü.smc",
                        RandomBytes(1'500'000, 3), "grüß dich");
        if (HasFatalFailure()) return;

        // Selected as soon as the Host Game window's Select is enabled again.
        auto selected = [&] {
            host.cli.Send("select " + host.RomPath(played));
            auto answer = host.cli.WaitFor([&](const std::string& l) {
                return l.starts_with("refused: select") ||
                       l == "chat: The selected game is: " + played;
            });
            return answer && !answer->starts_with("refused");
        };
        ASSERT_TRUE(WaitUntil(selected, 20s, 500ms)) << host.cli.OutputText();
        ASSERT_TRUE(Printed(client.cli, "chat: The selected game is: " + played));
        ASSERT_TRUE(Printed(host.cli, "log: Match: YES"));

        host.cli.Send("start");
        // The client plays its own copy under the host's name.
        for (Player* p : {&host, &client}) {
            ASSERT_TRUE(p->emulator.WaitRan(30s)) << p->cli.OutputText();
            std::vector<std::string> arguments{p == &host ? "/USLQ2" : "/UCLQ2", p->nick,
                                               WinePath(p->roms.File(played))};
            if (p == &client) arguments.push_back("127.0.0.1");
            auto argv = p->emulator.Lines("argv");  // argv[0] names the stand-in itself
            EXPECT_EQ(std::vector<std::string>(argv.begin() + 1, argv.end()), arguments);
            EXPECT_EQ(p->emulator.Lines("cwd"), std::vector<std::string>{WinePath(p->roms.path())});
            EXPECT_TRUE(ReadFileBytes(p->emulator.dir / "rom") == playedBytes);
        }
    }
};

TEST_F(WindowsPlay, WindowsHostsLinuxJoins) {
    Play(true);
}

TEST_F(WindowsPlay, LinuxHostsWindowsJoins) {
    Play(false);
}

}  // namespace
}  // namespace khub::test

// Whole games between two k-hub-cli copies on a real ircd-ircu, with an operator who voices
// both. The emulator is a small script that writes down its arguments, its working folder
// and the ROM it was given.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/IrcuChannelTest.h"
#include "support/TempDir.h"

namespace khub::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

// The emulator stand-in; what it saw lands in its folder.
struct FakeEmulator {
    FakeEmulator() {
        script = dir.Write("VOLTAW",
                           "#!/bin/sh\n"
                           "d=\"$(dirname \"$0\")\"\n"
                           "pwd > \"$d/cwd.tmp\"\n"
                           "cat \"$3\" > \"$d/rom.tmp\"\n"
                           "printf '%s\\n' \"$0\" \"$@\" > \"$d/argv.tmp\"\n"
                           "mv \"$d/cwd.tmp\" \"$d/cwd\"; mv \"$d/rom.tmp\" \"$d/rom\"\n"
                           "mv \"$d/argv.tmp\" \"$d/argv\"\n");
        ::chmod(script.c_str(), 0755);
    }
    bool Ran() const { return fs::exists(dir.path() / "argv"); }
    // Waits for the script of a launch that was already logged.
    bool WaitRan(std::chrono::milliseconds timeout = 10s) const {
        auto end = std::chrono::steady_clock::now() + timeout;
        while (!Ran() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(20ms);
        return Ran();
    }
    std::vector<std::string> Argv() const { return LinesOf(Slurp(dir.path() / "argv")); }
    std::string Cwd() const { return LinesOf(Slurp(dir.path() / "cwd")).at(0); }
    std::string Rom() const { return Slurp(dir.path() / "rom"); }

    TempDir dir{"khub-emu"};
    std::string script;
};

struct Player {
    Player(const std::string& nick, int port, const CliProcess::Ini& extra = {})
        : nick(nick),
          cli(CliProcess::PlayerSettings(nick, port,
                                         Merge(extra, {{"options",
                                                        {{"programpath", emulator.script},
                                                         {"rompath", roms.path().string()}}}}))) {}
    static CliProcess::Ini Merge(CliProcess::Ini a, const CliProcess::Ini& b) {
        for (const auto& [section, keys] : b) {
            for (const auto& [key, value] : keys) a[section].emplace(key, value);
        }
        return a;
    }
    // The game list as "name\thost\tplayers" rows.
    std::vector<std::string> Games() {
        cli.Send("games");
        std::vector<std::string> rows;
        while (auto line = cli.WaitFor([](const std::string& l) {
            return l.rfind("game: ", 0) == 0 || l.rfind("games: ", 0) == 0;
        })) {
            if (line->rfind("games: ", 0) == 0) break;
            rows.push_back(line->substr(6));
        }
        return rows;
    }
    // Asks for the list until it holds row (the announcement travels through the server).
    bool WaitForGame(const std::string& row, std::chrono::milliseconds timeout = 10s) {
        auto end = std::chrono::steady_clock::now() + timeout;
        do {
            auto rows = Games();
            if (std::find(rows.begin(), rows.end(), row) != rows.end()) return true;
            std::this_thread::sleep_for(100ms);
        } while (std::chrono::steady_clock::now() < end);
        return false;
    }

    std::string nick;
    TempDir roms{"khub-roms"};
    FakeEmulator emulator;
    CliProcess cli;
};

class LobbyGameTest : public khub::test::IrcuChannelTest {
  protected:
    void SetUp() override { StartServer(); }

    // Connects the player, waits until it is in the lobby and has voice.
    void Enter(Player& p) {
        p.cli.Send("connect");
        ASSERT_TRUE(op.WaitFor([&](const std::string& l) {
            return l.rfind(":" + p.nick + "!", 0) == 0 && l.find(" JOIN ") != std::string::npos;
        })) << p.cli.OutputText();
        ASSERT_TRUE(p.cli.WaitForText("users online")) << p.cli.OutputText();
        ASSERT_TRUE(op.OpMode("#K-HubI", "+v", p.nick));
        ASSERT_TRUE(p.cli.WaitForText("+v " + p.nick)) << p.cli.OutputText();
    }
};

TEST_F(LobbyGameTest, AWholeGameFromCreateToClose) {
    Player alice("Alice", server->port());
    Player bob("Bobby", server->port());
    Enter(alice);
    Enter(bob);

    // Alice has the ROM under the name she announces; Bobby has it under another name and a
    // different file under Alice's name.
    const std::string romBytes = std::string(300000, 'R') + "the game";
    alice.roms.Write("Super Game (U).smc", romBytes);
    bob.roms.Write("My Copy.smc", romBytes);
    bob.roms.Write("Super Game (U).smc", "another game entirely");

    alice.cli.Send("create Test Game");
    ASSERT_TRUE(alice.cli.WaitForLine("window: open host")) << alice.cli.OutputText();
    ASSERT_TRUE(bob.WaitForGame("Test Game\tAlice\t1/2")) << bob.cli.OutputText();

    bob.cli.Send("join Alice");
    ASSERT_TRUE(bob.cli.WaitForLine("window: open join"));
    ASSERT_TRUE(alice.cli.WaitForLine("chat: Bobby has joined.")) << alice.cli.OutputText();
    ASSERT_TRUE(alice.WaitForGame("Test Game\tAlice\t2/2"));
    ASSERT_TRUE(bob.WaitForGame("Test Game\tAlice\t2/2"));

    alice.cli.Send("say hello Bob");
    ASSERT_TRUE(bob.cli.WaitForLine("chat: <Alice> hello Bob")) << bob.cli.OutputText();
    bob.cli.Send("say hello Alice");
    ASSERT_TRUE(alice.cli.WaitForLine("chat: <Bobby> hello Alice")) << alice.cli.OutputText();

    alice.cli.Send("select " + alice.roms.File("Super Game (U).smc"));
    ASSERT_TRUE(bob.cli.WaitForLine("chat: The selected game is: Super Game (U).smc"));
    ASSERT_TRUE(alice.cli.WaitForLine("log: Match: YES")) << alice.cli.OutputText();
    alice.cli.Send("start");
    ASSERT_TRUE(alice.emulator.WaitRan()) << alice.cli.OutputText();
    EXPECT_EQ(alice.emulator.Argv(),
              (std::vector<std::string>{alice.emulator.script, "/USLQ2", "Alice",
                                        alice.roms.File("Super Game (U).smc")}));
    EXPECT_EQ(fs::canonical(alice.emulator.Cwd()), fs::canonical(alice.roms.path()));

    ASSERT_TRUE(bob.cli.WaitForLine("log: Host waiting for conection.")) << bob.cli.OutputText();
    auto waitStart = std::chrono::steady_clock::now();
    ASSERT_TRUE(bob.cli.WaitForText("/UCLQ2 Bobby", 15s)) << bob.cli.OutputText();
    EXPECT_GE(std::chrono::steady_clock::now() - waitStart, 5500ms);  // waited for the host
    ASSERT_TRUE(bob.emulator.WaitRan());
    EXPECT_EQ(bob.emulator.Argv(),
              (std::vector<std::string>{bob.emulator.script, "/UCLQ2", "Bobby",
                                        bob.roms.File("Super Game (U).smc"), "127.0.0.1"}));
    EXPECT_EQ(bob.emulator.Rom(), romBytes);  // the right file under the host's name

    // 30 and 31 s after the launch both files have their own names again.
    ASSERT_TRUE(bob.cli.WaitForText("to \"" + bob.roms.File("My Copy.smc") + "\"", 40s));
    ASSERT_TRUE(bob.cli.WaitForText("Renaming \"" + bob.roms.File("K-HUB_TEMPFILE"), 5s));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(Slurp(bob.roms.File("My Copy.smc")), romBytes);
    EXPECT_EQ(Slurp(bob.roms.File("Super Game (U).smc")), "another game entirely");
    EXPECT_FALSE(fs::exists(bob.roms.File("K-HUB_TEMPFILE")));

    alice.cli.Send("close");
    ASSERT_TRUE(bob.cli.WaitForLine("chat: Alice has left.")) << bob.cli.OutputText();
    auto left = std::chrono::steady_clock::now();
    ASSERT_TRUE(bob.cli.WaitForLine("window: close join", 15s));
    EXPECT_GE(std::chrono::steady_clock::now() - left, 10s);
    EXPECT_TRUE(bob.Games().empty());
}

}  // namespace
}  // namespace khub::test

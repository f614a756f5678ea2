// A whole game between two k-hub-cli copies on a real ircd-ircu, with an operator who voices
// both, down to the renames after the client's launch and the close.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/LobbyServerTest.h"
#include "ircu/TempDir.h"

namespace khub::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class LobbyGameTest : public LobbyServerTest {
  protected:
    void SetUp() override { StartServer(IrcdKind::Ircu); }
};

TEST_F(LobbyGameTest, AWholeGameFromCreateToClose) {
    Player alice("Alice", port());
    Player bob("Bobby", port());
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
    EXPECT_EQ(ReadFileBytes(bob.roms.File("My Copy.smc")), romBytes);
    EXPECT_EQ(ReadFileBytes(bob.roms.File("Super Game (U).smc")), "another game entirely");
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

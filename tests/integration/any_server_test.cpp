// The lobby on each IRC server it plays on (ircd-ircu, ngircd, InspIRCd, ircd-hybrid): a
// whole game between two k-hub-cli copies, from voice to the client's launch with a ROM it
// downloaded.

#include <gtest/gtest.h>

#include "ircu/LoopbackPort.h"
#include "support/LobbyServerTest.h"
#include "support/RandomBytes.h"

namespace khub::test {
namespace {

using namespace std::chrono_literals;

class AnyServer : public LobbyServerTest {};

TEST_P(AnyServer, AWholeGameWithADownload) {
    StartServer();
    const std::string dccPort = std::to_string(FreeLoopbackPort());
    const CliProcess::Ini dcc = {{"options", {{"startport", dccPort}, {"endport", dccPort}}}};
    Player alice("Alice", port(), dcc);
    Player bob("Bobby", port(), dcc);
    Enter(alice);
    Enter(bob);

    const std::string rom = RandomBytes(2'000'000, 11);
    alice.roms.Write("Game.smc", rom);
    alice.cli.Send("create Test Game --rom " + alice.roms.File("Game.smc"));
    ASSERT_TRUE(alice.cli.WaitForLine("window: open host")) << alice.cli.OutputText();
    // Every server told Alice her address, one way or another.
    ASSERT_TRUE(alice.cli.WaitForLine("log: IP Address \t= 127.0.0.1")) << alice.cli.OutputText();
    ASSERT_TRUE(bob.WaitForGame("Test Game\tAlice\t1/2")) << bob.cli.OutputText();

    bob.cli.Send("join Alice");
    ASSERT_TRUE(alice.cli.WaitForLine("chat: Bobby has joined.")) << alice.cli.OutputText();
    ASSERT_TRUE(alice.cli.WaitForLine("log: Match: NO")) << alice.cli.OutputText();
    ASSERT_TRUE(bob.WaitForGame("Test Game\tAlice\t2/2")) << bob.cli.OutputText();
    alice.cli.Send("say hello Bob");
    ASSERT_TRUE(bob.cli.WaitForLine("chat: <Alice> hello Bob")) << bob.cli.OutputText();
    bob.cli.Send("say hello Alice");
    ASSERT_TRUE(alice.cli.WaitForLine("chat: <Bobby> hello Alice")) << alice.cli.OutputText();

    bob.cli.Send("download");
    ASSERT_TRUE(bob.cli.WaitForLine("log: Finished.")) << bob.cli.OutputText();
    EXPECT_TRUE(ReadFileBytes(bob.roms.File("Game.smc")) == rom);
    ASSERT_TRUE(alice.cli.WaitForLine("log: Match: YES")) << alice.cli.OutputText();

    alice.cli.Send("start");
    ASSERT_TRUE(alice.emulator.WaitRan()) << alice.cli.OutputText();
    ASSERT_TRUE(bob.emulator.WaitRan(15s)) << bob.cli.OutputText();
    EXPECT_EQ(bob.emulator.Argv(),
              (std::vector<std::string>{bob.emulator.script, "/UCLQ2", "Bobby",
                                        bob.roms.File("Game.smc"), "127.0.0.1"}));
}

INSTANTIATE_TEST_SUITE_P(Servers, AnyServer,
                         ::testing::Values(IrcdKind::Ircu, IrcdKind::Ngircd, IrcdKind::InspIrcd,
                                           IrcdKind::Hybrid),
                         IrcdCaseName);

}  // namespace
}  // namespace khub::test

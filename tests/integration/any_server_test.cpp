// The lobby on each IRC server it plays on (ircd-ircu, ngircd, InspIRCd, ircd-hybrid): a
// whole game between two k-hub-cli copies, from voice to the client's launch with a ROM it
// downloaded, and the host's commands as a connected player until the end of its input.

#include <gtest/gtest.h>

#include "support/LobbyServerTest.h"
#include "support/RandomBytes.h"

namespace khub::test {
namespace {

using namespace std::chrono_literals;

class AnyServer : public LobbyServerTest {};

TEST_P(AnyServer, AWholeGameWithADownload) {
    StartServer(GetParam());
    Player alice("Alice", port());
    Player bob("Bobby", port());
    Enter(alice);
    Enter(bob);
    const std::string rom = RandomBytes(2'000'000, 11);
    JoinAndDownload(alice, bob, "Test Game", "Game.smc", rom, "hello");
    if (HasFatalFailure()) return;
    // Every server told Alice her address, one way or another.
    EXPECT_TRUE(alice.cli.WaitForLine("log: IP Address \t= 127.0.0.1", 0s, 0));

    alice.cli.Send("start");
    ASSERT_TRUE(alice.emulator.WaitRan()) << alice.cli.OutputText();
    ASSERT_TRUE(bob.emulator.WaitRan(15s)) << bob.cli.OutputText();
    EXPECT_EQ(bob.emulator.Lines("argv"),
              (std::vector<std::string>{bob.emulator.script, "/UCLQ2", "Bobby",
                                        bob.roms.File("Game.smc"), "127.0.0.1"}));

    op.Send("PRIVMSG #K-HubI :still here?");
    EXPECT_TRUE(Printed(alice.cli, "log: <Ivan> still here?"));
    alice.cli.Send("raw PRIVMSG #K-HubI :typed by hand");
    ASSERT_TRUE(OpSees(alice, " PRIVMSG #K-HubI :typed by hand"));
    alice.cli.Send("connect");
    EXPECT_TRUE(Printed(alice.cli, "refused: connect (already connected)"));
    alice.cli.Send("disconnect");
    EXPECT_TRUE(Printed(alice.cli, "log: Disconnecting."));
    EXPECT_TRUE(Printed(alice.cli, "title: K-Hub I - not connected"));
    ASSERT_TRUE(OpSees(alice, " QUIT"));
    alice.cli.Send("raw PRIVMSG #K-HubI :too late");
    EXPECT_TRUE(Printed(alice.cli, "refused: raw (not connected)"));
    alice.cli.CloseInput();  // end of input is quit
    EXPECT_EQ(alice.cli.WaitForExit(), 0);
    EXPECT_EQ(alice.cli.OutputText().find("box:"), std::string::npos) << alice.cli.OutputText();
}

INSTANTIATE_TEST_SUITE_P(Servers, AnyServer,
                         ::testing::Values(IrcdKind::Ircu, IrcdKind::Ngircd, IrcdKind::InspIrcd,
                                           IrcdKind::Hybrid),
                         [](const auto& info) { return IrcdName(info.param); });

}  // namespace
}  // namespace khub::test

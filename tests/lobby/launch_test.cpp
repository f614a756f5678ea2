#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "LobbyHarness.h"
#include "platform/Process.h"

namespace khub::lobby {
namespace {

using khub::testing::LobbyHarness;
using khub::testing::ReadFile;
using khub::testing::WriteFile;
using V = std::vector<std::string>;

TEST(LaunchTest, ArgumentVectors) {
    // The ROM path is one argument, blanks and all; the host has no sixth argument.
    EXPECT_EQ(EmulatorArguments("/e/VOLTAW", "T", 'C', "Player1", "/roms/my roms", "game.smc",
                                "10.0.0.5"),
              (V{"/e/VOLTAW", "/TCLQ2", "Player1", "/roms/my roms/game.smc", "10.0.0.5"}));
    EXPECT_EQ(EmulatorArguments("/e/VOLTAW", "U", 'S', "Host", "/roms/", "game.smc", ""),
              (V{"/e/VOLTAW", "/USLQ2", "Host", "/roms/game.smc"}));
}

TEST(LaunchTest, TheProgramGetsItsArgumentsAsTheyStandInTheRomFolder) {
    LobbyHarness h;
    h.program.links.process = nullptr;  // the real one
    auto script = h.dir.path() / "emu.sh";
    WriteFile(script,
              "#!/bin/sh\npwd > \"$0.cwd\"\nprintf '%s\\n' \"$@\" > \"$0.tmp\"\n"
              "mv \"$0.tmp\" \"$0.args\"\n");
    ::chmod(script.c_str(), 0755);
    CIni(h.program.settingsFilePath).SetString("options", "programpath", script.string());
    h.program.conn.ownNick = "Me;rm";
    ASSERT_TRUE(LaunchEmulator(h.program, 'C', "a \"b\" $(c).smc", "10.0.0.5"));
    auto args = h.dir.path() / "emu.sh.args";
    for (int i = 0; i < 500 && !std::filesystem::exists(args); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(ReadFile(args),
              "/UCLQ2\nMe;rm\n" + (h.romDir / "a \"b\" $(c).smc").string() + "\n10.0.0.5\n");
    EXPECT_EQ(ReadFile(h.dir.path() / "emu.sh.cwd"), h.romDir.string() + "\n");

    // A program that cannot be started says so.
    CIni(h.program.settingsFilePath).SetString("options", "programpath", "/no/such/emulator");
    EXPECT_FALSE(LaunchEmulator(h.program, 'S', "x.smc", ""));
    ASSERT_EQ(h.ui.Boxes().size(), 1u);
    EXPECT_EQ(h.ui.Boxes()[0].second, BoxIcon::Error);
}

}  // namespace
}  // namespace khub::lobby

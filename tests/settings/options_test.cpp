#include "settings/Options.h"

#include <gtest/gtest.h>

#include <tuple>

#include "support/IrcHarness.h"

namespace khub {
namespace {

TEST(OptionsTest, PlayerNamesOfFiveToFifteenAllowedCharacters) {
    for (const char* good : {"Abcde", "Player_1", "fifteen_chars_x", "[Al]$|"}) {
        EXPECT_TRUE(IsValidPlayerName(good)) << good;
    }
    for (const char* bad : {"Abcd", "sixteen_chars_xy"}) {
        EXPECT_FALSE(IsValidPlayerName(bad)) << bad;
    }
    for (char refused : std::string_view(" +-=@#%!^&*(){}:;<>,.?\\/~\"'`")) {
        EXPECT_FALSE(IsValidPlayerName(std::string("Abc") + refused + "de")) << refused;
    }
}

auto Fields(const OptionsValues& v) {
    return std::tie(v.playerName, v.connectOnStartup, v.programPath, v.romPath, v.playJoinSound,
                    v.joinSoundFile, v.playTextSound, v.textSoundFile);
}

// Every field goes to its own key and comes back; a refused name keeps the saved one while
// the rest is still written.
TEST(OptionsTest, SaveWritesEveryFieldAndLoadReadsItBack) {
    test::IrcHarness harness;
    Program& program = *harness.program;
    const OptionsValues saved{"Player1", true,          "/emu/VOLTAW", "/roms",
                              true,      "/s/join.wav", true,          "/s/text.wav"};
    ASSERT_TRUE(SaveOptions(program, saved));
    EXPECT_TRUE(program.playJoinSound);
    EXPECT_TRUE(program.playTextSound);
    OptionsValues loaded = LoadOptions(program);
    EXPECT_EQ(Fields(loaded), Fields(saved));

    OptionsValues refused{"bad name", false, "/emu2", "/roms2", false, "/j2", false, "/t2"};
    EXPECT_FALSE(SaveOptions(program, refused));
    EXPECT_FALSE(program.playJoinSound);
    EXPECT_FALSE(program.playTextSound);
    loaded = LoadOptions(program);
    refused.playerName = "Player1";
    EXPECT_EQ(Fields(loaded), Fields(refused));

    // Longer values from a hand-edited file are cut to what the dialog's fields hold.
    program.Settings().SetString("options", "playername", std::string(40, 'n'));
    program.Settings().SetString("options", "programpath", std::string(kOptionsPathLimit + 1, 'p'));
    loaded = LoadOptions(program);
    EXPECT_EQ(loaded.playerName, std::string(kOptionsNameLimit, 'n'));
    EXPECT_EQ(loaded.programPath, std::string(kOptionsPathLimit, 'p'));
}

}  // namespace
}  // namespace khub

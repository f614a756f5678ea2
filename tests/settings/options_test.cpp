#include "settings/Options.h"

#include <gtest/gtest.h>

#include "app/Program.h"
#include "ircu/TempDir.h"
#include "platform/ManualEventLoop.h"
#include "platform/RecordingUi.h"

namespace khub {
namespace {

TEST(OptionsTest, PlayerNamesOfFiveToFifteenAllowedCharacters) {
    for (const char* good : {"Abcde", "Player_1", "fifteen_chars_x", "[Al]$|"}) {
        EXPECT_TRUE(IsValidPlayerName(good)) << good;
    }
    for (const char* bad : {"Abcd", "sixteen_chars_xy", "Al Bo1", "Al.Bo", "Al-Bo", "Al`Bo"}) {
        EXPECT_FALSE(IsValidPlayerName(bad)) << bad;
    }
}

// Every field goes to its own key and comes back; a refused name keeps the saved one while
// the rest is still written.
TEST(OptionsTest, SaveWritesEveryFieldAndLoadReadsItBack) {
    test::TempDir dir;
    RecordingUi ui;
    ManualEventLoop loop;
    Program program(ui, loop, dir.File("K-Hub.ini"));
    const OptionsValues saved{"Player1", true,          "/emu/VOLTAW", "/roms",
                              true,      "/s/join.wav", true,          "/s/text.wav"};
    ASSERT_TRUE(SaveOptions(program, saved));
    EXPECT_TRUE(program.playJoinSound);
    EXPECT_TRUE(program.playTextSound);
    OptionsValues loaded = LoadOptions(program);
    EXPECT_EQ(loaded.playerName, "Player1");
    EXPECT_TRUE(loaded.connectOnStartup);
    EXPECT_EQ(loaded.programPath, "/emu/VOLTAW");
    EXPECT_EQ(loaded.romPath, "/roms");
    EXPECT_TRUE(loaded.playJoinSound);
    EXPECT_EQ(loaded.joinSoundFile, "/s/join.wav");
    EXPECT_TRUE(loaded.playTextSound);
    EXPECT_EQ(loaded.textSoundFile, "/s/text.wav");

    const OptionsValues refused{"bad name", false, "/emu2", "/roms2", false, "", false, ""};
    EXPECT_FALSE(SaveOptions(program, refused));
    EXPECT_FALSE(program.playJoinSound);
    EXPECT_FALSE(program.playTextSound);
    loaded = LoadOptions(program);
    EXPECT_EQ(loaded.playerName, "Player1");
    EXPECT_FALSE(loaded.connectOnStartup);
    EXPECT_EQ(loaded.programPath, "/emu2");
    EXPECT_EQ(loaded.romPath, "/roms2");
    EXPECT_FALSE(loaded.playJoinSound);
    EXPECT_FALSE(loaded.playTextSound);

    // Longer values from a hand-edited file are cut to what the dialog's fields hold.
    program.Settings().SetString("options", "playername", std::string(40, 'n'));
    program.Settings().SetString("options", "programpath", std::string(kOptionsPathLimit + 1, 'p'));
    loaded = LoadOptions(program);
    EXPECT_EQ(loaded.playerName, std::string(kOptionsNameLimit, 'n'));
    EXPECT_EQ(loaded.programPath, std::string(kOptionsPathLimit, 'p'));
}

}  // namespace
}  // namespace khub

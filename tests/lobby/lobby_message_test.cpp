#include <gtest/gtest.h>

#include "LobbyHarness.h"
#include "lobby/GameListAppearance.h"
#include "lobby/LobbyMessage.h"
#include "settings/CIni.h"

namespace khub::lobby {
namespace {

TEST(LobbyMessageTest, VerbsAreRecognisedByTheirTagAnywhereInTheText) {
    struct Row {
        const char* text;
        LobbyVerb verb;
        bool expected;
    };
    const Row rows[] = {
        {"+ K-Hub-3|HOST|Game", LobbyVerb::Host, true},  // as WALLVOICES arrives
        {"K-Hub-3|HOST", LobbyVerb::Host, false},        // HOST needs its '|'
        {"K-Hub-3|host|Game", LobbyVerb::Host, false},
        {"K-Hub-3|KICKED", LobbyVerb::Kick, true},  // field-less verbs: a plain prefix test
        {"K-Hub-2|GET", LobbyVerb::Get, false},
        {"K-Hub-3|MATCH", LobbyVerb::Match, false},
        {"say K-Hub-3|DONE now", LobbyVerb::Done, true},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(HasLobbyTag(row.text, row.verb), row.expected) << row.text;
    }
    EXPECT_FALSE(IsLobbyMessage("hello K-Hub-3"));
}

TEST(LobbyMessageTest, FieldsStartAtTheTagAndSkipEmptyOnes) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitLobbyFields("+ K-Hub-3|HOST|Test Game"), (V{"K-Hub-3", "HOST", "Test Game"}));
    EXPECT_EQ(SplitLobbyFields("K-Hub-3|GAME||a.smc|0A1B2C3D|1|"),
              (V{"K-Hub-3", "GAME", "a.smc", "0A1B2C3D", "1"}));
    EXPECT_EQ(SplitLobbyFields("no tag"), V{});
}

TEST(LobbyMessageTest, AnnouncementWrapsPastFiftyColumns) {
    auto xs = [](int n) {
        std::string line = "x";
        while (--n > 0) line += " x";
        return line;
    };
    EXPECT_EQ(AnnouncementText("Notice:\r\n\r\n\t", xs(60)),
              "Notice:\r\n\r\n\t" + xs(26) + "\r\n \t" + xs(26) + "\r\n \t" + xs(8));

    std::string longWords;
    for (int i = 0; i < 200; ++i) longWords += "word ";
    EXPECT_EQ(AnnouncementText("Announcement:\r\n\r\n\t", longWords).size(), 499u);
}

TEST(LobbyMessageTest, NetworkNamesAreChecked) {
    for (const char* bad : {"", ".", "..", "../x.smc", "a/b", "a\\b", "/etc/passwd"}) {
        EXPECT_FALSE(IsSafeRomFileName(bad)) << bad;
    }
    EXPECT_FALSE(IsSafeRomFileName(std::string("a\0b", 3)));
    for (const char* good : {"Super Game (U).smc", "..smc", "a..b"}) {
        EXPECT_TRUE(IsSafeRomFileName(good)) << good;
    }
    for (const char* ok :
         {"10.0.0.5", "0.0.0.0", "255.255.255.255", "127.000.0.1", "192.168.9.99"}) {
        EXPECT_TRUE(IsDottedIpv4(ok)) << ok;
    }
    for (const char* bad :
         {"", "10.0.0", "10.0.0.5.1", "256.0.0.1", "10.0.0.5 -x", "-1.0.0.1", "10..0.1", "a.b.c.d",
          "1.2.3.4.", "1234.1.1.1", "10.0.0.5\n", "10-0-0-5"}) {
        EXPECT_FALSE(IsDottedIpv4(bad)) << bad;
    }
}

TEST(GameListAppearanceTest, SettingsChooseTheBackgroundAndColours) {
    EXPECT_EQ(ParseColorText("255,128,0"), (Rgb{255, 128, 0}));
    EXPECT_EQ(ParseColorText("300,x,7"), (Rgb{44, 0, 7}));
    EXPECT_EQ(ParseColorText("1,2"), std::nullopt);
    // Only 12 characters count: "12345" is read as 1234, whose low byte is 210.
    EXPECT_EQ(ParseColorText("100,100,12345"), (Rgb{100, 100, 210}));
    testing::TempDir dir;
    CIni ini((dir.path() / "K-Hub.ini").string());
    EXPECT_EQ(ReadGameListAppearance(ini).background, GameListAppearance::Background::System);
    ini.SetInt("UI", "GamelistBG", 1);
    ini.SetString("UI", "GamelistBGColor", "0,0,128");
    auto a = ReadGameListAppearance(ini);
    EXPECT_EQ(a.background, GameListAppearance::Background::Color);
    EXPECT_EQ(a.backgroundColor, (Rgb{0, 0, 128}));
    ini.SetInt("UI", "GamelistBG", 7);
    ini.SetString("UI", "GamelistTextColor", "1,2,3");
    a = ReadGameListAppearance(ini);
    EXPECT_EQ(a.background, GameListAppearance::Background::System);
    EXPECT_EQ(a.textColor, (Rgb{1, 2, 3}));
}

}  // namespace
}  // namespace khub::lobby

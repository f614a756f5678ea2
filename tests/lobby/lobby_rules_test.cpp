#include <gtest/gtest.h>

#include "LobbyHarness.h"

namespace khub::lobby {
namespace {

using V = std::vector<std::string>;
using LobbyRulesTest = khub::testing::LobbyTest;

TEST_F(LobbyRulesTest, HostAndAnnounceCountOnlyFromTheirLevelUp) {
    h.levels["Plain"] = 0;
    h.levels["Voiced"] = 1;
    // A plain member's HOST is no lobby message for us: the dispatcher shows it as text.
    EXPECT_FALSE(h.Channel("Plain", "K-Hub-3|HOST|Nope"));
    EXPECT_FALSE(h.Private("Plain", "K-Hub-3|HOST|Nope"));
    EXPECT_FALSE(h.Channel("Stranger", "K-Hub-3|HOST|Nope"));
    EXPECT_EQ(h.program->games.Size(), 0);

    EXPECT_TRUE(h.Channel("Voiced", "K-Hub-3|HOST|First"));
    EXPECT_TRUE(h.Private("Voiced", "K-Hub-3|HOST|Second|Someone"));
    ASSERT_EQ(h.program->games.Size(), 1);
    EXPECT_EQ(h.program->games.Rows()[0], (GameRow{"Second", "Voiced", "2/2"}));
    h.Channel("Voiced", "K-Hub-3|HOST|Second");
    EXPECT_EQ(h.program->games.Rows()[0].players, "1/2");
    EXPECT_TRUE(h.LogHas("K-Hub Hosting message recieved.\r\n"));

    // Our own announcements come back only on the fallback carrier; they are not ours to list.
    h.levels["Me"] = 3;
    EXPECT_FALSE(h.Channel("Me", "K-Hub-3|HOST|Mine"));

    EXPECT_TRUE(h.Channel("Voiced", "K-Hub-3|DONE"));
    EXPECT_EQ(h.program->games.Size(), 0);
    EXPECT_TRUE(h.sent.empty());

    // Announcements need an operator.
    h.levels["Op"] = 3;
    EXPECT_FALSE(h.Channel("Voiced", "K-Hub-3|ANNOUNCE|hello all"));
    EXPECT_FALSE(h.Private("Voiced", "K-Hub-3|ANNOUNCE|hello"));
    EXPECT_TRUE(h.ui.Boxes().empty());
    EXPECT_TRUE(h.Channel("Op", "K-Hub-3|ANNOUNCE|hello all"));
    EXPECT_TRUE(h.Private("Op", "K-Hub-3|ANNOUNCE|psst"));
    auto boxes = h.ui.Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].first, "Announcement:\r\n\r\n\thello all");
    EXPECT_EQ(boxes[1].first, "Notice:\r\n\r\n\tpsst");
}

TEST_F(LobbyRulesTest, PlayerListsRefuseBySubstringButNeverOperators) {
    CIni ini = h.program->Settings();
    ini.SetString("options", "blacklist", "Bobby,Tom2");
    for (const char* nick : {"Bob", "Tom", "bob", "Tim", "Op"}) h.levels[nick] = 1;
    h.levels["Op"] = 3;
    EXPECT_TRUE(IsPlayerFiltered(*h.program, "Bob"));
    EXPECT_TRUE(IsPlayerFiltered(*h.program, "Tom"));
    EXPECT_FALSE(IsPlayerFiltered(*h.program, "bob"));
    EXPECT_FALSE(IsPlayerFiltered(*h.program, "Tim"));
    ini.SetString("options", "blacklist", "Op");
    EXPECT_FALSE(IsPlayerFiltered(*h.program, "Op"));

    // A refused HOST is taken and dropped: no row, nothing shown as channel text.
    ini.SetString("options", "blacklist", "Bob");
    EXPECT_TRUE(h.Channel("Bob", "K-Hub-3|HOST|Game"));
    EXPECT_EQ(h.program->games.Size(), 0);

    ini.SetInt("options", "ignorelist", 1);  // whitelist mode, empty list: operators only
    EXPECT_TRUE(IsPlayerFiltered(*h.program, "Tim"));
    EXPECT_FALSE(IsPlayerFiltered(*h.program, "Op"));
    ini.SetString("options", "whitelist", "Tim Tom");
    EXPECT_FALSE(IsPlayerFiltered(*h.program, "Tim"));
    EXPECT_TRUE(IsPlayerFiltered(*h.program, "Bob"));
}

TEST_F(LobbyRulesTest, ClientJoinsTheHostedGameAndOnlyItIsBelieved) {
    h.levels["Joe"] = 1;
    h.levels["Other"] = 1;
    h.levels["Plain"] = 0;
    CIni(h.program->settingsFilePath).SetString("options", "blacklist", "Evil");
    h.levels["Evil"] = 1;

    // No game hosted yet: a CLIENT changes nothing.
    EXPECT_TRUE(h.Private("Joe", "K-Hub-3|CLIENT"));
    EXPECT_EQ(h.program->games.Size(), 0);

    h.HostGame();
    EXPECT_FALSE(h.Private("Plain", "K-Hub-3|CLIENT"));  // needs voice
    EXPECT_TRUE(h.Private("Evil", "K-Hub-3|CLIENT"));    // refused, no answer
    EXPECT_TRUE(h.sent.empty());
    EXPECT_EQ(h.program->host.joinedClientNick, "");

    EXPECT_TRUE(h.Private("Joe", "K-Hub-3|CLIENT"));
    EXPECT_EQ(h.program->host.joinedClientNick, "Joe");
    EXPECT_EQ(h.TakeSent(), V{"WALLVOICES #K-HubI :K-Hub-3|HOST|Mario Kart|Joe\r\n"});
    EXPECT_EQ(h.program->games.Rows()[0], (GameRow{"Mario Kart", "Me", "2/2"}));
    EXPECT_EQ(h.Chat(WindowId::HostGame), V{"Joe has joined.\r\n"});
    EXPECT_TRUE(h.Enabled(WindowId::HostGame, control::kKick));

    EXPECT_TRUE(h.Private("Other", "K-Hub-3|MATCH|YES"));
    EXPECT_FALSE(h.Enabled(WindowId::HostGame, control::kStart));
    EXPECT_TRUE(h.Private("Other", "K-Hub-3|LEFT"));
    EXPECT_EQ(h.program->host.joinedClientNick, "Joe");
    EXPECT_TRUE(h.LogHas("Ignored MATCH from Other: not the client of our game.\r\n"));
    h.Private("Other", "K-Hub-3|GET");
    EXPECT_TRUE(h.offers.empty());

    h.Private("Joe", "K-Hub-3|MATCH|YES");
    EXPECT_TRUE(h.Enabled(WindowId::HostGame, control::kStart));
    h.Private("Joe", "K-Hub-3|GET");
    EXPECT_EQ(h.offers, V{"Joe"});
    h.program->host.disableDownload = true;
    h.Private("Joe", "K-Hub-3|GET");
    EXPECT_EQ(h.offers.size(), 1u);

    // LEFT: the slot is free at once, the channel hears of it 3 s later.
    h.Private("Joe", "K-Hub-3|LEFT");
    EXPECT_EQ(h.program->host.joinedClientNick, "");
    EXPECT_EQ(h.program->games.Rows()[0].players, "1/2");
    EXPECT_FALSE(h.Enabled(WindowId::HostGame, control::kStart));
    EXPECT_TRUE(h.sent.empty());
    h.Advance(2999);
    EXPECT_TRUE(h.sent.empty());
    h.Advance(1);
    EXPECT_EQ(h.TakeSent(), V{"WALLVOICES #K-HubI :K-Hub-3|HOST|Mario Kart\r\n"});

    // A client that changes its nick stays ours; when it quits, the slot is free at once.
    h.Private("Joe", "K-Hub-3|CLIENT");
    lobby::HandleNickChange(*h.program, "Joe", "Joey");
    EXPECT_EQ(h.program->host.joinedClientNick, "Joey");
    EXPECT_EQ(h.Chat(WindowId::HostGame).back(), "<Joe> is now known as <Joey>.\r\n");
    h.sent.clear();
    lobby::HandleDeparture(*h.program, "Joey");
    EXPECT_EQ(h.TakeSent(), V{"WALLVOICES #K-HubI :K-Hub-3|HOST|Mario Kart\r\n"});
    EXPECT_TRUE(h.Enabled(WindowId::HostGame, control::kSelect));
    EXPECT_FALSE(h.Enabled(WindowId::HostGame, control::kKick));

    // An operator client cannot be kicked.
    h.levels["Mod"] = 3;
    h.Private("Mod", "K-Hub-3|CLIENT");
    EXPECT_FALSE(h.Enabled(WindowId::HostGame, control::kKick));

    // The delayed announcement ends with the window.
    h.Private("Mod", "K-Hub-3|LEFT");
    HostCancel(*h.program);
    h.sent.clear();
    h.Advance(5000);
    EXPECT_TRUE(h.sent.empty());
}

TEST_F(LobbyRulesTest, NewPlayersHearOfAGameOnlyWhileItIsHostedWithVoice) {
    lobby::OpenCreateGame(*h.program);
    lobby::CreateGameChooseRom(*h.program, (h.romDir / "Some Game.smc").string());
    lobby::CreateGameOk(*h.program, "ab", false);  // too short: stays open
    lobby::CreateGameCancel(*h.program);
    lobby::HandleNewPlayer(*h.program, "Newbie");
    EXPECT_TRUE(h.sent.empty());
    EXPECT_EQ(h.program->host.hostedGameName, "");
    EXPECT_EQ(h.program->host.hostRomFile, "");

    h.HostGame("Real Game");
    lobby::HandleNewPlayer(*h.program, "Newbie");
    EXPECT_EQ(h.TakeSent(), V{"NOTICE Newbie :K-Hub-3|HOST|Real Game\r\n"});
    // The ROM of the cancelled dialog is not offered to this game's client.
    h.levels["Joe"] = 1;
    h.Private("Joe", "K-Hub-3|CLIENT");
    for (const auto& line : h.TakeSent()) EXPECT_EQ(line.find("GAME"), std::string::npos) << line;

    // Losing voice closes the game, and Create stays grey.
    lobby::CloseOwnHosting(*h.program);
    EXPECT_EQ(h.TakeSent(), V{"WALLVOICES #K-HubI :K-Hub-3|DONE\r\n"});
    EXPECT_EQ(h.program->games.Size(), 0);
    EXPECT_FALSE(h.ui.MenuEnabled(menu::kCreate));
    EXPECT_FALSE(h.ui.IsOpen(WindowId::HostGame));
}

// A server without WALLVOICES gets notices: after its 421, or at once when its feature list
// leaves the command out. A reconnect may reach another server: its 421 must not resend a line
// meant for the last one, and a server that knows WALLVOICES gets it again.
TEST_F(LobbyRulesTest, WithoutWallvoicesTheChannelGetsNotices) {
    h.HostGame("Mario Kart");
    ResetConnection(*h.program);
    h.HostGame("Zelda Game");
    lobby::HandleUnknownCommand(*h.program, "USERIP");
    EXPECT_TRUE(h.sent.empty());
    // The refused HOST goes again as NOTICE, and so does everything channel-wide after it.
    lobby::HandleUnknownCommand(*h.program, "WALLVOICES");
    EXPECT_EQ(h.TakeSent(), V{"NOTICE #K-HubI :K-Hub-3|HOST|Zelda Game\r\n"});
    HostCancel(*h.program);
    EXPECT_EQ(h.TakeSent(), V{"NOTICE #K-HubI :K-Hub-3|DONE\r\n"});
    lobby::HandleUnknownCommand(*h.program, "WALLVOICES");  // nothing left to resend
    EXPECT_TRUE(h.sent.empty());

    auto hostAfterReconnect = [this](const char* name, bool listed, bool wallvoices) {
        ResetConnection(*h.program);
        h.sent.clear();
        h.program->conn.features.listed = listed;
        h.program->conn.features.wallvoices = wallvoices;
        OpenCreateGame(*h.program);
        EXPECT_TRUE(CreateGameOk(*h.program, name, false));
        return h.TakeSent();
    };
    EXPECT_EQ(hostAfterReconnect("Metroid", false, false),
              V{"WALLVOICES #K-HubI :K-Hub-3|HOST|Metroid\r\n"});
    EXPECT_EQ(hostAfterReconnect("Mario Kart", true, false),
              V{"NOTICE #K-HubI :K-Hub-3|HOST|Mario Kart\r\n"});
    EXPECT_EQ(hostAfterReconnect("Zelda Game", true, true),
              V{"WALLVOICES #K-HubI :K-Hub-3|HOST|Zelda Game\r\n"});
}

}  // namespace
}  // namespace khub::lobby

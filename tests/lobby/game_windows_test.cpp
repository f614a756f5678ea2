#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <tuple>

#include "LobbyHarness.h"
#include "transfer/Transfer.h"

namespace khub::lobby {
namespace {

using khub::testing::LobbyHarness;
using khub::testing::ReadFile;
using khub::testing::WriteFile;
using V = std::vector<std::string>;
using CreateGameTest = khub::testing::LobbyTest;
using HostGameTest = khub::testing::LobbyTest;
using JoinGameTest = khub::testing::LobbyTest;
using LobbyRulesTest = khub::testing::LobbyTest;

// Joined Hoster's game, which chose Their.smc: our copy of it is Mine.smc, and another
// game already carries the host's file name.
void JoinWithOurRomUnderAnotherName(LobbyHarness& h) {
    h.JoinGame("Hoster");
    WriteFile(h.romDir / "Mine.smc", "123456789");
    WriteFile(h.romDir / "Their.smc", "a different game");
    h.Private("Hoster", "K-Hub-3|GAME|Their.smc|CBF43926|0");
}

TEST_F(CreateGameTest, NameRules) {
    CIni(h.program->settingsFilePath).SetString("Host", "gamename", "Saved Name");
    OpenCreateGame(*h.program);
    EXPECT_FALSE(h.ui.MenuEnabled(menu::kCreate));
    EXPECT_EQ(h.ui.ControlText(WindowId::CreateGame, control::kCreateGameName), "Saved Name");
    EXPECT_TRUE(h.Enabled(WindowId::CreateGame, control::kSend));
    CreateGameNameChanged(*h.program, "");
    EXPECT_FALSE(h.Enabled(WindowId::CreateGame, control::kSend));
    h.JoinGame("Hoster");  // the draft waits while a joined game is open
    EXPECT_FALSE(CreateGameOk(*h.program, "My Game", false));
    EXPECT_EQ(h.ui.Boxes().size(), 1u);
    JoinCancel(*h.program);
    EXPECT_EQ(h.TakeSent(), V{"NOTICE Hoster :K-Hub-3|LEFT\r\n"});

    EXPECT_FALSE(CreateGameOk(*h.program, "abc", false));
    EXPECT_FALSE(CreateGameOk(*h.program, "a:bc", false));
    ASSERT_EQ(h.ui.Boxes().size(), 2u);
    EXPECT_EQ(h.ui.Boxes()[1].first,
              "ERROR: Invalid character(s) in room name. ( Invalid Charaters: \\/:*?\"<>| )");
    EXPECT_TRUE(h.ui.IsOpen(WindowId::CreateGame));

    WriteFile(h.romDir / "my.game.sfc", "123456789");
    EXPECT_EQ(CreateGameChooseRom(*h.program, (h.romDir / "my.game.sfc").string()), "my.game");
    CIni(h.program->settingsFilePath).SetString("host", "IP", "192.168.1.9");
    EXPECT_TRUE(CreateGameOk(*h.program, "abcd", true));
    EXPECT_EQ(h.TakeSent(), V{"WALLVOICES #K-HubI :K-Hub-3|HOST|abcd\r\n"});
    EXPECT_EQ(h.program->games.Rows().back(), (GameRow{"abcd", "Me", "1/2"}));
    EXPECT_EQ(h.program->ownIpText, "192.168.1.9");
    h.Private("Joe", "K-Hub-3|CLIENT");  // gets the ROM at once, with the download refused
    EXPECT_EQ(h.TakeSent(), (V{"WALLVOICES #K-HubI :K-Hub-3|HOST|abcd|Joe\r\n",
                               "NOTICE Joe :K-Hub-3|GAME|my.game.sfc|CBF43926|1\r\n"}));
    EXPECT_FALSE(h.ui.IsOpen(WindowId::CreateGame));
    EXPECT_TRUE(h.ui.IsOpen(WindowId::HostGame));
    EXPECT_EQ(h.ui.WindowTitle(WindowId::HostGame), "Host Game [abcd]");
    EXPECT_FALSE(h.ui.MenuEnabled(menu::kCreate));
    HostCancel(*h.program);  // once that game ends, Create opens again
    OpenCreateGame(*h.program);
    EXPECT_TRUE(h.ui.IsOpen(WindowId::CreateGame));

    // '|' splits the GAME and HOST fields, '"' ends the quoted name of a DCC SEND, and a line
    // break ends the IRC line: such a ROM is refused where it is chosen, with a box.
    auto boxes = h.ui.Boxes();
    for (const char* name : {"Bar|Baz.smc", "Say \"Hi\".smc", "Two\nLines.smc"}) {
        SCOPED_TRACE(name);
        WriteFile(h.romDir / name, "123456789");
        EXPECT_EQ(CreateGameChooseRom(*h.program, (h.romDir / name).string()), "");
        boxes.emplace_back(
            std::string("ERROR: The ROM's file name \"") + name +
                "\" cannot be sent to other players: a file name must not contain | or \" (or a "
                "control character). Rename the file and choose it again.",
            BoxIcon::Error);
        EXPECT_EQ(h.ui.Boxes(), boxes);
    }
    ASSERT_TRUE(CreateGameOk(*h.program, "Typed Name", false));
    EXPECT_EQ(h.program->host.hostRomFile, "");
}

TEST_F(HostGameTest, SelectLocksForTenSecondsThenStartKickAndClose) {
    WriteFile(h.romDir / "Super Game (U).smc", "123456789");
    // Made with a ROM: a joining client gets it at once, and Select waits for the answer.
    OpenCreateGame(*h.program);
    CreateGameChooseRom(*h.program, (h.romDir / "Super Game (U).smc").string());
    ASSERT_TRUE(CreateGameOk(*h.program, "Mario Kart", false));
    h.Private("Joe", "K-Hub-3|CLIENT");
    EXPECT_FALSE(h.Enabled(WindowId::HostGame, control::kSelect));
    h.Private("Joe", "K-Hub-3|MATCH|NO");
    EXPECT_TRUE(h.Enabled(WindowId::HostGame, control::kSelect));
    // A cancelled chooser leaves Start as it found it: off.
    HostSelectBegin(*h.program);
    HostSelectEnd(*h.program, "");
    EXPECT_FALSE(h.Enabled(WindowId::HostGame, control::kStart));
    h.sent.clear();

    HostSelectBegin(*h.program);
    EXPECT_TRUE(h.program->host.disableDownload);  // no GET while the chooser is open
    HostSelectEnd(*h.program, (h.romDir / "Super Game (U).smc").string());  // GET again: |0
    EXPECT_EQ(h.TakeSent(), (V{"NOTICE Joe :K-Hub-3|GAME|Super Game (U).smc|CBF43926|0\r\n",
                               "WALLVOICES #K-HubI :K-Hub-3|HOST|Super Game (U)|Joe\r\n"}));
    EXPECT_EQ(h.ui.WindowTitle(WindowId::HostGame), "Host Game [Super Game (U)]");
    EXPECT_EQ(h.program->games.Rows()[0], (GameRow{"Super Game (U)", "Me", "2/2"}));
    EXPECT_FALSE(h.Enabled(WindowId::HostGame, control::kSelect));
    EXPECT_FALSE(h.Enabled(WindowId::HostGame, control::kStart));

    // MATCH YES within the cooldown enables Start but not Select.
    h.Private("Joe", "K-Hub-3|MATCH|YES");
    EXPECT_TRUE(h.Enabled(WindowId::HostGame, control::kStart));
    EXPECT_FALSE(h.Enabled(WindowId::HostGame, control::kSelect));
    h.Advance(9999);
    EXPECT_FALSE(h.Enabled(WindowId::HostGame, control::kSelect));
    h.Advance(1);
    EXPECT_TRUE(h.Enabled(WindowId::HostGame, control::kSelect));

    // A cancelled chooser gives Start back when it was enabled.
    HostSelectBegin(*h.program);
    EXPECT_FALSE(h.Enabled(WindowId::HostGame, control::kStart));
    HostSelectEnd(*h.program, "");
    EXPECT_TRUE(h.Enabled(WindowId::HostGame, control::kStart));

    // Past the cooldown an answer gives Select back again.
    h.Private("Joe", "K-Hub-3|LEFT");
    h.Private("Joe", "K-Hub-3|CLIENT");
    EXPECT_FALSE(h.Enabled(WindowId::HostGame, control::kSelect));
    h.Private("Joe", "K-Hub-3|MATCH|YES");
    EXPECT_TRUE(h.Enabled(WindowId::HostGame, control::kSelect));

    // A ROM whose name cannot travel leaves the game as a cancelled chooser does.
    WriteFile(h.romDir / "Bar|Baz.smc", "123456789");
    h.sent.clear();
    HostSelectBegin(*h.program);
    HostSelectEnd(*h.program, (h.romDir / "Bar|Baz.smc").string());
    EXPECT_TRUE(h.Enabled(WindowId::HostGame, control::kStart));
    EXPECT_EQ(h.ui.Boxes().size(), 1u);

    CIni(h.program->settingsFilePath).SetString("options", "protocol", "T");
    HostStart(*h.program);
    ASSERT_EQ(h.spawns.size(), 1u);
    EXPECT_EQ(h.spawns[0],
              (V{"/opt/emu/VOLTAW", "/TSLQ2", "Me", (h.romDir / "Super Game (U).smc").string()}));
    EXPECT_EQ(h.TakeSent(), V{"NOTICE Joe :K-Hub-3|START|10.0.0.1|1\r\n"});

    CIni(h.program->settingsFilePath).SetString("options", "protocol", "X");
    HostStart(*h.program);
    EXPECT_EQ(h.spawns[1][1], "/USLQ2");
    EXPECT_EQ(h.TakeSent(), V{"NOTICE Joe :K-Hub-3|START|10.0.0.1\r\n"});

    HostKick(*h.program);
    EXPECT_EQ(h.TakeSent(), (V{"NOTICE Joe :K-Hub-3|KICK\r\n",
                               "WALLVOICES #K-HubI :K-Hub-3|HOST|Super Game (U)\r\n"}));
    EXPECT_EQ(h.program->games.Rows()[0].players, "1/2");
    EXPECT_FALSE(h.Enabled(WindowId::HostGame, control::kKick));
    EXPECT_EQ(h.Chat(WindowId::HostGame).back(), "Joe has left.\r\n");
    transfer::OpenTransferWindow(*h.program);
    HostCancel(*h.program);  // the transfer ends with its game
    EXPECT_FALSE(h.ui.IsOpen(WindowId::FileTransfer));
    EXPECT_EQ(h.TakeSent(), V{"WALLVOICES #K-HubI :K-Hub-3|DONE\r\n"});
    EXPECT_EQ(h.program->games.Size(), 0);
    EXPECT_TRUE(h.ui.MenuEnabled(menu::kCreate));
    EXPECT_EQ(h.program->host.hostedGameName, "");
}

TEST_F(JoinGameTest, TheJoinGoesToTheSelectedFreeRowAndWaitsFiveSecondsForItsHost) {
    h.Channel("Full", "K-Hub-3|HOST|Taken|Someone");
    h.Channel("Free", "K-Hub-3|HOST|Open Game");
    h.Channel("Other", "K-Hub-3|HOST|Other Game");
    const std::string fullBox = "The game \"Taken\" of Full is full: both seats are taken.";
    GameListClick(*h.program, -1, false);
    EXPECT_TRUE(h.LogHas("Nothing selected. -1.\r\n"));
    EXPECT_FALSE(h.ui.MenuEnabled(menu::kJoin));
    GameListClick(*h.program, 1, false);
    EXPECT_TRUE(h.ui.MenuEnabled(menu::kJoin));
    JoinAction(*h.program);
    EXPECT_EQ(h.TakeSent(), V{"NOTICE Free :K-Hub-3|CLIENT\r\n"});
    EXPECT_TRUE(h.ui.IsOpen(WindowId::JoinGame));
    EXPECT_EQ(h.ui.WindowTitle(WindowId::JoinGame), "Join Game [Open Game]");
    EXPECT_FALSE(h.ui.MenuEnabled(menu::kJoin));
    for (int id : {control::kJoinChatEdit, control::kSend, control::kDownload})
        EXPECT_FALSE(h.Enabled(WindowId::JoinGame, id)) << id;  // until the host answers
    GameListClick(*h.program, 1, true);  // a window is open: no second CLIENT
    JoinCancel(*h.program);              // and no LEFT before the host answered
    EXPECT_TRUE(h.sent.empty());

    // The selection moves from a clicked row to the full one (arrow keys): Join greys, and
    // Ctrl+J arriving all the same is refused like the double click.
    GameListClick(*h.program, 1, false);
    h.program->games.Select(0);
    EXPECT_FALSE(h.ui.MenuEnabled(menu::kJoin));
    JoinAction(*h.program);
    GameListClick(*h.program, 0, true);
    EXPECT_EQ(h.ui.Boxes(),
              (std::vector<std::pair<std::string, BoxIcon>>(2, {fullBox, BoxIcon::Information})));
    EXPECT_FALSE(h.ui.IsOpen(WindowId::JoinGame));

    // Moved on from the clicked row to another free one: that is the game joined.
    GameListClick(*h.program, 1, false);
    h.program->games.Select(2);
    EXPECT_TRUE(h.ui.MenuEnabled(menu::kJoin));
    JoinAction(*h.program);
    EXPECT_EQ(h.TakeSent(), V{"NOTICE Other :K-Hub-3|CLIENT\r\n"});
    EXPECT_EQ(h.ui.WindowTitle(WindowId::JoinGame), "Join Game [Other Game]");
    JoinCancel(*h.program);

    // The selected game ends: nothing stays selected, so no other game is joined.
    GameListClick(*h.program, 1, false);
    h.Channel("Free", "K-Hub-3|DONE");
    EXPECT_FALSE(h.ui.MenuEnabled(menu::kJoin));
    JoinAction(*h.program);
    EXPECT_TRUE(h.sent.empty());

    // The selected game fills up meanwhile, and frees its seat again.
    GameListClick(*h.program, 1, false);
    h.Channel("Other", "K-Hub-3|HOST|Other Game|Someone");
    EXPECT_FALSE(h.ui.MenuEnabled(menu::kJoin));
    h.Channel("Other", "K-Hub-3|HOST|Other Game");
    EXPECT_TRUE(h.ui.MenuEnabled(menu::kJoin));

    // Unanswered, the join gives up after five seconds; only our host's acceptance counts.
    GameListClick(*h.program, 1, true);
    h.Channel("Full", "K-Hub-3|HOST|Taken|Me");
    h.Advance(4999);
    EXPECT_TRUE(h.ui.IsOpen(WindowId::JoinGame));
    h.Advance(1);
    EXPECT_FALSE(h.ui.IsOpen(WindowId::JoinGame));
    ASSERT_EQ(h.ui.Boxes().size(), 3u);
    EXPECT_EQ(h.ui.Boxes()[2].first, "Your attempt to join was ignored.");
    EXPECT_EQ(h.TakeSent(), V{"NOTICE Other :K-Hub-3|CLIENT\r\n"});  // and no LEFT

    // Closed by the player before the host answered: no box, and a later window lives on.
    GameListClick(*h.program, 1, true);
    h.Advance(3000);
    JoinCancel(*h.program);
    GameListClick(*h.program, 1, true);
    h.Advance(3000);
    EXPECT_TRUE(h.ui.IsOpen(WindowId::JoinGame));
    EXPECT_EQ(h.ui.Boxes().size(), 3u);
}

TEST_F(JoinGameTest, AcceptedJoinChatsLeavesAndEndsByKickOrDone) {
    h.JoinGame("Hoster");
    EXPECT_TRUE(h.Enabled(WindowId::JoinGame, control::kJoinChatEdit));
    h.Advance(6000);
    EXPECT_TRUE(h.ui.IsOpen(WindowId::JoinGame));
    EXPECT_TRUE(lobby::HandlePartnerChat(*h.program, "Hoster", "hi"));
    EXPECT_FALSE(lobby::HandlePartnerChat(*h.program, "Other", "hi"));
    for (const char* typed : {"x", "", "hello"}) {
        JoinChatChanged(*h.program, typed);
        EXPECT_EQ(h.Enabled(WindowId::JoinGame, control::kSend), *typed != 0) << typed;
    }
    JoinSend(*h.program, "hello");
    EXPECT_FALSE(h.Enabled(WindowId::JoinGame, control::kSend));
    EXPECT_EQ(h.Chat(WindowId::JoinGame), (V{"<Hoster> hi\r\n", "<Me> hello\r\n"}));
    JoinCancel(*h.program);
    EXPECT_EQ(h.TakeSent(), (V{"PRIVMSG Hoster :hello\r\n", "NOTICE Hoster :K-Hub-3|LEFT\r\n"}));

    // Only our host's KICK counts; it closes the window 11 s later.
    h.JoinGame("Hoster");
    h.Private("Other", "K-Hub-3|KICK");
    EXPECT_TRUE(h.Enabled(WindowId::JoinGame, control::kJoinChatEdit));  // still in the game
    h.Private("Hoster", "K-Hub-3|KICK");
    EXPECT_EQ(h.Chat(WindowId::JoinGame).back(), "Hoster has kicked you.\r\n");
    EXPECT_FALSE(h.Enabled(WindowId::JoinGame, control::kJoinChatEdit));
    h.Advance(10999);
    EXPECT_TRUE(h.ui.IsOpen(WindowId::JoinGame));
    h.Advance(1);
    EXPECT_FALSE(h.ui.IsOpen(WindowId::JoinGame));
    EXPECT_TRUE(h.sent.empty());  // no LEFT after a kick

    // DONE closes the window 11 s later; a window opened meanwhile is not touched.
    h.JoinGame("Hoster");
    h.Channel("Hoster", "K-Hub-3|DONE");
    EXPECT_EQ(h.Chat(WindowId::JoinGame).back(), "Hoster has left.\r\n");
    h.Private("Hoster", "K-Hub-3|START|10.0.0.5");
    EXPECT_TRUE(h.LogHas("Ignored START from Hoster: not the host of our game.\r\n"));
    h.Advance(5000);
    JoinCancel(*h.program);
    h.JoinGame("Second");
    h.Advance(8000);
    EXPECT_TRUE(h.ui.IsOpen(WindowId::JoinGame));

    // The host leaving the channel ends the game the same way.
    lobby::HandleDeparture(*h.program, "Second");
    h.Advance(11000);
    EXPECT_FALSE(h.ui.IsOpen(WindowId::JoinGame));
}

TEST_F(JoinGameTest, GameAnswersMatchAndStartComesFromOurHostWithAnAddress) {
    h.JoinGame("Hoster");
    WriteFile(h.romDir / "Mine.smc", "123456789");
    h.Private("Other", "K-Hub-3|GAME|Mine.smc|CBF43926|0");  // not our host: no answer
    h.Private("Hoster", "K-Hub-3|GAME|Their Name.smc|CBF43926|0");
    EXPECT_EQ(h.TakeSent(), V{"NOTICE Hoster :K-Hub-3|MATCH|YES\r\n"});
    EXPECT_EQ(h.ui.WindowTitle(WindowId::JoinGame), "Join Game [Their Name]");
    EXPECT_FALSE(h.Enabled(WindowId::JoinGame, control::kDownload));
    EXPECT_EQ(h.Chat(WindowId::JoinGame).back(), "The selected game is: Their Name.smc\r\n");

    // A second GAME for a ROM present under the host's name forgets the other name.
    h.Private("Hoster", "K-Hub-3|GAME|Mine.smc|CBF43926|0");
    EXPECT_EQ(h.TakeSent(), V{"NOTICE Hoster :K-Hub-3|MATCH|YES\r\n"});
    EXPECT_EQ(h.program->client.localRomFile, "");
    WriteFile(h.romDir / "Four.smc", "1234");  // its CRC has an 'A' in it
    h.Private("Hoster", "K-Hub-3|GAME|Four.smc|9BE3E0A3|0");
    EXPECT_EQ(h.TakeSent(), V{"NOTICE Hoster :K-Hub-3|MATCH|YES\r\n"});

    h.Private("Hoster", "K-Hub-3|GAME|Missing|12345678|1");
    EXPECT_EQ(h.TakeSent(), V{"NOTICE Hoster :K-Hub-3|MATCH|NO\r\n"});
    EXPECT_FALSE(h.Enabled(WindowId::JoinGame, control::kDownload));
    EXPECT_EQ(h.ui.WindowTitle(WindowId::JoinGame), "Join Game [Missing]");
    h.Private("Hoster", "K-Hub-3|GAME|Missing.smc|12345678|0");
    EXPECT_EQ(h.TakeSent(), V{"NOTICE Hoster :K-Hub-3|MATCH|NO\r\n"});
    EXPECT_TRUE(h.Enabled(WindowId::JoinGame, control::kDownload));
    JoinDownload(*h.program);
    EXPECT_EQ(h.TakeSent(), V{"NOTICE Hoster :K-Hub-3|GET\r\n"});

    for (const char* name : {"..", "../Mine.smc", "sub\\x.smc"}) {
        h.Private("Hoster", std::string("K-Hub-3|GAME|") + name + "|CBF43926|0");
        EXPECT_EQ(h.TakeSent(), V{"NOTICE Hoster :K-Hub-3|MATCH|NO\r\n"}) << name;
        EXPECT_FALSE(h.Enabled(WindowId::JoinGame, control::kDownload));
    }

    // START comes from our host with an address, and brings the transport letter.
    h.Private("Hoster", "K-Hub-3|GAME|Mine.smc|CBF43926|0");
    h.Private("Other", "K-Hub-3|START|10.6.6.6");
    for (const char* bad : {"10.0.0.5 --evil", "host.example", "10.0.0.256", "-x"}) {
        h.Private("Hoster", std::string("K-Hub-3|START|") + bad);
    }
    h.Advance(10000);
    EXPECT_TRUE(h.spawns.empty());

    // The client plays with the host's transport letter, not its own setting: "T" exactly
    // when START has a fourth field, of any content.
    const std::tuple<const char*, const char*, const char*> rows[] = {
        {"U", "|1", "/TCLQ2"}, {"U", "|x", "/TCLQ2"}, {"T", "", "/UCLQ2"}};
    for (const auto& [ownSetting, startEnd, argument] : rows) {
        SCOPED_TRACE(std::string(ownSetting) + " START" + startEnd);
        CIni(h.program->settingsFilePath).SetString("options", "protocol", ownSetting);
        h.Private("Hoster", std::string("K-Hub-3|START|10.0.0.5") + startEnd);
        h.Advance(6000);
        ASSERT_FALSE(h.spawns.empty());
        EXPECT_EQ(h.spawns.back()[1], argument);
    }
    EXPECT_EQ(h.spawns.size(), 3u);

    // A client start belongs to its window: closed during the wait, nothing is launched.
    h.Private("Hoster", "K-Hub-3|START|10.0.0.5|1");
    h.Advance(3000);
    JoinCancel(*h.program);
    h.Advance(10000);
    EXPECT_EQ(h.spawns.size(), 3u);
}

TEST(JoinGameCases, StartParksRenamesLaunchesAndRestores) {
    // The emulator reads the ROM under the host's name whatever the game does once it runs:
    // the names come back only after their 30 and 31 seconds. A start that ends in its first
    // second, before our ROM has the host's name, puts the parked file back at once and
    // renames or launches nothing later.
    const std::pair<const char*, std::function<void(LobbyHarness&)>> ends[] = {
        {"the game goes on", nullptr},
        {"the host leaves", [](LobbyHarness& h) { h.Channel("Hoster", "K-Hub-3|DONE"); }},
        {"kicked", [](LobbyHarness& h) { h.Private("Hoster", "K-Hub-3|KICK"); }},
        {"window closed", [](LobbyHarness& h) { JoinCancel(*h.program); }},
    };
    for (bool inTheFirstSecond : {false, true}) {
        for (const auto& [name, end] : ends) {
            if (inTheFirstSecond && !end) continue;
            SCOPED_TRACE(std::string(name) + (inTheFirstSecond ? " in the first second" : ""));
            LobbyHarness h;
            JoinWithOurRomUnderAnotherName(h);
            ASSERT_EQ(h.program->client.localRomFile, "Mine.smc");

            h.Private("Hoster", "K-Hub-3|START|10.0.0.5");
            // The wrong file is parked at once, the ROM takes the host's name a second later.
            EXPECT_EQ(ReadFile(h.romDir / "K-HUB_TEMPFILE"), "a different game");
            if (inTheFirstSecond) {
                h.Advance(500);
                end(h);
                EXPECT_EQ(ReadFile(h.romDir / "Their.smc"), "a different game");
                h.Advance(40000);
                EXPECT_TRUE(h.spawns.empty());
                EXPECT_TRUE(h.ui.Boxes().empty());
                EXPECT_EQ(ReadFile(h.romDir / "Mine.smc"), "123456789");
                EXPECT_EQ(ReadFile(h.romDir / "Their.smc"), "a different game");
                continue;
            }
            h.Advance(1000);
            EXPECT_EQ(ReadFile(h.romDir / "Their.smc"), "123456789");
            h.Advance(5999);
            EXPECT_TRUE(h.spawns.empty());
            h.Advance(1);
            ASSERT_EQ(h.spawns.size(), 1u);
            EXPECT_EQ(h.spawns[0], (V{"/opt/emu/VOLTAW", "/UCLQ2", "Me",
                                      (h.romDir / "Their.smc").string(), "10.0.0.5"}));

            if (end) end(h);
            h.Advance(29999);
            EXPECT_EQ(ReadFile(h.romDir / "Their.smc"), "123456789");
            h.Advance(1);
            EXPECT_EQ(ReadFile(h.romDir / "Mine.smc"), "123456789");
            EXPECT_FALSE(std::filesystem::exists(h.romDir / "Their.smc"));
            h.Advance(1000);
            EXPECT_EQ(ReadFile(h.romDir / "Their.smc"), "a different game");
            EXPECT_FALSE(std::filesystem::exists(h.romDir / "K-HUB_TEMPFILE"));
        }
    }
}

// Quitting gives back names that are still lent out, and only those: once they came back,
// the host's name is the other game's again, even when our own file has gone meanwhile.
TEST(JoinGameCases, QuittingRestoresOnlyNamesStillLentOut) {
    for (bool restoredBefore : {false, true}) {
        SCOPED_TRACE(restoredBefore ? "restored before" : "lent out");
        LobbyHarness h;
        JoinWithOurRomUnderAnotherName(h);
        h.Private("Hoster", "K-Hub-3|START|10.0.0.5");
        h.Advance(restoredBefore ? 40000 : 7000);
        ASSERT_EQ(h.spawns.size(), 1u);
        if (restoredBefore) std::filesystem::remove(h.romDir / "Mine.smc");
        h.program.reset();  // quit
        EXPECT_EQ(ReadFile(h.romDir / "Their.smc"), "a different game");
        EXPECT_EQ(std::filesystem::exists(h.romDir / "Mine.smc"), !restoredBefore);
        EXPECT_FALSE(std::filesystem::exists(h.romDir / "K-HUB_TEMPFILE"));
    }
}

TEST_F(JoinGameTest, RenamesNeverDestroyAFile) {
    JoinWithOurRomUnderAnotherName(h);
    WriteFile(h.romDir / "K-HUB_TEMPFILE", "left from a crash");
    h.Private("Hoster", "K-Hub-3|START|10.0.0.5|1");
    h.Advance(60000);
    EXPECT_TRUE(h.spawns.empty());
    EXPECT_EQ(ReadFile(h.romDir / "Mine.smc"), "123456789");
    EXPECT_EQ(ReadFile(h.romDir / "Their.smc"), "a different game");
    EXPECT_EQ(ReadFile(h.romDir / "K-HUB_TEMPFILE"), "left from a crash");
    EXPECT_FALSE(h.ui.Boxes().empty());
}

TEST_F(JoinGameTest, TheScanRunsOnAWorkerAndOnlyItsOwnGameHearsTheAnswer) {
    h.holdWorkerJobs = true;
    auto& jobs = h.heldJobs;
    auto runOnThread = [&](std::function<void()>& job) {
        std::thread(job).join();
        h.loop.RunPending();
    };
    h.JoinGame("Hoster");
    for (int i = 0; i < 20; ++i)
        WriteFile(h.romDir / ("rom" + std::to_string(i)), "x" + std::to_string(i));
    WriteFile(h.romDir / "match.smc", "123456789");

    h.Private("Hoster", "K-Hub-3|GAME|Wanted.smc|CBF43926|0");
    ASSERT_EQ(jobs.size(), 1u);
    // Meanwhile the lobby goes on: chat and announcements are handled.
    EXPECT_TRUE(lobby::HandlePartnerChat(*h.program, "Hoster", "still there?"));
    h.Channel("Other", "K-Hub-3|HOST|Other Game");
    EXPECT_EQ(h.program->games.Size(), 2);

    runOnThread(jobs[0]);
    EXPECT_EQ(h.TakeSent(), V{"NOTICE Hoster :K-Hub-3|MATCH|YES\r\n"});
    EXPECT_EQ(h.ui.Progress(WindowId::JoinGame, control::kJoinProgress), std::optional<int>(0));

    // A newer GAME replaces the running scan; a closed window hears no answer at all.
    h.Private("Hoster", "K-Hub-3|GAME|A.smc|12345678|0");
    std::shared_ptr<ScanJob> replaced = h.program->lobby.scan;
    h.Private("Hoster", "K-Hub-3|GAME|B.smc|CBF43926|0");
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_TRUE(replaced->cancel);  // it stops reading the folder
    runOnThread(jobs[1]);
    JoinCancel(*h.program);
    EXPECT_EQ(h.TakeSent(), V{"NOTICE Hoster :K-Hub-3|LEFT\r\n"});
    runOnThread(jobs[2]);
    EXPECT_TRUE(h.sent.empty());

    // Nor does a kicked client answer: the kick ends the scan.
    h.JoinGame("Hoster");
    h.Private("Hoster", "K-Hub-3|GAME|Wanted.smc|CBF43926|0");
    h.Private("Hoster", "K-Hub-3|KICK");
    ASSERT_EQ(jobs.size(), 4u);
    runOnThread(jobs[3]);
    EXPECT_TRUE(h.sent.empty());
    EXPECT_EQ(h.program->client.localRomFile, "");
}

TEST_F(JoinGameTest, StartWaitsForTheRomCheckAndTheStartBeforeItAndKeepsTheNamesLent) {
    h.holdWorkerJobs = true;
    auto& jobs = h.heldJobs;
    JoinWithOurRomUnderAnotherName(h);
    h.Private("Hoster", "K-Hub-3|START|10.0.0.5");
    EXPECT_EQ(ReadFile(h.romDir / "Their.smc"), "a different game");

    // The check answers first, then the START it held back acts: park, rename, launch.
    ASSERT_EQ(jobs.size(), 1u);
    jobs[0]();
    h.loop.RunPending();
    EXPECT_EQ(h.TakeSent(), V{"NOTICE Hoster :K-Hub-3|MATCH|YES\r\n"});
    EXPECT_EQ(ReadFile(h.romDir / "K-HUB_TEMPFILE"), "a different game");

    // A START during the six seconds waits for the first launch and then starts once more,
    // also when the host changed its nick meanwhile.
    h.Advance(3000);
    h.Private("Hoster", "K-Hub-3|START|10.0.0.7");
    HandleNickChange(*h.program, "Hoster", "Host2");
    h.Advance(4000);
    ASSERT_EQ(h.spawns.size(), 1u);
    EXPECT_EQ(h.spawns[0].back(), "10.0.0.5");
    h.Advance(7000);
    ASSERT_EQ(h.spawns.size(), 2u);
    EXPECT_EQ(h.spawns[1].back(), "10.0.0.7");
    EXPECT_EQ(ReadFile(h.romDir / "Their.smc"), "123456789");

    // The host starts again while the first start's names are still lent out; the third
    // emulator must still open our ROM under the host's name, after the first restore time.
    h.Advance(21000);
    h.Private("Host2", "K-Hub-3|START|10.0.0.5");
    h.Advance(6999);
    EXPECT_EQ(h.spawns.size(), 2u);
    h.Advance(1);
    ASSERT_EQ(h.spawns.size(), 3u);
    EXPECT_EQ(ReadFile(h.romDir / "Their.smc"), "123456789");
    EXPECT_EQ(ReadFile(h.romDir / "K-HUB_TEMPFILE"), "a different game");

    // A START held back dies with the game.
    h.Private("Host2", "K-Hub-3|GAME|Their.smc|CBF43926|0");
    h.Private("Host2", "K-Hub-3|START|10.0.0.9");
    JoinCancel(*h.program);
    ASSERT_EQ(jobs.size(), 2u);
    jobs[1]();
    h.Advance(60000);
    EXPECT_EQ(h.spawns.size(), 3u);
    EXPECT_EQ(ReadFile(h.romDir / "Mine.smc"), "123456789");
    EXPECT_EQ(ReadFile(h.romDir / "Their.smc"), "a different game");
    EXPECT_FALSE(std::filesystem::exists(h.romDir / "K-HUB_TEMPFILE"));
}

TEST_F(LobbyRulesTest, HostAndAnnounceCountOnlyFromTheirLevelUp) {
    h.levels["Plain"] = 0;
    h.levels["Stranger"] = -1;  // not in the user list
    // A plain member's HOST is no lobby message for us: the dispatcher shows it as text.
    EXPECT_FALSE(h.Channel("Plain", "K-Hub-3|HOST|Nope"));
    EXPECT_FALSE(h.Private("Plain", "K-Hub-3|HOST|Nope"));
    EXPECT_FALSE(h.Channel("Stranger", "K-Hub-3|HOST|Nope"));

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

    // Announcements need an operator.
    h.levels["Op"] = 3;
    EXPECT_FALSE(h.Channel("Voiced", "K-Hub-3|ANNOUNCE|hello all"));
    EXPECT_FALSE(h.Private("Voiced", "K-Hub-3|ANNOUNCE|hello"));
    EXPECT_TRUE(h.Channel("Op", "K-Hub-3|ANNOUNCE|hello all"));
    EXPECT_TRUE(h.Private("Op", "K-Hub-3|ANNOUNCE|psst"));
    EXPECT_EQ(h.ui.Boxes(), (std::vector<std::pair<std::string, BoxIcon>>{
                                {"Announcement:\r\n\r\n\thello all", BoxIcon::Information},
                                {"Notice:\r\n\r\n\tpsst", BoxIcon::Information}}));
}

TEST_F(LobbyRulesTest, PlayerListsRefuseBySubstringButNeverOperators) {
    CIni ini = h.program->Settings();
    ini.SetString("options", "blacklist", "Bobby,Tom2");
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
    h.levels["Plain"] = 0;
    CIni(h.program->settingsFilePath).SetString("options", "blacklist", "Evil");

    // No game hosted yet: a CLIENT changes nothing.
    EXPECT_TRUE(h.Private("Joe", "K-Hub-3|CLIENT"));
    EXPECT_EQ(h.program->games.Size(), 0);

    h.HostGame();
    EXPECT_FALSE(h.Private("Plain", "K-Hub-3|CLIENT"));  // needs voice
    EXPECT_TRUE(h.Private("Evil", "K-Hub-3|CLIENT"));    // refused, no answer
    EXPECT_TRUE(h.Private("Joe", "K-Hub-3|CLIENT"));
    EXPECT_EQ(h.TakeSent(), V{"WALLVOICES #K-HubI :K-Hub-3|HOST|Mario Kart|Joe\r\n"});
    EXPECT_EQ(h.program->games.Rows()[0], (GameRow{"Mario Kart", "Me", "2/2"}));
    EXPECT_EQ(h.Chat(WindowId::HostGame), V{"Joe has joined.\r\n"});
    EXPECT_TRUE(h.Enabled(WindowId::HostGame, control::kKick));

    EXPECT_TRUE(h.Private("Other", "K-Hub-3|MATCH|YES"));
    EXPECT_FALSE(h.Enabled(WindowId::HostGame, control::kStart));
    EXPECT_TRUE(h.Private("Other", "K-Hub-3|LEFT"));
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
    EXPECT_EQ(h.program->games.Rows()[0].players, "1/2");
    EXPECT_FALSE(h.Enabled(WindowId::HostGame, control::kStart));
    h.Advance(2999);
    EXPECT_TRUE(h.sent.empty());
    h.Advance(1);
    EXPECT_EQ(h.TakeSent(), V{"WALLVOICES #K-HubI :K-Hub-3|HOST|Mario Kart\r\n"});

    // A client that changes its nick stays ours; when it quits, the slot is free at once.
    h.Private("Joe", "K-Hub-3|CLIENT");
    lobby::HandleNickChange(*h.program, "Joe", "Joey");
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

    h.HostGame("Real Game");
    // The ROM of the cancelled dialog is not offered to this game's client.
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

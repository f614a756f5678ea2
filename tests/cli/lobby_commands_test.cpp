#include <gtest/gtest.h>

#include <fstream>

#include "CliFixture.h"
#include "platform/System.h"

namespace khub {
namespace {

// The terminal's lobby commands, run on the test thread as the lobby thread would run them.
class LobbyCommandsTest : public khub::testing::CliFixture {
  protected:
    LobbyCommandsTest() {
        app.program().conn.ownNick = "Me";
        app.program().links.userLevel = [](const std::string&) { return 1; };
    }
};

TEST_F(LobbyCommandsTest, ButtonsOfClosedWindowsAndGreyItemsAreRefused) {
    app.Execute("create Some Game");
    EXPECT_TRUE(Printed("refused: create (Game > Create is disabled)"));
    for (const char* cmd : {"start", "kick"}) {
        app.Execute(cmd);
        EXPECT_TRUE(Printed(std::string("refused: ") + cmd + " (no Host Game window)"));
    }
    app.Execute("say hi");
    EXPECT_TRUE(Printed("refused: say (no game window is open)"));
    app.Execute("join Nobody");
    EXPECT_TRUE(Printed("refused: join (no game is hosted by Nobody)"));
    app.Execute("close");
    EXPECT_TRUE(Printed("refused: close (no game window is open)"));
    EXPECT_TRUE(sent.empty());
}

TEST_F(LobbyCommandsTest, CreateChatAndClose) {
    app.ui().SetMenuItem(menu::kCreate, "", true);  // as when our nick is voiced
    app.Execute("create abc");
    EXPECT_TRUE(Printed("refused: create (the game name needs at least 4 characters)"));
    EXPECT_TRUE(app.ui().MenuEnabled(menu::kCreate));
    if (!platform::kWindowsBuild) {  // where the name of a file may hold a |
        const auto odd = dir.path() / "Odd|Name.smc";
        std::ofstream(odd) << "rom";
        app.Execute("create Odd Game --rom " + odd.string());
        EXPECT_TRUE(Printed("refused: create (the ROM was refused)"));
        EXPECT_TRUE(sent.empty());
        EXPECT_TRUE(app.ui().MenuEnabled(menu::kCreate));
    }

    app.Execute("create Mario Kart --no-download");
    EXPECT_EQ(sent, std::vector<std::string>{"WALLVOICES #K-HubI :K-Hub-3|HOST|Mario Kart\r\n"});
    EXPECT_TRUE(app.program().host.disableDownload);
    app.Execute("games");
    EXPECT_TRUE(PrintedSoFar("game: Mario Kart\tMe\t1/2"));
    EXPECT_EQ(Output().back(), "games: 1");

    app.Execute("start");
    EXPECT_TRUE(Printed("refused: start (Start is disabled)"));
    app.Execute("select /no/such/file.smc");
    EXPECT_TRUE(Printed("refused: select (no such file: /no/such/file.smc)"));
    sent.clear();
    app.Execute("say hello there");
    EXPECT_EQ(sent, std::vector<std::string>{"PRIVMSG  :hello there\r\n"});
    EXPECT_TRUE(Printed("chat: <Me> hello there"));
    app.Execute("close");
    EXPECT_TRUE(Printed("window: close host"));
    EXPECT_EQ(app.program().games.Size(), 0);
}

}  // namespace
}  // namespace khub

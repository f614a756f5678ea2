// The terminal front end, writing to a string, with the lines it would send to the server
// collected instead and its settings file in a fresh temporary folder. Its commands run on
// the test thread as the lobby thread would run them.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CliApp.h"
#include "ircu/TempDir.h"
#include "platform/System.h"
#include "transfer/Transfer.h"

namespace khub {
namespace {

using test::WriteFileBytes;

class CliAppTest : public ::testing::Test {
  protected:
    CliAppTest() : app(out, path) {
        app.program().links.sendLine = [this](const std::string& line) {
            sent.push_back(line);
            return true;
        };
        app.program().conn.ownNick = "Me";
        app.program().links.userLevel = [](const std::string&) { return 1; };
    }
    // Runs the terminal on input; its output stays for PrintedSoFar.
    void RunWith(const std::string& input) {
        std::istringstream in(input);
        EXPECT_EQ(app.Run(in), 0);
    }
    // Output since the last call, one entry per line.
    std::vector<std::string> Output() {
        std::vector<std::string> lines;
        std::istringstream in(out.str());
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        out.str("");
        return lines;
    }
    // Whether the line came out since the last Output(), leaving the output as it is.
    bool PrintedSoFar(const std::string& line) const {
        return ("\n" + out.str()).find("\n" + line + "\n") != std::string::npos;
    }
    // Whether the line came out since the last Output(), which it then clears.
    bool Printed(const std::string& line) {
        bool printed = PrintedSoFar(line);
        out.str("");
        return printed;
    }

    test::TempDir dir;
    std::string path = dir.File("K-Hub.ini");
    std::ostringstream out;
    CliApp app;
    std::vector<std::string> sent;
};

TEST_F(CliAppTest, StartsNotConnectedAndRefusesUnknownCommandsUntilQuit) {
    RunWith("bogus with args\n   \n\tbogus2\r\nquit\nnever-read\n");
    EXPECT_TRUE(PrintedSoFar("log: Settings ini set to: \"" + path + "\"."));
    EXPECT_TRUE(PrintedSoFar("refused: bogus (unknown command)"));
    auto lines = Output();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "title: K-Hub I - not connected");
    EXPECT_EQ(lines.back(), "refused: bogus2 (unknown command)");  // never-read is not read
}

TEST_F(CliAppTest, AMessageBoxOfSeveralParagraphsIsOneLine) {
    app.ui().ShowMessage("ERROR: It failed.\n\nChange \"x\".\r\n", BoxIcon::Error);
    EXPECT_EQ(Output().back(), "box: ERROR: It failed. Change \"x\".");
}

TEST_F(CliAppTest, EndOfInputEndsLikeQuitAndMissingSettingsSayWhatToSet) {
    RunWith("bogus");
    EXPECT_TRUE(PrintedSoFar("refused: bogus (unknown command)"));
    auto lines = Output();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
        return l.starts_with("log: Set playername, programpath and rompath") &&
               l.find(path) != std::string::npos;
    }));
}

TEST_F(CliAppTest, StartActsOnTheDecision) {
    std::ostringstream text;  // an app of its own, made after its settings were written
    WriteFileBytes(path, "[options]\nplayername=Player1\nprogrampath=/e\nrompath=/r\n");
    CliApp configured(text, path);
    EXPECT_EQ(configured.Start(), StartupAction::StayNotConnected);
    EXPECT_EQ(text.str().find("log: Set playername"), std::string::npos);
}

TEST_F(CliAppTest, HelpListsTheCommandsAndTheFiles) {
    app.AddCommand(
        "frobnicate", [](const std::string&) {}, "NAME  make NAME frobnicated");
    std::string help = app.HelpText();
    EXPECT_NE(help.find("  quit "), std::string::npos);
    EXPECT_NE(help.find("  frobnicate        NAME  make NAME frobnicated\n"), std::string::npos);
    EXPECT_NE(help.find(path), std::string::npos);
    // Windows guards the single instance with a named mutex, not a file.
    EXPECT_EQ(help.find(dir.File("K-Hub.lock")) != std::string::npos, !platform::kWindowsBuild);
}

TEST_F(CliAppTest, ButtonsOfClosedWindowsAndGreyItemsAreRefused) {
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

TEST_F(CliAppTest, CreateChatAndClose) {
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

// Refused without their windows or while Download is disabled; once enabled, Download asks
// the host and the window shows its progress.
TEST_F(CliAppTest, DownloadAndCloseTransfer) {
    app.Execute("download");
    EXPECT_TRUE(PrintedSoFar("refused: download (no Join Game window)"));
    app.Execute("close-transfer");
    EXPECT_TRUE(PrintedSoFar("refused: close-transfer (no File Transfer window)"));

    app.program().windows.client = true;
    app.program().client.joinedHostNick = "Alice";
    app.ui().EnableControl(WindowId::JoinGame, control::kDownload, false);
    app.Execute("download");
    EXPECT_TRUE(Printed("refused: download (Download is disabled)"));
    EXPECT_TRUE(sent.empty());
    EXPECT_FALSE(app.program().client.downloadRequested);

    app.ui().EnableControl(WindowId::JoinGame, control::kDownload, true);
    app.Execute("download");
    EXPECT_EQ(sent, std::vector<std::string>{"NOTICE Alice :K-Hub-3|GET\r\n"});
    EXPECT_TRUE(app.program().client.downloadRequested);

    transfer::OpenTransferWindow(app.program());
    EXPECT_TRUE(PrintedSoFar("window: open transfer"));
    EXPECT_TRUE(PrintedSoFar("progress: 0"));
    app.ui().SetControlText(WindowId::FileTransfer, control::kTransferDetail, "1.0 MB of 4.0 MB");
    app.ui().SetProgress(WindowId::FileTransfer, control::kTransferProgress, 25);
    EXPECT_TRUE(PrintedSoFar("progress: 25 (1.0 MB of 4.0 MB)"));
    // The open window locks Download; closing it gives Download back.
    app.Execute("download");
    EXPECT_TRUE(PrintedSoFar("refused: download (Download is disabled)"));
    app.Execute("close-transfer");
    EXPECT_TRUE(PrintedSoFar("window: close transfer"));
    EXPECT_TRUE(app.ui().ControlEnabled(WindowId::JoinGame, control::kDownload));
}

}  // namespace
}  // namespace khub

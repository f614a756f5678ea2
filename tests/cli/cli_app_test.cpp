#include <algorithm>

#include "CliFixture.h"
#include "platform/System.h"

using khub::CliApp;
using khub::StartupAction;
using khub::test::WriteFileBytes;

namespace {

class CliAppTest : public khub::testing::CliFixture {
  protected:
    // Runs the terminal on input; its output stays for PrintedSoFar.
    void RunWith(const std::string& input) {
        std::istringstream in(input);
        EXPECT_EQ(app.Run(in), 0);
    }

    std::string path = dir.File("K-Hub.ini");
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
    app.ui().ShowMessage("ERROR: It failed.\n\nChange \"x\".\r\n", khub::BoxIcon::Error);
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
    EXPECT_EQ(help.find(dir.File("K-Hub.lock")) != std::string::npos,
              !khub::platform::kWindowsBuild);
}

}  // namespace

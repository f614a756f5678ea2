#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "CliFixture.h"
#include "platform/System.h"

using khub::CliApp;
using khub::StartupAction;
using khub::test::WriteFileBytes;

namespace {

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class CliAppTest : public khub::testing::CliFixture {
  protected:
    std::vector<std::string> RunWith(const std::string& input) {
        std::istringstream in(input);
        EXPECT_EQ(app.Run(in), 0);
        return Output();
    }

    std::string path = dir.File("K-Hub.ini");
};

TEST_F(CliAppTest, StartsNotConnectedAndRefusesUnknownCommandsUntilQuit) {
    auto lines = RunWith("bogus with args\n   \n\tbogus2\r\nquit\nnever-read\n");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "title: K-Hub I - not connected");
    EXPECT_TRUE(Contains(lines, "log: Settings ini set to: \"" + path + "\"."));
    EXPECT_TRUE(Contains(lines, "refused: bogus (unknown command)"));
    EXPECT_TRUE(Contains(lines, "refused: bogus2 (unknown command)"));
    EXPECT_FALSE(Contains(lines, "refused: never-read (unknown command)"));
    EXPECT_EQ(lines.back(), "refused: bogus2 (unknown command)");
}

TEST_F(CliAppTest, AMessageBoxOfSeveralParagraphsIsOneLine) {
    app.ui().ShowMessage("ERROR: It failed.\n\nChange \"x\".\r\n", khub::BoxIcon::Error);
    EXPECT_EQ(Output().back(), "box: ERROR: It failed. Change \"x\".");
}

TEST_F(CliAppTest, EndOfInputEndsLikeQuitAndMissingSettingsSayWhatToSet) {
    auto lines = RunWith("bogus");
    EXPECT_TRUE(Contains(lines, "refused: bogus (unknown command)"));
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

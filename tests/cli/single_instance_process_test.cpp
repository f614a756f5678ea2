#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "ircu/TempDir.h"
#include "support/CliProcess.h"

namespace {

using khub::test::CliProcess;
using khub::test::TempDir;

bool PrintsAnything(CliProcess& cli) {
    return cli.WaitFor([](const std::string&) { return true; }).has_value();
}

TEST(SingleInstanceProcess, SecondCopyEndsAtOnceAndAKilledCopyDoesNotBlock) {
    TempDir home;
    CliProcess first(home.path(), {});
    ASSERT_TRUE(first.WaitForLine("title: K-Hub I - not connected")) << first.ErrorOutput();

    CliProcess second(home.path(), {});
    EXPECT_FALSE(PrintsAnything(second));  // no title: it never started
    EXPECT_NE(second.WaitForExit().value_or(0), 0);
    EXPECT_NE(second.ErrorOutput().find("already running"), std::string::npos);

    // The first copy is undisturbed.
    first.Send("bogus");
    EXPECT_TRUE(first.WaitForLine("refused: bogus (unknown command)")) << first.OutputText();

    // Another settings folder is another profile: it runs beside the first.
    TempDir otherHome;
    CliProcess beside(otherHome.path(), {});
    EXPECT_TRUE(beside.WaitForLine("title: K-Hub I - not connected"));

    ::kill(first.pid(), SIGKILL);
    ASSERT_TRUE(first.WaitForExit());
    CliProcess third(home.path(), {});
    EXPECT_TRUE(third.WaitForLine("title: K-Hub I - not connected")) << third.ErrorOutput();
    third.CloseInput();
    EXPECT_EQ(third.WaitForExit(), 0);
}

TEST(CliArguments, VersionHelpAndUnknown) {
    TempDir home;
    const std::string config = home.path().string();

    CliProcess version(home.path(), {"--version"});
    EXPECT_TRUE(version.WaitForLine(std::string("k-hub-cli ") + KHUB_VERSION));
    EXPECT_EQ(version.WaitForExit(), 0);

    CliProcess help(home.path(), {"--help"});
    EXPECT_EQ(help.WaitForExit(), 0);
    help.WaitFor([](const std::string&) { return false; });  // to the end of its output
    const std::string text = help.OutputText();
    EXPECT_TRUE(text.starts_with("Usage: k-hub-cli")) << text;
    EXPECT_NE(text.find("  quit "), std::string::npos);
    EXPECT_NE(text.find(config + "/K-Hub I/K-Hub.ini"), std::string::npos);
    EXPECT_NE(text.find(config + "/K-Hub I/K-Hub.lock"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(config + "/K-Hub I"));  // --help creates nothing

    CliProcess wrong(home.path(), {"--frobnicate"});
    EXPECT_FALSE(PrintsAnything(wrong));
    EXPECT_EQ(wrong.WaitForExit(), 2);
    EXPECT_NE(wrong.ErrorOutput().find("--frobnicate"), std::string::npos);
}

}  // namespace

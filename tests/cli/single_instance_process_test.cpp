#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "ircu/TempDir.h"
#include "support/CliProcess.h"

namespace {

using namespace std::chrono_literals;
using khub::test::CliProcess;
using khub::test::TempDir;

// k-hub-cli on the settings folder home, with its error output among its lines.
struct Cli : CliProcess {
    Cli(const TempDir& home, std::vector<std::string> args = {})
        : CliProcess((args.insert(args.begin(),
                                  {"/usr/bin/env", "XDG_CONFIG_HOME=" + home.path().string(),
                                   "/bin/sh", "-c", "exec \"$0\" \"$@\" 2>&1", KHUB_CLI_PATH}),
                      args)) {}

    bool Says(const std::string& text) { return WaitForText(text, 20s, 0).has_value(); }
    // The exit code once the program has ended, -1 when it has not.
    int ExitCode() { return WaitForExit(20s).value_or(-1); }
};

TEST(SingleInstanceProcess, SecondCopyEndsAtOnceAndAKilledCopyDoesNotBlock) {
    TempDir home;
    Cli first(home);
    ASSERT_TRUE(first.Says("title: K-Hub I - not connected")) << first.OutputText();

    Cli second(home);
    EXPECT_NE(second.ExitCode(), 0);
    EXPECT_TRUE(second.Says("already running")) << second.FinalText();
    EXPECT_FALSE(second.Says("title:"));  // it never started

    // The first copy is undisturbed.
    first.Send("bogus");
    EXPECT_TRUE(first.Says("refused: bogus (unknown command)")) << first.OutputText();

    // Another settings folder is another profile: it runs beside the first.
    TempDir otherHome;
    Cli beside(otherHome);
    EXPECT_TRUE(beside.Says("title: K-Hub I - not connected"));

    first.Kill(SIGKILL);
    ASSERT_TRUE(first.WaitForExit(20s));
    Cli third(home);
    EXPECT_TRUE(third.Says("title: K-Hub I - not connected")) << third.OutputText();
    third.CloseInput();
    EXPECT_EQ(third.ExitCode(), 0);
}

// (--version is run on the installed copy, by the install test.)
TEST(CliArguments, HelpAndUnknown) {
    TempDir home;
    const std::string config = home.path().string();
    Cli help(home, {"--help"});
    EXPECT_EQ(help.ExitCode(), 0);
    const std::string text = help.FinalText();
    EXPECT_TRUE(text.starts_with("Usage: k-hub-cli")) << text;
    EXPECT_NE(text.find(config + "/K-Hub I/K-Hub.ini"), std::string::npos);
    EXPECT_NE(text.find(config + "/K-Hub I/K-Hub.lock"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(config + "/K-Hub I"));  // --help creates nothing

    Cli wrong(home, {"--frobnicate"});
    EXPECT_EQ(wrong.ExitCode(), 2);
    EXPECT_TRUE(wrong.Says("--frobnicate"));
    EXPECT_FALSE(wrong.Says("title:"));
}

}  // namespace

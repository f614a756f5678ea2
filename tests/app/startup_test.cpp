#include "app/Startup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <tuple>

#include "platform/System.h"
#include "platform/Utf8Path.h"
#include "support/IrcHarness.h"

#ifndef _WIN32
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace khub {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;
namespace fs = std::filesystem;

EnvLookup Env(std::map<std::string, std::string> vars) {
    return [vars](const char* name) -> std::optional<std::string> {
        auto it = vars.find(name);
        return it == vars.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
}

TEST(SettingsLocation, XdgConfigHomeThenHomeThenTheUserDatabaseAndErrorsReported) {
    SettingsLocation where = LocateSettingsFile(Env({}), false);  // the user database's home
    EXPECT_TRUE(fs::path(where.filePath).is_absolute()) << where.filePath;
    EXPECT_EQ(fs::path(where.filePath).filename(), "K-Hub.ini");
    if (platform::kWindowsBuild) GTEST_SKIP() << "the XDG folders are the POSIX systems' rule";
    TempDir dir;
    std::string xdg = (dir.path() / "xdg").string();
    std::string home = (dir.path() / "home").string();

    SettingsLocation a = LocateSettingsFile(Env({{"XDG_CONFIG_HOME", xdg}, {"HOME", home}}));
    EXPECT_EQ(a.filePath, xdg + "/K-Hub I/K-Hub.ini");
    EXPECT_TRUE(fs::is_directory(xdg + "/K-Hub I"));
    EXPECT_TRUE(a.folderError.empty());
    EXPECT_NE(a.howFound.find("XDG_CONFIG_HOME"), std::string::npos);

    // An empty or relative XDG_CONFIG_HOME does not count. Taken wrongly, it would make its
    // folder under the current one: that is the test's own folder, never the build's.
    struct WorkingIn {
        explicit WorkingIn(const fs::path& folder) { fs::current_path(folder); }
        ~WorkingIn() { fs::current_path(before); }
        fs::path before = fs::current_path();
    } workingIn(dir.path());
    for (const char* bad : {"", "relative/dir"}) {
        SettingsLocation b = LocateSettingsFile(Env({{"XDG_CONFIG_HOME", bad}, {"HOME", home}}));
        EXPECT_EQ(b.filePath, home + "/.config/K-Hub I/K-Hub.ini") << bad;
        EXPECT_TRUE(fs::is_directory(home + "/.config/K-Hub I"));
    }
    EXPECT_FALSE(fs::exists(dir.path() / "relative"));
    EXPECT_FALSE(fs::exists(dir.path() / "K-Hub I"));

    // A folder that cannot be made is reported.
    WriteFileBytes(dir.File("K-Hub I"), "a file where the folder should be");
    SettingsLocation c = LocateSettingsFile(Env({{"XDG_CONFIG_HOME", dir.path().string()}}));
    EXPECT_EQ(c.filePath, dir.File("K-Hub I") + "/K-Hub.ini");
    EXPECT_FALSE(c.folderError.empty());
}

#ifndef _WIN32
// Containers often run programs under a user id the password file does not know.
TEST(SettingsLocation, AUserWithoutHomeOrEntryGetsTheCurrentFolder) {
    if (::getuid() != 0) GTEST_SKIP() << "taking a user id without an entry needs root";
    uid_t unknown = 54321;
    while (::getpwuid(unknown)) ++unknown;
    TempDir dir;
    pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(dir.path().c_str()) != 0 || ::setuid(unknown) != 0) ::_exit(2);
        SettingsLocation where = LocateSettingsFile(Env({}), false);
        ::_exit(where.filePath == dir.File("K-Hub I/K-Hub.ini") ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the look-up crashed";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

#ifdef _WIN32
// Elevated or before Vista, the settings lie beside the program: its folder must be found.
TEST(SettingsLocation, TheProgramFolderHoldsTheRunningProgram) {
    std::string folder = platform::ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(fs::exists(PathFromUtf8(folder) / "test_app.exe")) << folder;
}
#endif

TEST(SettingsLocation, WindowsRule) {
    const std::string appData = "C:\\Users\\al\\AppData\\Roaming";
    const std::string programDir = "C:\\Games\\K-Hub\\";
    auto perUser = WindowsSettingsLocation(true, false, appData, programDir);
    EXPECT_EQ(perUser.filePath, appData + "\\K-Hub I\\K-Hub.ini");
    EXPECT_EQ(perUser.howFound,
              "Program is running on Vista or higher without Administrator rights.\r\n");
    for (auto [vista, elevated] : {std::pair{true, true}, {false, false}, {false, true}}) {
        auto beside = WindowsSettingsLocation(vista, elevated, appData, programDir);
        EXPECT_EQ(beside.filePath, "C:\\Games\\K-Hub\\K-Hub.ini");
        EXPECT_FALSE(beside.howFound.empty());  // the log tells which rule applied
    }
    EXPECT_EQ(WindowsSettingsLocation(true, false, "", programDir).filePath,
              "C:\\Games\\K-Hub\\K-Hub.ini");
}

class Startup : public ::testing::Test, public test::IrcHarness {
  protected:
    StartupAction Run(const std::string& fileContent) {
        WriteFileBytes(path, fileContent);
        return RunStartup(*program, {path, "How.\r\n", ""});
    }

    std::string path = dir.File("Start.ini");  // not yet the program's
};

const std::string kComplete =
    "[options]\nplayername=Player1\nprogrampath=/emu/VOLTAW.EXE\nrompath=/roms\n";

// From the three paths and "connect on startup".
TEST_F(Startup, Decision) {
    const std::tuple<const char*, std::string, StartupAction> rows[] = {
        {"EmptyFile", "", StartupAction::OpenOptions},
        {"RomPathMissingEvenWithConnect",
         "[options]\nplayername=Player1\nprogrampath=/e\nconnectonstartup=1\n",
         StartupAction::OpenOptions},
        {"PlayerNameOnlyBlanks",
         "[options]\nplayername=   \nprogrampath=/e\nrompath=/r\nconnectonstartup=1\n",
         StartupAction::OpenOptions},
        {"ProgramPathMissing", "[options]\nplayername=P\nrompath=/r\n", StartupAction::OpenOptions},
        {"CompleteWithoutConnect", kComplete, StartupAction::StayNotConnected},
        {"CompleteConnectYes", kComplete + "ConnectOnStartup=Yes\n", StartupAction::Connect}};
    for (const auto& [name, file, expected] : rows) EXPECT_EQ(Run(file), expected) << name;
}

TEST_F(Startup, TitleLogLinesAndPortDefaultsWrittenOnlyWhereTheyReadZero) {
    Run("");
    EXPECT_EQ(ui.MainTitle(), "K-Hub I - not connected");
    EXPECT_FALSE(program->forumUrl.empty());
    EXPECT_FALSE(program->rulesUrl.empty());
    auto lines = ui.Lines(WindowId::Debug, control::kDebugLog);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "How.\r\n");
    EXPECT_EQ(lines[1], "Settings ini set to: \"" + path + "\".\r\n");
    EXPECT_TRUE(ui.Boxes().empty());
    EXPECT_EQ(ReadFileBytes(path), "[options]\nstartport=4000\nendport=4010\n");

    Run("; mine\r\n[options]\r\nstartport=4005\r\nendport=0\r\n");
    EXPECT_EQ(ReadFileBytes(path), "; mine\r\n[options]\r\nstartport=4005\r\nendport=4010\r\n");

    Run("[options]\nstartport=abc\nendport=5000\n");
    EXPECT_EQ(ReadFileBytes(path), "[options]\nstartport=4000\nendport=5000\n");
}

TEST_F(Startup, InMemorySettingsLoaded) {
    Run("[HOST]\nplaysound=yes\nplaytextsound=0\nIP=192.168.100.100  extra\n");
    EXPECT_TRUE(program->playJoinSound);
    EXPECT_FALSE(program->playTextSound);
    EXPECT_EQ(program->ownIpText, "192.168.100.100");

    Run("[host]\nplaytextsound=TRUE\n");
    EXPECT_FALSE(program->playJoinSound);
    EXPECT_TRUE(program->playTextSound);
    EXPECT_EQ(program->ownIpText, "");
}

TEST_F(Startup, UnusableSettingsFolderWarnsAndStillDecides) {
    std::string inMissing = dir.File("missing/K-Hub.ini");
    StartupAction action = RunStartup(*program, {inMissing, "How.\r\n", "Permission denied"});
    EXPECT_EQ(action, StartupAction::OpenOptions);
    ASSERT_EQ(ui.Boxes().size(), 1u);
    EXPECT_EQ(ui.Boxes()[0].second, BoxIcon::Warning);
    EXPECT_NE(ui.Boxes()[0].first.find(dir.File("missing")), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.File("missing")));
}

}  // namespace
}  // namespace khub

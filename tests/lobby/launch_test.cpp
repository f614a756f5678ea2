#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "LobbyHarness.h"
#include "lobby/EmulatorCommand.h"
#include "platform/System.h"

namespace khub::lobby {
namespace {

using khub::testing::LobbyHarness;
using khub::testing::ReadFile;
using khub::testing::WriteFile;
using V = std::vector<std::string>;

TEST(LaunchTest, CommandLines) {
    // The ROM path is one argument, blanks and quotes and all; the host has no peer argument.
    // A Windows emulator on another system runs through the launcher and gets the ROM by the
    // name wine gives it.
    struct Row {
        const char* name;
        EmulatorRequest request;  // a drive letter: the Windows build's
        V argv;
    };
    const Row rows[] = {
        {"client",
         {"/e/VOLTAW", "wine", "T", 'C', "Player1", "/roms/my roms", "game.smc", "10.0.0.5"},
         {"/e/VOLTAW", "/TCLQ2", "Player1", "/roms/my roms/game.smc", "10.0.0.5"}},
        {"host, folder with its slash",
         {"/e/VOLTAW", "wine", "U", 'S', "Host", "/roms/", "game.smc", ""},
         {"/e/VOLTAW", "/USLQ2", "Host", "/roms/game.smc"}},
        {"exe through wine",
         {"/opt/My Emu/VoltaW.Exe", "wine", "T", 'C', "Player1", "/home/p/my roms",
          "a \"b\" (J).smc", "10.0.0.5"},
         {"wine", "/opt/My Emu/VoltaW.Exe", "/TCLQ2", "Player1",
          "Z:\\home\\p\\my roms\\a \"b\" (J).smc", "10.0.0.5"}},
        {"exe, relative folder",
         {"/e/VOLTAW.EXE", "/usr/bin/wine64", "U", 'S', "Host", "roms/", "g.smc", ""},
         {"/usr/bin/wine64", "/e/VOLTAW.EXE", "/USLQ2", "Host", "roms\\g.smc"}},
        {"exe, no launcher",
         {"/e/VOLTAW.EXE", "", "U", 'S', "Host", "/roms", "g.smc", ""},
         {"/e/VOLTAW.EXE", "/USLQ2", "Host", "/roms/g.smc"}},
        {"not an exe",
         {"/e/voltaw-exe", "wine", "U", 'S', "Host", "/roms", "g.smc", ""},
         {"/e/voltaw-exe", "/USLQ2", "Host", "/roms/g.smc"}},
        {"Windows build",
         {"C:\\Emu\\VOLTAW.EXE", "wine", "T", 'C', "Player1", "C:\\My ROMs", "g.smc", "10.0.0.5"},
         {"C:\\Emu\\VOLTAW.EXE", "/TCLQ2", "Player1", "C:\\My ROMs\\g.smc", "10.0.0.5"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const bool windowsBuild = row.request.programPath.starts_with("C:");
        EmulatorCommand command = BuildEmulatorCommand(row.request, windowsBuild);
        EXPECT_EQ(command.argv, row.argv);
        EXPECT_EQ(command.program, row.argv[0]);
        EXPECT_EQ(command.throughLauncher, row.argv[0] != row.request.programPath);
    }
    EmulatorCommand wine = BuildEmulatorCommand(rows[2].request, false);
    EXPECT_EQ(ShownCommandLine(wine),
              "wine /opt/My Emu/VoltaW.Exe /TCLQ2 Player1 \"Z:\\home\\p\\my roms\\a \"b\" "
              "(J).smc\" 10.0.0.5");
}

// The emulator really started. When it cannot start or the ROM folder is missing, the box
// says which setting to change and where, besides the log line.
class RealLaunchTest : public ::testing::Test {
  protected:
    void SetUp() override { h.program->links.process = nullptr; }  // really start it
    void Set(const char* key, const std::string& value) {
        CIni(h.program->settingsFilePath).SetString("options", key, value);
    }
    std::string OnlyBox() {
        EXPECT_EQ(h.ui.Boxes().size(), 1u);
        if (h.ui.Boxes().empty()) return {};
        EXPECT_EQ(h.ui.Boxes()[0].second, BoxIcon::Error);
        return h.ui.Boxes()[0].first;
    }
    std::string Hint(const std::string& label, const std::string& key) const {
        return "\n\nChange \"" + label + "\" in File > Options... (key \"" + key +
               "\" in section [options] of \"" + h.program->settingsFilePath + "\").";
    }
    LobbyHarness h;
};

TEST_F(RealLaunchTest, AMissingEmulatorOrRomFolderIsReportedWithTheSettingToChange) {
    const auto missing = h.dir.path() / "no-such-emulator", plain = h.dir.path() / "VOLTAW";
    WriteFile(plain, "#!/bin/sh\n");
    std::filesystem::permissions(
        plain, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::vector<std::pair<std::filesystem::path, const char*>> rows = {
        {h.romDir, "it is a folder, not a program."}};
    // Not even root may run a file without an execute bit; Windows has no such bit.
    if (!platform::kWindowsBuild) rows.emplace_back(plain, "the file is not executable.");
    rows.emplace_back(missing, "the file does not exist.");  // last: its log line is checked
    for (const auto& [path, reason] : rows) {
        h.ui.Clear();
        Set("programpath", path.string());
        EXPECT_FALSE(LaunchEmulator(*h.program, 'S', "x.smc", ""));
        EXPECT_EQ(OnlyBox(), "ERROR: The emulator \"" + path.string() +
                                 "\" could not be started: " + reason +
                                 Hint("Path to VOLTA program", "programpath"));
    }
    if (!platform::kWindowsBuild) {  // Windows words it by its version
        EXPECT_TRUE(h.LogHas("The emulator could not be started: No such file or directory\r\n"));
    }

    std::filesystem::permissions(plain, std::filesystem::perms::owner_all);
    Set("programpath", plain.string());
    h.ui.Clear();
    const std::string folder = (h.dir.path() / "gone").string();
    Set("rompath", folder);
    // The system blames the program for a missing working folder; the box must not.
    EXPECT_FALSE(LaunchEmulator(*h.program, 'C', "x.smc", "10.0.0.5"));
    EXPECT_EQ(OnlyBox(), "ERROR: The ROM folder \"" + folder +
                             "\" does not exist, so the emulator could not be started." +
                             Hint("Path to ROM images", "rompath"));

    // So does a host's choice of game, and the host still gets its answer.
    h.JoinGame("Hoster");
    h.ui.Clear();
    h.Private("Hoster", "K-Hub-3|GAME|Their.smc|CBF43926|0");
    EXPECT_EQ(OnlyBox(), "ERROR: The ROM folder \"" + folder +
                             "\" does not exist, so the host's game can be neither found nor "
                             "downloaded." +
                             Hint("Path to ROM images", "rompath"));
    EXPECT_EQ(h.TakeSent(), std::vector<std::string>{"NOTICE Hoster :K-Hub-3|MATCH|NO\r\n"});

    // A folder that is there says nothing.
    h.ui.Clear();
    Set("rompath", h.romDir.string());
    h.Private("Hoster", "K-Hub-3|GAME|Their.smc|CBF43926|0");
    EXPECT_TRUE(h.ui.Boxes().empty());
}

#ifndef _WIN32
TEST_F(RealLaunchTest, AWindowsEmulatorStartsThroughTheWineOnPath) {
    // A wine that writes its working folder and, once they are whole, its arguments.
    auto bin = h.dir.path() / "bin", args = bin / "wine.args";
    std::filesystem::create_directories(bin);
    WriteFile(bin / "wine",
              "#!/bin/sh\npwd > \"$0.cwd\"\nprintf '%s\\n' \"$@\" > \"$0.tmp\"\n"
              "mv \"$0.tmp\" \"$0.args\"\n");
    std::filesystem::permissions(bin / "wine", std::filesystem::perms::owner_all);
    auto emulator = h.dir.path() / "Emu Dir" / "VOLTAW.EXE";
    std::filesystem::create_directories(emulator.parent_path());
    WriteFile(emulator, "MZ");  // wine needs no execute bit
    Set("programpath", emulator.string());
    const std::string oldPath = std::getenv("PATH");
    auto launchWithPath = [&](const std::string& path, char role, const std::string& rom) {
        ::setenv("PATH", path.c_str(), 1);
        bool started = LaunchEmulator(*h.program, role, rom, role == 'C' ? "10.0.0.5" : "");
        ::setenv("PATH", oldPath.c_str(), 1);
        return started;
    };
    ASSERT_TRUE(launchWithPath(bin.string() + ":/usr/bin:/bin", 'C', "Pokémon \"J\".smc"));
    std::string romPath = (h.romDir / "Pokémon \"J\".smc").string();
    std::replace(romPath.begin(), romPath.end(), '/', '\\');
    for (int i = 0; i < 500 && !std::filesystem::exists(args); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(ReadFile(args), emulator.string() + "\n/UCLQ2\nMe\nZ:" + romPath + "\n10.0.0.5\n");
    EXPECT_EQ(ReadFile(bin / "wine.cwd"), h.romDir.string() + "\n");

    // Without wine the player learns what to install; wine would not say that the Windows
    // program is missing, so the lobby does.
    EXPECT_FALSE(launchWithPath(h.romDir.string(), 'S', "x.smc"));
    ASSERT_EQ(h.ui.Boxes().size(), 1u);
    EXPECT_THAT(h.ui.Boxes()[0].first, ::testing::HasSubstr("apt-get install wine"));
    EXPECT_THAT(h.ui.Boxes()[0].first, ::testing::HasSubstr("\"launcher\" in section [options]"));
    std::filesystem::remove(args);
    std::filesystem::remove(emulator);
    EXPECT_FALSE(launchWithPath(bin.string(), 'S', "x.smc"));
    ASSERT_EQ(h.ui.Boxes().size(), 2u);
    EXPECT_THAT(h.ui.Boxes()[1].first,
                ::testing::HasSubstr("could not be started: the file does not exist."));
    EXPECT_FALSE(std::filesystem::exists(args));
}
#endif  // wine starts Windows programs on other systems

}  // namespace
}  // namespace khub::lobby

// When the emulator cannot start or the ROM folder is missing, the box says which setting
// to change and where, besides the log line.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "LobbyHarness.h"
#include "platform/System.h"

namespace khub::lobby {
namespace {

using khub::testing::LobbyHarness;
using khub::testing::WriteFile;

class SettingErrorsTest : public ::testing::Test {
  protected:
    void SetUp() override { h.program.links.process = nullptr; }  // really start it
    void Set(const char* key, const std::string& value) {
        CIni(h.program.settingsFilePath).SetString("options", key, value);
    }
    std::string OnlyBox() {
        EXPECT_EQ(h.ui.Boxes().size(), 1u);
        if (h.ui.Boxes().empty()) return {};
        EXPECT_EQ(h.ui.Boxes()[0].second, BoxIcon::Error);
        return h.ui.Boxes()[0].first;
    }
    std::string ProgramHint() const {
        return "\n\nChange \"Path to VOLTA program\" in File > Options... (key \"programpath\" "
               "in section [options] of \"" +
               h.program.settingsFilePath + "\").";
    }
    std::string RomFolderHint() const {
        return "\n\nChange \"Path to ROM images\" in File > Options... (key \"rompath\" in "
               "section [options] of \"" +
               h.program.settingsFilePath + "\").";
    }
    LobbyHarness h;
};

TEST_F(SettingErrorsTest, EmulatorThatIsMissing) {
    const std::string path = (h.dir.path() / "no-such-emulator").string();
    Set("programpath", path);
    EXPECT_FALSE(LaunchEmulator(h.program, 'S', "x.smc", ""));
    EXPECT_EQ(OnlyBox(), "ERROR: The emulator \"" + path +
                             "\" could not be started: the file does not exist." + ProgramHint());
    if (!platform::kWindowsBuild) {  // Windows words it by its version
        EXPECT_TRUE(h.Logged("The emulator could not be started: No such file or directory\r\n"));
    }
}

TEST_F(SettingErrorsTest, EmulatorThatIsNotExecutableOrAFolder) {
#ifndef _WIN32  // Windows runs any file the system knows how to start; there is no mode bit
    const auto file = h.dir.path() / "VOLTAW";
    WriteFile(file, "#!/bin/sh\n");
    std::filesystem::permissions(
        file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    Set("programpath", file.string());
    EXPECT_FALSE(LaunchEmulator(h.program, 'S', "x.smc", ""));
    // Not even root may run a file that has no execute bit at all.
    EXPECT_EQ(OnlyBox(), "ERROR: The emulator \"" + file.string() +
                             "\" could not be started: the file is not executable." +
                             ProgramHint());
    h.ui.Clear();
#endif
    Set("programpath", h.romDir.string());
    EXPECT_FALSE(LaunchEmulator(h.program, 'S', "x.smc", ""));
    EXPECT_EQ(OnlyBox(), "ERROR: The emulator \"" + h.romDir.string() +
                             "\" could not be started: it is a folder, not a program." +
                             ProgramHint());
}

TEST_F(SettingErrorsTest, RomFolderThatIsMissingWhenTheEmulatorStarts) {
    const auto emulator = h.dir.path() / "emu.sh";
    WriteFile(emulator, "#!/bin/sh\n");
    std::filesystem::permissions(emulator, std::filesystem::perms::owner_all);
    Set("programpath", emulator.string());
    const std::string folder = (h.dir.path() / "gone").string();
    Set("rompath", folder);
    // The system blames the program for a missing working folder; the box must not.
    EXPECT_FALSE(LaunchEmulator(h.program, 'C', "x.smc", "10.0.0.5"));
    EXPECT_EQ(OnlyBox(), "ERROR: The ROM folder \"" + folder +
                             "\" does not exist, so the emulator could not be started." +
                             RomFolderHint());
    EXPECT_TRUE(h.Logged("The ROM folder \"" + folder + "\" does not exist.\r\n"));
}

TEST_F(SettingErrorsTest, RomFolderThatIsMissingWhenTheHostChoosesAGame) {
    h.program.links.process = &h.process;
    h.JoinGame("Hoster");
    const std::string folder = (h.dir.path() / "gone").string();
    Set("rompath", folder);
    h.Private("Hoster", "K-Hub-3|GAME|Their.smc|CBF43926|0");
    EXPECT_EQ(OnlyBox(), "ERROR: The ROM folder \"" + folder +
                             "\" does not exist, so the host's game can be neither found nor "
                             "downloaded." +
                             RomFolderHint());
    // The host still gets its answer.
    EXPECT_EQ(h.TakeSent(), std::vector<std::string>{"NOTICE Hoster :K-Hub-3|MATCH|NO\r\n"});

    // A folder that is there says nothing.
    h.ui.Clear();
    Set("rompath", h.romDir.string());
    h.Private("Hoster", "K-Hub-3|GAME|Their.smc|CBF43926|0");
    EXPECT_TRUE(h.ui.Boxes().empty());
}

}  // namespace
}  // namespace khub::lobby

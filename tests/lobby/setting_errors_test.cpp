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
    std::string Hint(const std::string& label, const std::string& key) const {
        return "\n\nChange \"" + label + "\" in File > Options... (key \"" + key +
               "\" in section [options] of \"" + h.program.settingsFilePath + "\").";
    }
    LobbyHarness h;
};

TEST_F(SettingErrorsTest, EmulatorThatIsMissingNotExecutableOrAFolder) {
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
        EXPECT_FALSE(LaunchEmulator(h.program, 'S', "x.smc", ""));
        EXPECT_EQ(OnlyBox(), "ERROR: The emulator \"" + path.string() +
                                 "\" could not be started: " + reason +
                                 Hint("Path to VOLTA program", "programpath"));
    }
    if (!platform::kWindowsBuild) {  // Windows words it by its version
        EXPECT_TRUE(h.Logged("The emulator could not be started: No such file or directory\r\n"));
    }
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
                             Hint("Path to ROM images", "rompath"));
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
                             Hint("Path to ROM images", "rompath"));
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

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "ircu/TempDir.h"
#include "support/CliProcess.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using khub::test::CliProcess;
using khub::test::ReadFileBytes;
using khub::test::TempDir;
using khub::test::WriteFileBytes;

std::set<std::string> RegularFilesUnder(const fs::path& root) {
    std::set<std::string> files;
    for (auto& e : fs::recursive_directory_iterator(root)) {
        if (!e.is_directory()) files.insert(e.path().string());
    }
    return files;
}

// Installing into a prefix of its own, checking what landed, and uninstalling again. The
// build folder's install manifest is kept as it was, so a real install can still be undone.
TEST(Install, ProgramsDesktopEntryAndIconAndNothingLeftAfterUninstall) {
    TempDir temp;
    fs::path prefix = temp.path() / "prefix";
    const std::string manifest = std::string(KHUB_BUILD_DIR) + "/install_manifest.txt";
    std::optional<std::string> earlier;
    if (fs::exists(manifest)) earlier = ReadFileBytes(manifest);

    CliProcess install({KHUB_CMAKE_COMMAND, "--install", KHUB_BUILD_DIR, "--prefix", prefix});
    auto installed = install.WaitForExit(120s);
    std::string ours = temp.File("manifest.txt");
    if (fs::exists(manifest)) fs::copy_file(manifest, ours);
    if (earlier) {
        WriteFileBytes(manifest, *earlier);
    } else {
        fs::remove(manifest);
    }
    ASSERT_EQ(installed, 0) << install.FinalText();

    const fs::path bin = prefix / "bin";
    EXPECT_TRUE(fs::is_regular_file(bin / "k-hub"));  // k-hub-cli is run below
    EXPECT_NE(fs::status(bin / "k-hub").permissions() & fs::perms::owner_exec, fs::perms::none);

    const fs::path desktop = prefix / "share/applications/k-hub.desktop";
    const fs::path icon = prefix / "share/icons/hicolor/scalable/apps/k-hub.svg";
    ASSERT_TRUE(fs::exists(desktop));
    ASSERT_TRUE(fs::exists(icon));
    // The menu entry starts the installed program with the installed icon.
    const std::string entry = ReadFileBytes(desktop.string());
    for (const char* key : {"\nExec=k-hub\n", "\nIcon=k-hub\n"}) {
        EXPECT_NE(entry.find(key), std::string::npos) << key;
    }

    // The installed program runs from where it landed.
    CliProcess version({bin / "k-hub-cli", "--version"});
    EXPECT_EQ(version.WaitForExit(), 0);
    EXPECT_EQ(version.FinalText(), std::string("k-hub-cli ") + KHUB_VERSION + "\n");

    // The manifest names every installed file, so the uninstall finds them all.
    ASSERT_TRUE(fs::exists(ours));
    std::set<std::string> listed;
    std::istringstream lines(ReadFileBytes(ours));
    for (std::string l; std::getline(lines, l);) {
        if (!l.empty()) listed.insert(l);
    }
    EXPECT_EQ(listed, RegularFilesUnder(prefix));

    CliProcess uninstall(
        {KHUB_CMAKE_COMMAND, "-DMANIFEST=" + ours, "-P", KHUB_SOURCE_DIR "/cmake/Uninstall.cmake"});
    ASSERT_EQ(uninstall.WaitForExit(120s), 0) << uninstall.FinalText();
    EXPECT_TRUE(RegularFilesUnder(prefix).empty());
}

}  // namespace

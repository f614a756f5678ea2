#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ircu/TempDir.h"

namespace {

namespace fs = std::filesystem;
using khub::test::ReadFileBytes;
using khub::test::TempDir;
using khub::test::WriteFileBytes;

// Runs args (quoted for the shell) to its end with both outputs in outputFile; the exit code.
int RunToEnd(const std::vector<std::string>& args, const std::string& outputFile) {
    std::string command;
    for (const auto& a : args) command += "'" + a + "' ";
    int status = std::system((command + "</dev/null >'" + outputFile + "' 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

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

    std::string log = temp.File("install.log");
    int rc = RunToEnd(
        {KHUB_CMAKE_COMMAND, "--install", KHUB_BUILD_DIR, "--prefix", prefix.string()}, log);
    std::string ours = temp.File("manifest.txt");
    if (fs::exists(manifest)) fs::copy_file(manifest, ours);
    if (earlier) {
        WriteFileBytes(manifest, *earlier);
    } else {
        fs::remove(manifest);
    }
    ASSERT_EQ(rc, 0) << ReadFileBytes(log);

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
    std::string version = temp.File("version.txt");
    EXPECT_EQ(RunToEnd({(bin / "k-hub-cli").string(), "--version"}, version), 0);
    EXPECT_EQ(ReadFileBytes(version), std::string("k-hub-cli ") + KHUB_VERSION + "\n");

    // The manifest names every installed file, so the uninstall finds them all.
    ASSERT_TRUE(fs::exists(ours));
    std::set<std::string> listed;
    std::istringstream lines(ReadFileBytes(ours));
    for (std::string l; std::getline(lines, l);) {
        if (!l.empty()) listed.insert(l);
    }
    EXPECT_EQ(listed, RegularFilesUnder(prefix));

    rc = RunToEnd({KHUB_CMAKE_COMMAND, "-DMANIFEST=" + ours, "-P",
                   std::string(KHUB_SOURCE_DIR) + "/cmake/Uninstall.cmake"},
                  log);
    ASSERT_EQ(rc, 0) << ReadFileBytes(log);
    EXPECT_TRUE(RegularFilesUnder(prefix).empty());
}

}  // namespace

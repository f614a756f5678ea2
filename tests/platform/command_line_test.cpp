#include <gtest/gtest.h>

#include "platform/CommandLine.h"

#ifdef _WIN32
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "ircu/TempDir.h"
#include "platform/Process.h"
#include "platform/Utf8Path.h"
#endif

namespace khub::platform {
namespace {

// Each argument as the Windows runtime must split it back.
TEST(WindowsCommandLine, QuotesOnlyWhatTheRuntimeWouldSplitOrUnescape) {
    struct Row {
        const char* name;
        std::string arg;
        std::string quoted;
    };
    const Row rows[] = {
        {"plain", "/USLQ2", "/USLQ2"},
        {"path without blanks", "C:\\ROMS\\game.smc", "C:\\ROMS\\game.smc"},
        {"empty", "", "\"\""},
        {"blank", "C:\\My ROMs\\game.smc", "\"C:\\My ROMs\\game.smc\""},
        {"tab", "a\tb", "\"a\tb\""},
        {"quote", "say \"hi\"", "\"say \\\"hi\\\"\""},
        {"backslashes before a quote", "a\\\\\"b", "\"a\\\\\\\\\\\"b\""},
        {"trailing backslash", "C:\\My ROMs\\", "\"C:\\My ROMs\\\\\""},
        {"two trailing backslashes", "x y\\\\", "\"x y\\\\\\\\\""},
        {"non-ASCII", "Pokémon Stadium (J).smc", "\"Pokémon Stadium (J).smc\""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(QuoteArgument(row.arg), row.quoted) << row.name;
    }
    EXPECT_EQ(WindowsCommandLine({"C:\\Program Files\\VOLTAW.EXE", "/TCLQ2", "Player1",
                                  "C:\\My ROMs\\game.smc", "10.0.0.5"}),
              "\"C:\\Program Files\\VOLTAW.EXE\" /TCLQ2 Player1 \"C:\\My ROMs\\game.smc\" "
              "10.0.0.5");
}

#ifdef _WIN32
// The emulator as the lobby starts it, here the tests' stand-in that writes down how it was
// started: each argument whole, in the ROM folder, in a window the player sees.
TEST(WindowsProcess, TheEmulatorGetsItsArgumentsItsFolderAndAShownWindow) {
    namespace fs = std::filesystem;
    test::TempDir dir;
    const fs::path exe = dir.path() / "Emu Folder" / "VOLTAW.EXE", roms = dir.path() / "My ROMs";
    fs::create_directories(exe.parent_path());
    fs::create_directories(roms);
    fs::copy_file(KHUB_BUILD_DIR "/tests/khub-fake-emulator.exe", exe);
    const std::string program = Utf8FromPath(exe);
    const std::string rom = Utf8FromPath(roms / PathFromUtf8("Pokémon Stadium (J).smc"));
    std::ofstream(PathFromUtf8(rom), std::ios::binary) << "rom bytes";
    std::string error;
    ASSERT_TRUE(SpawnDetached(program, {program, "/TCLQ2", "Player 1", rom, "10.0.0.5"},
                              Utf8FromPath(roms), &error))
        << error;
    const fs::path written = exe.parent_path();
    auto read = [&](const char* name) {
        std::ifstream in(written / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    for (int i = 0; i < 1000 && !fs::exists(written / "argv"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(read("argv"), program + "\n/TCLQ2\nPlayer 1\n" + rom + "\n10.0.0.5\n");
    std::string cwd = read("cwd");
    EXPECT_TRUE(fs::equivalent(PathFromUtf8(cwd.substr(0, cwd.find('\n'))), roms)) << cwd;
    EXPECT_EQ(read("rom"), "rom bytes");
    EXPECT_EQ(read("show"), "1\n");  // SW_SHOWNORMAL
}
#endif

}  // namespace
}  // namespace khub::platform

#pragma once
// A player of the whole-game tests: k-hub-cli with a ROM folder of its own and an emulator
// stand-in, a small script that writes down its arguments, its working folder and the ROM
// it was given.

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ircu/TempDir.h"
#include "lobby/EmulatorCommand.h"
#include "support/CliProcess.h"

namespace khub::test {

namespace lobby_player {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

// The emulator stand-in; what it saw lands in its folder.
struct FakeEmulator {
    FakeEmulator() {
        script = dir.Write("VOLTAW",
                           "#!/bin/sh\n"
                           "d=\"$(dirname \"$0\")\"\n"
                           "pwd > \"$d/cwd.tmp\"\n"
                           "cat \"$3\" > \"$d/rom.tmp\"\n"
                           "printf '%s\\n' \"$0\" \"$@\" > \"$d/argv.tmp\"\n"
                           "mv \"$d/cwd.tmp\" \"$d/cwd\"; mv \"$d/rom.tmp\" \"$d/rom\"\n"
                           "mv \"$d/argv.tmp\" \"$d/argv\"\n");
        ::chmod(script.c_str(), 0755);
    }
    // The Windows stand-in of a Windows build instead (a copy of exe): it writes the same
    // files, with the arguments as Windows split them.
    explicit FakeEmulator(const std::string& windowsExe) : script(dir / "VOLTAW.EXE") {
        fs::copy_file(windowsExe, script);
    }
    bool Ran() const { return fs::exists(dir.path() / "argv"); }
    // Waits for the script of a launch that was already logged.
    bool WaitRan(std::chrono::milliseconds timeout = 10s) const {
        auto end = std::chrono::steady_clock::now() + timeout;
        while (!Ran() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(20ms);
        return Ran();
    }
    std::vector<std::string> Argv() const { return LinesOf(ReadFileBytes(dir / "argv")); }
    std::string Cwd() const { return LinesOf(ReadFileBytes(dir / "cwd")).at(0); }
    std::string Rom() const { return ReadFileBytes(dir / "rom"); }

    TempDir dir{"khub-emu"};
    std::string script;
};

// The Windows programs of a Windows build (scripts/build-windows.sh) and what runs them.
struct WindowsPrograms {
    std::string cliExe, emulatorExe, wineRun;
};

struct Player {
    Player(const std::string& nick, int port, const CliProcess::Ini& extra = {})
        : nick(nick),
          cli(CliProcess::PlayerSettings(nick, port,
                                         Merge(extra, {{"options",
                                                        {{"programpath", emulator.script},
                                                         {"rompath", roms.path().string()}}}}))) {}
    // A player whose emulator is the Windows stand-in: on Linux started through wine, or by
    // k-hub-cli.exe itself when windowsCli (under wine, so its paths are wine's Z:\...).
    Player(const std::string& nick, int port, const WindowsPrograms& windows, bool windowsCli,
           const CliProcess::Ini& extra = {})
        : nick(nick),
          windowsCli(windowsCli),
          emulator(windows.emulatorExe),
          cli(windowsCli
                  ? CliProcess(CliProcess::PlayerSettings(
                                   nick, port,
                                   Merge(extra, {{"options",
                                                  {{"programpath", WinePath(emulator.script)},
                                                   {"rompath", WinePath(roms.path().string())}}}})),
                               CliProcess::WindowsCopy{windows.cliExe, windows.wineRun})
                  : CliProcess(CliProcess::PlayerSettings(
                        nick, port,
                        Merge(extra, {{"options",
                                       {{"programpath", emulator.script},
                                        {"rompath", roms.path().string()},
                                        {"launcher", windows.wineRun}}}})))) {}
    // A file of the ROM folder as this player's program names it.
    std::string RomPath(const std::string& file) const {
        return windowsCli ? WinePath(roms.File(file)) : roms.File(file);
    }
    static CliProcess::Ini Merge(CliProcess::Ini a, const CliProcess::Ini& b) {
        for (const auto& [section, keys] : b) {
            for (const auto& [key, value] : keys) a[section].emplace(key, value);
        }
        return a;
    }
    // The game list as "name\thost\tplayers" rows.
    std::vector<std::string> Games() {
        cli.Send("games");
        std::vector<std::string> rows;
        while (auto line = cli.WaitFor([](const std::string& l) {
            return l.rfind("game: ", 0) == 0 || l.rfind("games: ", 0) == 0;
        })) {
            if (line->rfind("games: ", 0) == 0) break;
            rows.push_back(line->substr(6));
        }
        return rows;
    }
    // Asks for the list until it holds row (the announcement travels through the server).
    bool WaitForGame(const std::string& row, std::chrono::milliseconds timeout = 10s) {
        auto end = std::chrono::steady_clock::now() + timeout;
        do {
            auto rows = Games();
            if (std::find(rows.begin(), rows.end(), row) != rows.end()) return true;
            std::this_thread::sleep_for(100ms);
        } while (std::chrono::steady_clock::now() < end);
        return false;
    }

    std::string nick;
    bool windowsCli = false;
    TempDir roms{"khub-roms"};
    FakeEmulator emulator;
    CliProcess cli;
};

}  // namespace lobby_player

using lobby_player::FakeEmulator;
using lobby_player::Player;
using lobby_player::WindowsPrograms;

}  // namespace khub::test

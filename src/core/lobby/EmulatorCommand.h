#pragma once
// The command that starts the emulator: which program runs, with which arguments. A Windows
// emulator ("VOLTAW.EXE") on another system runs through a launcher (wine), which gets the
// ROM path as the Windows program will see it.

#include <string>
#include <string_view>
#include <vector>

#include "platform/System.h"

namespace khub {

struct EmulatorRequest {
    std::string programPath;  // "programpath"
    std::string launcher;     // "launcher": runs Windows programs here; empty: none
    std::string protocol;     // "U" or "T"
    char role = 'S';          // 'S' host, 'C' client
    std::string nick;
    std::string romFolder;  // "rompath"
    std::string romFile;
    std::string peer;  // the host's address on the client; empty on the host
};

struct EmulatorCommand {
    std::string program;            // the file to start: the emulator, or the launcher
    std::vector<std::string> argv;  // argv[0] included
    bool throughLauncher = false;   // program is the launcher as written, not yet looked up
    std::size_t romArgument = 0;    // argv's index of the ROM path
};

// ".exe" at the end, in any case.
bool IsWindowsProgram(std::string_view path);

// The name wine gives a path of this system: "Z:" and the path with backslashes. A relative
// path stays relative (wine resolves it from the working folder, as the system would).
std::string WinePath(const std::string& path);

// argv: the program (after the launcher and the emulator's own path when there is a
// launcher), "/<protocol><role>LQ2", the nick, the ROM path, and the peer when there is one.
// The launcher is used only for a Windows program on another system.
EmulatorCommand BuildEmulatorCommand(const EmulatorRequest& request,
                                     bool windowsBuild = platform::kWindowsBuild);

// The command as the log shows it: blank-separated, the ROM path in double quotes.
std::string ShownCommandLine(const EmulatorCommand& command);

// The launcher's file: as given when it names a path, else the first match in the folders
// of pathVariable (':'-separated, as PATH). Empty when there is none to run.
std::string FindLauncher(const std::string& launcher, const std::string& pathVariable);

// Through a launcher: looks it up on this process's PATH and makes it command.program.
// False when it is not there (command unchanged).
bool ResolveLauncher(EmulatorCommand& command);

// The box for a launcher that is not there: what is missing and how to get it.
std::string MissingLauncherText(const EmulatorCommand& command, const std::string& settingsFile);

}  // namespace khub

#include "lobby/EmulatorCommand.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "settings/SettingHints.h"
#include "settings/SettingsKeys.h"

namespace khub {

bool IsWindowsProgram(std::string_view path) {
    constexpr std::string_view kExe = ".exe";
    if (path.size() < kExe.size()) return false;
    return std::equal(kExe.begin(), kExe.end(), path.end() - kExe.size(), [](char a, char b) {
        return a == std::tolower(static_cast<unsigned char>(b));
    });
}

std::string WinePath(const std::string& path) {
    std::string out = path;
    std::replace(out.begin(), out.end(), '/', '\\');
    return !path.empty() && path.front() == '/' ? "Z:" + out : out;
}

EmulatorCommand BuildEmulatorCommand(const EmulatorRequest& r, bool windowsBuild) {
    const char separator = windowsBuild ? '\\' : '/';
    std::string romPath = r.romFile;
    if (!r.romFolder.empty()) {
        char last = r.romFolder.back();
        bool ends = last == '/' || (windowsBuild && last == '\\');
        romPath = ends ? r.romFolder + r.romFile : r.romFolder + separator + r.romFile;
    }
    EmulatorCommand command;
    command.throughLauncher =
        !windowsBuild && !r.launcher.empty() && IsWindowsProgram(r.programPath);
    if (command.throughLauncher) {
        command.program = r.launcher;
        command.argv = {r.launcher, r.programPath};
        romPath = WinePath(romPath);
    } else {
        command.program = r.programPath;
        command.argv = {r.programPath};
    }
    command.argv.push_back("/" + r.protocol + r.role + "LQ2");
    command.argv.push_back(r.nick);
    command.romArgument = command.argv.size();
    command.argv.push_back(romPath);
    if (!r.peer.empty()) command.argv.push_back(r.peer);
    return command;
}

std::string ShownCommandLine(const EmulatorCommand& command) {
    std::string line;
    for (std::size_t i = 0; i < command.argv.size(); ++i) {
        if (i > 0) line += ' ';
        line += i == command.romArgument ? '"' + command.argv[i] + '"' : command.argv[i];
    }
    return line;
}

namespace {
bool IsRunnableFile(const std::filesystem::path& file) {
    std::error_code ec;
    auto status = std::filesystem::status(file, ec);
    using std::filesystem::perms;
    return !ec && std::filesystem::is_regular_file(status) &&
           (status.permissions() & (perms::owner_exec | perms::group_exec | perms::others_exec)) !=
               perms::none;
}
}  // namespace

std::string FindLauncher(const std::string& launcher, const std::string& pathVariable) {
    if (launcher.find('/') != std::string::npos) {
        return IsRunnableFile(launcher) ? launcher : std::string();
    }
    std::size_t start = 0;
    while (start <= pathVariable.size()) {
        std::size_t end = pathVariable.find(':', start);
        if (end == std::string::npos) end = pathVariable.size();
        // An empty entry is the current folder, as for the shell.
        std::string folder = end == start ? "." : pathVariable.substr(start, end - start);
        std::string candidate = folder + "/" + launcher;
        if (IsRunnableFile(candidate)) return candidate;
        start = end + 1;
    }
    return {};
}

bool ResolveLauncher(EmulatorCommand& command) {
    if (!command.throughLauncher) return true;
    const char* path = std::getenv("PATH");
    std::string found = FindLauncher(command.program, path ? path : "");
    if (found.empty()) return false;
    command.program = found;
    return true;
}

std::string MissingLauncherText(const EmulatorCommand& command, const std::string& settingsFile) {
    const std::string& launcher = command.program;
    const std::string& emulator = command.argv.at(1);
    std::string text =
        "ERROR: The emulator \"" + emulator + "\" is a Windows program, which needs \"" + launcher +
        "\" to start here, and " +
        (launcher.find('/') == std::string::npos ? "no program of that name is on PATH"
                                                 : "that file cannot be run") +
        ".\n\n";
    if (launcher == "wine") {
        text +=
            "Install wine (on Debian or Ubuntu: sudo apt-get install wine), or name another "
            "launcher: ";
    }
    return text + HowToFixSetting(keys::kLauncher, settingsFile);
}

}  // namespace khub

#pragma once
// What the program does when its main window first shows: where the settings file is, the
// few settings kept in memory, the port defaults, and whether to open Options, connect or
// wait for the player. Window drawing is the front end's; it acts on the returned decision.

#include <functional>
#include <optional>
#include <string>

namespace khub {

struct Program;

inline constexpr const char* kSettingsFolderName = "K-Hub I";
inline constexpr const char* kSettingsFileName = "K-Hub.ini";
inline constexpr const char* kBuiltInForumUrl = "https://www.k-hub.net/forum/";
inline constexpr const char* kBuiltInRulesUrl = "https://www.k-hub.net/rules.html";

// Where the settings file is and how that was decided.
struct SettingsLocation {
    std::string filePath;
    std::string howFound;     // a log line saying which rule chose the folder
    std::string folderError;  // set when the folder does not exist and could not be made
};

// Reads one environment variable; nullopt when it is not set.
using EnvLookup = std::function<std::optional<std::string>(const char* name)>;
EnvLookup ProcessEnvironment();

// $XDG_CONFIG_HOME (only an absolute one counts), else the home folder's ".config", then
// "K-Hub I/K-Hub.ini". The folder is created when it is missing and createFolder is set.
SettingsLocation LocateSettingsFile(const EnvLookup& env, bool createFolder = true);

// The rule on Windows, from what the system reports: a non-elevated Vista or later keeps the
// file in APPDATA\K-Hub I, anything else beside the program (programDir ends in "\").
SettingsLocation WindowsSettingsLocation(bool vistaOrHigher, bool elevated,
                                         const std::string& appData, const std::string& programDir);

// Where this system keeps the file: LocateSettingsFile on POSIX systems, the Windows rule
// with what Windows reports on Windows (its folder made when createFolder is set).
SettingsLocation SystemSettingsLocation(const EnvLookup& env, bool createFolder = true);

enum class StartupAction {
    OpenOptions,       // a required setting is missing: the Options dialog, no connection
    Connect,           // connectonstartup is set: start the connection
    StayNotConnected,  // the player connects by command
};
const char* StartupActionName(StartupAction action);

// The main window's initial update without the drawing: the title, the built-in addresses,
// the settings path and its log lines, the in-memory settings, the port defaults, and the
// decision. Runs on the lobby thread.
StartupAction RunStartup(Program& program, const SettingsLocation& location);

}  // namespace khub

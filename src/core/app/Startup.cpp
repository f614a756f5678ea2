#include "Startup.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

#include "app/Program.h"
#include "settings/SettingsKeys.h"

namespace khub {

EnvLookup ProcessEnvironment() {
    return [](const char* name) -> std::optional<std::string> {
        const char* v = std::getenv(name);
        if (!v) return std::nullopt;
        return std::string(v);
    };
}

namespace {

// The home folder from the user database, for a process started without HOME.
std::optional<std::string> HomeFromPasswd() {
#ifndef _WIN32
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buf(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');
    passwd pw{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found &&
        found->pw_dir && *found->pw_dir) {
        return std::string(found->pw_dir);
    }
#endif
    return std::nullopt;
}

}  // namespace

SettingsLocation LocateSettingsFile(const EnvLookup& env, bool createFolder) {
    namespace fs = std::filesystem;
    SettingsLocation where;
    fs::path base;
    auto xdg = env("XDG_CONFIG_HOME");
    if (xdg && !xdg->empty() && fs::path(*xdg).is_absolute()) {
        base = *xdg;
        where.howFound = "Program keeps its settings under XDG_CONFIG_HOME.\r\n";
    } else {
        auto home = env("HOME");
        if (!home || home->empty()) home = HomeFromPasswd();
        if (home && !home->empty()) {
            base = fs::path(*home) / ".config";
            where.howFound =
                "Program keeps its settings under ~/.config (XDG_CONFIG_HOME not set).\r\n";
        } else {
            std::error_code ec;
            base = fs::current_path(ec);
            where.howFound =
                "Program found no home folder; settings are kept in the current folder.\r\n";
        }
    }
    fs::path folder = base / kSettingsFolderName;
    where.filePath = (folder / kSettingsFileName).string();

    if (!createFolder) return where;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder, ec)) {
        where.folderError = ec ? ec.message() : "not a folder";
    }
    return where;
}

SettingsLocation WindowsSettingsLocation(bool vistaOrHigher, bool elevated,
                                         const std::string& appData,
                                         const std::string& programDir) {
    SettingsLocation where;
    // Without APPDATA there is no per-user folder to name; the program's own folder is the
    // only place left that the rule knows.
    if (vistaOrHigher && !elevated && !appData.empty()) {
        where.filePath = appData + "\\" + kSettingsFolderName + "\\" + kSettingsFileName;
        where.howFound = "Program is running on Vista or higher without Administrator rights.\r\n";
    } else {
        where.filePath = programDir + kSettingsFileName;
        where.howFound =
            "Program is NOT running on Vista or higher, and/or has Administrator rights.\r\n";
    }
    return where;
}

const char* StartupActionName(StartupAction action) {
    switch (action) {
        case StartupAction::OpenOptions:
            return "open options";
        case StartupAction::Connect:
            return "connect";
        case StartupAction::StayNotConnected:
            return "stay not connected";
    }
    return "?";
}

StartupAction RunStartup(Program& program, const SettingsLocation& location) {
    program.ui.SetMainTitle(FormatText("%s - not connected", kProgramTitle));
    program.forumUrl = kBuiltInForumUrl;
    program.rulesUrl = kBuiltInRulesUrl;

    program.settingsFilePath = location.filePath;
    if (!location.howFound.empty()) program.log.DebugLog("%s", location.howFound.c_str());
    CIni ini = program.Settings();
    program.log.DebugLog("Settings ini set to: \"%s\".\r\n", program.settingsFilePath.c_str());
    if (!location.folderError.empty()) {
        std::string folder = std::filesystem::path(location.filePath).parent_path().string();
        program.log.DebugLog(
            "\x03"
            "4ERROR: Could not create the settings folder \"%s\": %s.\r\n",
            folder.c_str(), location.folderError.c_str());
        program.ui.ShowMessage(FormatText("WARNING: The settings folder \"%s\" could not be "
                                          "created (%s). Settings will not be saved.",
                                          folder.c_str(), location.folderError.c_str()),
                               BoxIcon::Warning);
    }

    program.playJoinSound = ini.GetBool(keys::kPlaySound);
    program.playTextSound = ini.GetBool(keys::kPlayTextSound);
    program.ownIpText = ini.GetString(keys::kOwnIp);

    if (ini.GetInt(keys::kStartPort) == 0) ini.SetInt(keys::kStartPort, kDefaultStartPort);
    if (ini.GetInt(keys::kEndPort) == 0) ini.SetInt(keys::kEndPort, kDefaultEndPort);

    // Only whether they are empty matters here; a 260-byte field as the connect check uses.
    constexpr std::size_t kPathField = 260;
    bool complete = true;
    for (const SettingKey* k : {&keys::kPlayerName, &keys::kProgramPath, &keys::kRomPath}) {
        if (ini.GetStringCut(k->section, k->key, kPathField).empty()) complete = false;
    }
    if (!complete) {
        program.log.DebugLog(
            "Player name, emulator path or ROM folder missing: opening Options.\r\n");
        return StartupAction::OpenOptions;
    }
    if (ini.GetBool(keys::kConnectOnStartup)) {
        program.log.DebugLog("Connecting on start-up.\r\n");
        return StartupAction::Connect;
    }
    program.log.DebugLog("Not connecting on start-up (connectonstartup is off).\r\n");
    return StartupAction::StayNotConnected;
}

}  // namespace khub

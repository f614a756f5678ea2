#include "Startup.h"

#include <filesystem>
#include <system_error>

#include "app/Program.h"
#include "platform/System.h"
#include "platform/Utf8Path.h"
#include "settings/SettingsKeys.h"

namespace khub {

EnvLookup ProcessEnvironment() {
    return [](const char* name) { return platform::EnvironmentVariable(name); };
}

namespace {

// Makes the folder the settings file goes in, unless it is there already.
void CreateSettingsFolder(SettingsLocation& where) {
    namespace fs = std::filesystem;
    fs::path folder = PathFromUtf8(where.filePath).parent_path();
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder, ec)) {
        where.folderError = ec ? ec.message() : "not a folder";
    }
}

}  // namespace

SettingsLocation LocateSettingsFile(const EnvLookup& env, bool createFolder) {
    namespace fs = std::filesystem;
    SettingsLocation where;
    fs::path base;
    auto xdg = env("XDG_CONFIG_HOME");
    if (xdg && !xdg->empty() && PathFromUtf8(*xdg).is_absolute()) {
        base = PathFromUtf8(*xdg);
        where.howFound = "Program keeps its settings under XDG_CONFIG_HOME.\r\n";
    } else {
        auto home = env("HOME");
        if (!home || home->empty()) home = platform::HomeFolderOfUser();
        if (home && !home->empty()) {
            base = PathFromUtf8(*home) / ".config";
            where.howFound =
                "Program keeps its settings under ~/.config (XDG_CONFIG_HOME not set).\r\n";
        } else {
            std::error_code ec;
            base = fs::current_path(ec);
            where.howFound =
                "Program found no home folder; settings are kept in the current folder.\r\n";
        }
    }
    where.filePath = Utf8FromPath(base / PathFromUtf8(kSettingsFolderName) / kSettingsFileName);
    if (createFolder) CreateSettingsFolder(where);
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

SettingsLocation SystemSettingsLocation(const EnvLookup& env, bool createFolder) {
#ifdef _WIN32
    SettingsLocation where =
        WindowsSettingsLocation(platform::IsVistaOrHigher(), platform::IsElevated(),
                                env("APPDATA").value_or(""), platform::ProgramFolder());
    // The per-user folder is made here: without it no setting could ever be saved.
    if (createFolder) CreateSettingsFolder(where);
    return where;
#else
    return LocateSettingsFile(env, createFolder);
#endif
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
        std::string folder = Utf8FromPath(PathFromUtf8(location.filePath).parent_path());
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

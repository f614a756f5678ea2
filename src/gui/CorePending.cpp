#include "CorePending.h"

#include "app/Program.h"

namespace khub::gui::pending {

namespace {
void NotInThisBuild(Program& program, const char* what) {
    program.log.DebugLog(
        "\x03"
        "4%s is not available in this build yet.\r\n",
        what);
}
}  // namespace

std::optional<Rgb> ParseColorText(std::string_view text) {
    text = text.substr(0, 12);
    unsigned parts[3] = {0, 0, 0};
    std::size_t i = 0;
    for (int part = 0; part < 3; ++part) {
        unsigned value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            value = (value * 10 + static_cast<unsigned>(text[i] - '0')) & 0xFFu;
            ++i;
        }
        parts[part] = value;
        if (part < 2) {
            const std::size_t comma = text.find(',', i);
            if (comma == std::string_view::npos) return std::nullopt;
            i = comma + 1;
        }
    }
    return Rgb{static_cast<unsigned char>(parts[0]), static_cast<unsigned char>(parts[1]),
               static_cast<unsigned char>(parts[2])};
}

GameListAppearance ReadGameListAppearance(const CIni& settings) {
    GameListAppearance a;
    const int mode = settings.GetInt("UI", "GamelistBG", 0);
    if (mode == 1) {
        a.background = GameListAppearance::Background::Color;
        a.backgroundColor = ParseColorText(settings.GetString("UI", "GamelistBGColor"));
    } else if (mode == 2) {
        a.background = GameListAppearance::Background::Image;
        a.backgroundImage = settings.GetStringCut("UI", "GamelistBGImage", 260);
    }
    const std::string text = settings.GetString("UI", "GamelistTextColor");
    if (!text.empty()) a.textColor = ParseColorText(text);
    return a;
}

void ToggleConnection(Program& program) {
    const CIni ini = program.Settings();
    if (ini.GetString("options", "programpath").empty() ||
        ini.GetString("options", "rompath").empty() ||
        ini.GetString("options", "playername").empty()) {
        program.ui.OpenWindow(WindowId::Options);
        return;
    }
    NotInThisBuild(program, "Connecting");
}

void RunExitSequence(Program&) {}

void SendIrcLine(Program& program, std::string_view) {
    NotInThisBuild(program, "Sending to the server");
}

void OpenCreateGame(Program& program) {
    if (program.windows.host || program.windows.client) return;
    program.windows.createGame = true;
    program.ui.OpenWindow(WindowId::CreateGame);
}

void CreateGameNameChanged(Program& program, const std::string& name) {
    program.ui.EnableControl(WindowId::CreateGame, control::kSend, !name.empty());
}

std::string CreateGameChooseRom(Program& program, const std::string& path) {
    if (!path.empty()) NotInThisBuild(program, "Choosing a ROM");
    return {};
}

bool CreateGameOk(Program& program, const std::string&, bool) {
    NotInThisBuild(program, "Creating a game");
    return false;
}

void CreateGameCancel(Program& program) {
    program.windows.createGame = false;
    program.ui.CloseWindow(WindowId::CreateGame);
}

void HostChatChanged(Program& program, const std::string& text) {
    program.ui.EnableControl(WindowId::HostGame, control::kSend, !text.empty());
}
void HostSend(Program& program, const std::string&) {
    NotInThisBuild(program, "Chat");
}
void HostSelectBegin(Program&) {}
void HostSelectEnd(Program& program, const std::string&) {
    NotInThisBuild(program, "Select");
}
void HostStart(Program& program) {
    NotInThisBuild(program, "Start");
}
void HostKick(Program& program) {
    NotInThisBuild(program, "Kick");
}
void HostCancel(Program& program) {
    program.windows.host = false;
    program.ui.CloseWindow(WindowId::HostGame);
}

void GameListClick(Program& program, int row, bool doubleClick) {
    (void)row;
    (void)doubleClick;
    NotInThisBuild(program, "Joining a game");
}
void JoinAction(Program& program) {
    NotInThisBuild(program, "Joining a game");
}
void JoinChatChanged(Program& program, const std::string& text) {
    program.ui.EnableControl(WindowId::JoinGame, control::kSend, !text.empty());
}
void JoinSend(Program& program, const std::string&) {
    NotInThisBuild(program, "Chat");
}
void JoinDownload(Program& program) {
    NotInThisBuild(program, "Download");
}
void JoinCancel(Program& program) {
    program.windows.client = false;
    program.ui.CloseWindow(WindowId::JoinGame);
}

void CloseTransferWindow(Program& program) {
    program.windows.transfer = false;
    program.ui.CloseWindow(WindowId::FileTransfer);
}

}  // namespace khub::gui::pending

#include <cstdlib>
#include <filesystem>

namespace khub::gui::pending {

std::string LocateSettingsFile() {
    std::filesystem::path base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::filesystem::path(home) / ".config";
    } else {
        base = std::filesystem::current_path();
    }
    const std::filesystem::path folder = base / "K-Hub I";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return (folder / "K-Hub.ini").string();
}

StartupAction RunStartup(Program& program) {
    program.ui.SetMainTitle("K-Hub I - not connected");
    const CIni ini = program.Settings();
    program.log.DebugLog("Settings ini set to: \"%s\".\r\n", program.settingsFilePath.c_str());
    program.playJoinSound = ini.GetBool("host", "playsound");
    program.playTextSound = ini.GetBool("host", "playtextsound");
    if (ini.GetString("options", "playername").empty() ||
        ini.GetString("options", "programpath").empty() ||
        ini.GetString("options", "rompath").empty()) {
        return StartupAction::OpenOptions;
    }
    return ini.GetBool("options", "connectonstartup") ? StartupAction::Connect
                                                      : StartupAction::StayNotConnected;
}

void StartConnect(Program& program) {
    NotInThisBuild(program, "Connecting");
}

}  // namespace khub::gui::pending

#pragma once
// The core operations the windows call, where the core has not landed them yet. Each has
// the name and arguments of the core operation it stands for; once that exists the call
// site switches to it and the entry here goes. Nothing here is lobby or IRC logic: a
// pending operation only opens or closes its window and says in the log that the
// operation is not available in this build.

#include <optional>
#include <string>
#include <string_view>

#include "platform/Ui.h"

namespace khub {
struct Program;
class CIni;
}  // namespace khub

namespace khub::gui::pending {

// --- game list appearance (lobby) ---
std::optional<Rgb> ParseColorText(std::string_view text);
struct GameListAppearance {
    enum class Background { System, Color, Image };
    Background background = Background::System;
    std::optional<Rgb> backgroundColor;
    std::string backgroundImage;
    std::optional<Rgb> textColor;
};
GameListAppearance ReadGameListAppearance(const CIni& settings);

// --- connection (irc) ---
void ToggleConnection(Program& program);
void RunExitSequence(Program& program);
void SendIrcLine(Program& program, std::string_view line);

// --- lobby ---
void OpenCreateGame(Program& program);
void CreateGameNameChanged(Program& program, const std::string& name);
std::string CreateGameChooseRom(Program& program, const std::string& path);
bool CreateGameOk(Program& program, const std::string& name, bool disallowDownload);
void CreateGameCancel(Program& program);
void HostChatChanged(Program& program, const std::string& text);
void HostSend(Program& program, const std::string& text);
void HostSelectBegin(Program& program);
void HostSelectEnd(Program& program, const std::string& path);
void HostStart(Program& program);
void HostKick(Program& program);
void HostCancel(Program& program);
void GameListClick(Program& program, int row, bool doubleClick);
void JoinAction(Program& program);
void JoinChatChanged(Program& program, const std::string& text);
void JoinSend(Program& program, const std::string& text);
void JoinDownload(Program& program);
void JoinCancel(Program& program);

// --- transfer ---
void CloseTransferWindow(Program& program);

}  // namespace khub::gui::pending

// --- start-up (foundation) ---
namespace khub::gui::pending {
// $XDG_CONFIG_HOME (absolute) or ~/.config, then "K-Hub I/K-Hub.ini"; the folder is made.
std::string LocateSettingsFile();
enum class StartupAction { OpenOptions, Connect, StayNotConnected };
StartupAction RunStartup(Program& program);
void StartConnect(Program& program);
}  // namespace khub::gui::pending

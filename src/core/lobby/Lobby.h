#pragma once
// The game lobby's operations: what the menu items and the buttons of the Create Game,
// Host Game and Join Game windows do, and the helpers the dispatcher's rules share.
// Everything here runs on the lobby thread.

#include <optional>
#include <string>
#include <vector>

#include "app/Log.h"
#include "lobby/LobbyMessage.h"

namespace khub {
struct Program;
}

namespace khub::lobby {

// What the windows' typing lines take: a game name, a chat line.
inline constexpr int kGameNameLimit = 129;
inline constexpr int kChatLineLimit = 450;

// --- shared helpers ---
// Hands a line to the server connection; false when it could not be sent.
bool SendLine(Program& program, const std::string& line);
int UserLevel(Program& program, const std::string& nick);
void HostWindowLog(Program& program, const char* format, ...) KHUB_PRINTF(2, 3);
void JoinWindowLog(Program& program, const char* format, ...) KHUB_PRINTF(2, 3);
// A game window's chat line for nick's text; a moderator's nick carries a red "[MOD]".
std::string ChatPaneLine(Program& program, const std::string& nick, const std::string& text);
// Adds or updates the row of one hosted game, with the list's log lines.
void PutGameRow(Program& program, const std::string& game, const std::string& host, bool full);
void RemoveGameRow(Program& program, const std::string& host);
// The game windows remember their control states beside the Ui's.
void EnableHostControl(Program& program, int id, bool on);
void EnableJoinControl(Program& program, int id, bool on);
ChannelCarrier Carrier(Program& program);
// The black-/whitelist test; true when nick is refused.
bool IsPlayerFiltered(Program& program, const std::string& nick);
// HOST to the channel (after 3 s when wait is set), only while a game is hosted.
void AnnounceHost(Program& program, bool wait);
// HOST privately to nick, only while a game is hosted.
void AnnounceHostTo(Program& program, const std::string& nick);
// The file name of the ROM the player chose at path, cut to what the lobby's messages
// carry. nullopt, after a box that names the characters, when it cannot travel in them.
std::optional<std::string> ChosenRomFile(Program& program, const std::string& path);
// The game name a ROM file suggests: its name without the extension.
std::string GameNameOfRomFile(const std::string& file);
// An announcement box (header "Notice:..." or "Announcement:...") from a lobby message.
void ShowAnnouncement(Program& program, const std::string& header, const std::string& text);

// --- emulator ---
// "protocol" of the settings: "U" or "T", anything else counts as "U".
std::string ReadNetplayProtocol(Program& program);
// When folder (the "rompath" setting) is not an existing folder: a log line and a box that
// says what cannot happen (consequence) and where the setting is changed. True when it told.
bool ReportMissingRomFolder(Program& program, const std::string& folder,
                            const std::string& consequence);
bool LaunchEmulator(Program& program, char role, const std::string& romFile,
                    const std::string& peer);
// The ROM check of the host's last GAME has not answered, or the emulator is being started.
bool ClientBusyWithHost(const Program& program);
// The client's start after START: host's letter, renames, 6 s, launch, names back.
void StartClientGame(Program& program, const std::string& hostAddress, bool fourthField);

// --- Create Game dialog (menu 202) ---
void OpenCreateGame(Program& program);
// The name field changed: OK follows whether it is empty.
void CreateGameNameChanged(Program& program, const std::string& name);
// "...": path is what the chooser returned ("" when cancelled). Returns the game name
// derived from it (also put into the name field), "" when nothing was chosen.
std::string CreateGameChooseRom(Program& program, const std::string& path);
// OK. True when the game was created and the dialog closed.
bool CreateGameOk(Program& program, const std::string& name, bool disallowDownload);
void CreateGameCancel(Program& program);

// --- Host Game window (command 205) ---
void OpenHostWindow(Program& program);
void HostChatChanged(Program& program, const std::string& text);
void HostSend(Program& program, const std::string& text);
// Select: the first half runs before the chooser opens, the second with its answer.
void HostSelectBegin(Program& program);
void HostSelectEnd(Program& program, const std::string& path);
void HostStart(Program& program);
void HostKick(Program& program);
void HostCancel(Program& program);

// --- game list and Join Game window ---
// Game > Join follows the selected row: enabled for a game with a free seat while no game
// window is open. Runs whenever the selection or the selected row changes.
void UpdateJoinItem(Program& program);
// A click on the game list (row -1: empty space).
void GameListClick(Program& program, int row, bool doubleClick);
// Menu 203 and the double click: CLIENT to the host of the selected row, window open. A
// full game is refused with a box.
void JoinAction(Program& program);
void JoinChatChanged(Program& program, const std::string& text);
void JoinSend(Program& program, const std::string& text);
void JoinDownload(Program& program);
void JoinCancel(Program& program);

// --- reactions of the dispatcher's rules ---
void HostGotClient(Program& program, const std::string& nick);
void HostClientLeft(Program& program, const std::string& nick, bool delayedAnnounce);
void HostGotMatch(Program& program, const std::string& answer);
void ClientGotHost(Program& program, const std::string& sender, const std::string& client);
void ClientGotGame(Program& program, const std::string& sender, const std::string& file,
                   const std::string& crc, bool downloadDisallowed);
void ClientGotKick(Program& program, const std::string& sender);
// DONE from the joined host, or the host left the channel.
void ClientHostGone(Program& program, const std::string& sender);

}  // namespace khub::lobby

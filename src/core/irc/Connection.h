#pragma once
// The life of the one server connection: connect with retries, read lines on a thread of
// their own and hand them to the lobby thread, send lines, and drop it all again.
// Everything here is called on the lobby thread unless it says otherwise.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace khub {

struct Program;
class CIni;

// The lobby's network. Only the first, general name is used to connect; settings
// "server" and "port" of section "options" name another server.
inline constexpr std::array<const char*, 3> kServerNames = {"irc.k-hubi.net", "us.k-hubi.net",
                                                            "eu.k-hubi.net"};
inline constexpr int kDefaultServerPort = 6667;
inline constexpr const char* kFallbackNickBase = "K-HubUser";
// Received lines the lobby thread handles in one turn of its loop before other work (a
// command, a timer) gets its turn.
inline constexpr std::size_t kLinesPerTurn = 64;

struct ServerAddress {
    std::string host;
    std::uint16_t port = kDefaultServerPort;
};
ServerAddress ServerFromSettings(const CIni& settings);

// "K-HubUser" and a number from 1 to 99; with maxLength the name is cut so the whole nick
// fits ("K-HubUs42" for 9).
std::string RandomFallbackNick(int maxLength = 0);

// One complete line ("...\r\n" already at its end) to the server, whole, from any thread.
// A failed send while the receive side has seen a socket error drops the connection and
// tells the player ("ERROR 2: Socket connection lost.") once; any other failure, and any
// once the player disconnected or the link was already reset, is ignored.
// Returns what the send returned.
long SendIrcLine(Program& program, std::string_view line);
// The failure half of that rule, for callers that look at the result themselves.
int ReportSocketFailure(Program& program);

// The main title "K-Hub I - N users online".
void ShowUsersOnlineTitle(Program& program);

// Menu item 200's text and state; the terminal's connect/disconnect follow it.
void SetConnectItem(Program& program, const char* text, bool enabled);

// File > Connect / Disconnect (menu item 200).
void ToggleConnection(Program& program);
// Chooses the nick, prepares the registration lines and connects on a thread of its own.
void StartConnect(Program& program);
// Sends "QUIT :", forgets the channel and closes the game windows.
void Disconnect(Program& program);
// Drops the connection and returns every window to the not-connected state.
void ResetConnection(Program& program);
// The program is ending: one of the farewell QUIT lines, then the connection goes.
void RunExitSequence(Program& program);

// Gives the lobby its way to the server and to the channel user list (Program's links).
void ConnectIrcLinks(Program& program);

// Registration steps the dispatcher drives.
void SendRegistration(Program& program);      // NICK and USER, once per connection
void RunOnConnectSequence(Program& program);  // address queries, JOIN, "onconnect"

}  // namespace khub

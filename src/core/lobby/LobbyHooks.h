#pragma once
// Where the IRC dispatcher hands over to the lobby: every reaction of the game windows,
// the game list and the lobby protocol to what the server says.

#include <string>

#include "irc/IrcLine.h"

namespace khub {
struct Program;
}

namespace khub::lobby {

// A NOTICE to the channel (target "#..." or "@#..."/"+#..."). True when a lobby rule took it.
bool HandleChannelNotice(Program& program, const IrcLineParts& line);
// A NOTICE to us. True when a lobby rule took it (or holds it for later, see below).
bool HandlePrivateNotice(Program& program, const IrcLineParts& line);
// The client's ROM check has answered or its start has launched: the host's lines held
// meanwhile take effect now, in order, until one of them makes the client busy again.
void ReplayHeldHostNotices(Program& program);
// Plain private text (not CTCP). True when it was the game partner's chat and was shown;
// the caller plays the chat sound.
bool HandlePartnerChat(Program& program, const std::string& nick, const std::string& text);
// nick left the lobby (QUIT, PART of the lobby, KICK from the lobby).
void HandleDeparture(Program& program, const std::string& nick);
void HandleNickChange(Program& program, const std::string& oldNick, const std::string& newNick);
// Our own voice or operator status was taken: we can no longer host.
void CloseOwnHosting(Program& program);
// Another nick was voiced or opped: tell it about our game if we host one.
void HandleNewPlayer(Program& program, const std::string& nick);
// The connection is being reset: close the game windows and forget the game.
void CloseGameWindowsOnReset(Program& program);
// The player disconnected: run the open Host Game window's Cancel, or else the open Join
// Game window's Cancel.
void CancelGameWindows(Program& program);
// The server answered 421 for a command (e.g. WALLVOICES).
void HandleUnknownCommand(Program& program, const std::string& command);
// From now on channel-wide lobby messages go as NOTICE (said once in the log).
void MarkNoWallvoices(Program& program);
// The link to the server is gone: what the lobby learnt about that server (no WALLVOICES)
// and the lines it may still refuse are forgotten; the next server gets a fresh start.
void ForgetServer(Program& program);

}  // namespace khub::lobby

#include "LobbyHooks.h"

#include "app/Program.h"

// Placeholders until the lobby rules land: the dispatcher works without them.
namespace khub::lobby {

bool HandleChannelNotice(Program&, const IrcLineParts&) { return false; }
bool HandlePrivateNotice(Program&, const IrcLineParts&) { return false; }
bool HandlePartnerChat(Program&, const std::string&, const std::string&) { return false; }
void HandleDeparture(Program&, const std::string&) {}
void HandleNickChange(Program&, const std::string&, const std::string&) {}
void CloseOwnHosting(Program&) {}
void HandleNewPlayer(Program&, const std::string&) {}
void CloseGameWindowsOnReset(Program&) {}
void CancelGameWindows(Program&) {}
void HandleUnknownCommand(Program&, const std::string&) {}

}  // namespace khub::lobby

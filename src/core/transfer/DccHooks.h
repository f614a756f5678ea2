#pragma once
// Where the IRC dispatcher hands DCC requests (CTCP in a private PRIVMSG) to the transfers.

#include <string>

namespace khub {
struct Program;
}

namespace khub::transfer {

// text is everything after "SEND " / "RESUME " / "ACCEPT " as received.
void HandleDccSend(Program& program, const std::string& nick, const std::string& text);
void HandleDccResume(Program& program, const std::string& nick, const std::string& text);
void HandleDccAccept(Program& program, const std::string& nick, const std::string& text);

}  // namespace khub::transfer

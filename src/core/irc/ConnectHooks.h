#pragma once
// What start-up and the front ends' connect command call to start the server connection.

namespace khub {
struct Program;
}

namespace khub::irc {

// Starts connecting to the server (the connect thread); returns at once. Lobby thread.
void StartConnect(Program& program);

}  // namespace khub::irc

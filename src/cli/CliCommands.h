#pragma once
// Each area of the program brings its own terminal commands.

namespace khub {
class CliApp;

void AddIrcCommands(CliApp& app);       // connect, disconnect, raw, quit's farewell
void AddLobbyCommands(CliApp& app);     // games, join, create, select, start, kick, say, close
void AddTransferCommands(CliApp& app);  // download, close-transfer
}  // namespace khub

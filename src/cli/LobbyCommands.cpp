#include "CliApp.h"
#include "CliCommands.h"

namespace khub {

void AddLobbyCommands(CliApp&) {}

}  // namespace khub

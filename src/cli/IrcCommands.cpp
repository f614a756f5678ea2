#include "CliApp.h"
#include "CliCommands.h"

namespace khub {

void AddIrcCommands(CliApp&) {}

}  // namespace khub

#include "CliApp.h"
#include "CliCommands.h"

namespace khub {

void AddTransferCommands(CliApp&) {}

}  // namespace khub

#include "DccHooks.h"

#include "app/Program.h"

// Placeholders until the transfers land.
namespace khub::transfer {

void HandleDccSend(Program&, const std::string&, const std::string&) {}
void HandleDccResume(Program&, const std::string&, const std::string&) {}
void HandleDccAccept(Program&, const std::string&, const std::string&) {}

}  // namespace khub::transfer

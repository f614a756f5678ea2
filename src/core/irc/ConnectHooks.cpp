#include "ConnectHooks.h"

#include "app/Program.h"

// Placeholder until the server connection lands: says so instead of pretending to connect.
namespace khub::irc {

void StartConnect(Program& program) {
    program.log.DebugLog(
        "\x03"
        "4ERROR: Connecting is not available in this build yet.\r\n");
}

}  // namespace khub::irc

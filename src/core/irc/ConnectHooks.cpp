#include "ConnectHooks.h"

#include "irc/Connection.h"

namespace khub::irc {

void StartConnect(Program& program) {
    khub::StartConnect(program);
}

}  // namespace khub::irc

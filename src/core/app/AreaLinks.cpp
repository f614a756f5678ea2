#include "AreaLinks.h"

#include "app/Program.h"
#include "irc/Connection.h"

namespace khub {

void LinkAreas(Program& program) {
    program.links.sendLine = [&program](const std::string& line) {
        return SendIrcLine(program, line) >= 0;
    };
    program.links.userLevel = [&program](const std::string& nick) {
        return program.users.GetUserLevel(nick);
    };
}

}  // namespace khub

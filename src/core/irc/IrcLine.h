#pragma once
// One server line taken apart.

#include <string>
#include <string_view>

namespace khub {

struct IrcLineParts {
    std::string prefix;    // between ':' and the first blank
    std::string nick;      // prefix up to '!', or the whole prefix
    std::string command;   // command word or three-digit numeric
    std::string param;     // first parameter (not taken for QUIT)
    std::string trailing;  // the rest, one leading ':' removed
};

// 0 parsed; 1 prefix without a blank after it; 2 no blank after the command;
// 4 a line without prefix that holds no ':'.
struct ParsedIrcLine {
    int result = 0;
    IrcLineParts parts;
};

ParsedIrcLine ParseIrcLine(std::string_view line);

}  // namespace khub

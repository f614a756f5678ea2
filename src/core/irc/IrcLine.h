#pragma once
// One server line taken apart.

#include <string>
#include <string_view>
#include <vector>

namespace khub {

struct IrcLineParts {
    std::string prefix;    // between ':' and the first blank
    std::string nick;      // prefix up to '!', or the whole prefix
    std::string command;   // command word or three-digit numeric
    std::string param;     // first parameter (not taken for QUIT)
    std::string trailing;  // the rest, one leading ':' removed
    // The parameters as IRC defines them: blank-separated middle ones, then the one that
    // follows a ':' (which may hold blanks). Servers differ in which of the two forms they
    // use for the last one ("MODE #c +v Nick" or "MODE #c +v :Nick"); both give the same.
    std::vector<std::string> params;
};

// 0 parsed; 1 prefix without a blank after it; 2 no blank after the command;
// 4 a line without prefix that holds no ':'.
struct ParsedIrcLine {
    int result = 0;
    IrcLineParts parts;
};

ParsedIrcLine ParseIrcLine(std::string_view line);

}  // namespace khub

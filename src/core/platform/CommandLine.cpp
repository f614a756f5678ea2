#include "CommandLine.h"

namespace khub::platform {

std::string QuoteArgument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: doubled there, and one more for the quote.
        if (c == '"') {
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        backslashes = 0;
        out += c;
    }
    // Before the closing quote they would escape it.
    out.append(backslashes * 2, '\\');
    out += '"';
    return out;
}

std::string WindowsCommandLine(const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& arg : argv) {
        if (!line.empty()) line += ' ';
        line += QuoteArgument(arg);
    }
    return line;
}

}  // namespace khub::platform

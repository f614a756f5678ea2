#include "IrcLine.h"

namespace khub {

namespace {

// Field capacities, the terminating zero of the old fixed buffers included.
constexpr std::size_t kPrefixCapacity = 104;
constexpr std::size_t kNickCapacity = 104;
constexpr std::size_t kCommandCapacity = 52;
constexpr std::size_t kParamCapacity = 260;
constexpr std::size_t kTrailingCapacity = 1024;

std::string Cut(std::string_view text, std::size_t capacity) {
    return std::string(text.substr(0, capacity - 1));
}

std::string_view SkipOneColon(std::string_view text) {
    if (!text.empty() && text.front() == ':') text.remove_prefix(1);
    return text;
}

// A prefixed line that carries one of these markers is taken as if it came without prefix.
void DropPrefixBefore(std::string_view& line, std::string_view marker) {
    if (line.empty() || line.front() != ':' || line.find(marker) == std::string_view::npos) {
        return;
    }
    std::size_t blank = line.find(' ');
    line = blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
}

// middle* [ ":" last ], blank-separated; runs of blanks count as one.
std::vector<std::string> SplitParams(std::string_view rest) {
    std::vector<std::string> params;
    while (!rest.empty()) {
        if (rest.front() == ' ') {
            rest.remove_prefix(1);
            continue;
        }
        if (rest.front() == ':') {
            params.push_back(Cut(rest.substr(1), kTrailingCapacity));
            break;
        }
        std::size_t blank = rest.find(' ');
        params.push_back(Cut(rest.substr(0, blank), kTrailingCapacity));
        rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
    }
    return params;
}

}  // namespace

// line      = [ ":" prefix " " ] rest
// prefixed  = ":" prefix " " command " " [ param " " ] [ ":" ] trailing
//             (QUIT takes no param: everything after "QUIT " is trailing)
// bare      = command " :" [ ":" ] trailing      (e.g. "PING :server", "NOTICE AUTH :...")
// nick      = prefix up to its first "!"
// params    = what follows the command, split as IRC does (middle params, then ":" last);
//             a bare line has its trailing text as its one param
// A prefixed line holding "NOTICE AUTH :" or "PING :" anywhere loses its prefix first, so
// a server notice with a prefix and a bare one end up alike. Each field is cut to its
// capacity.
ParsedIrcLine ParseIrcLine(std::string_view line) {
    ParsedIrcLine out;
    DropPrefixBefore(line, "NOTICE AUTH :");
    DropPrefixBefore(line, "PING :");

    IrcLineParts& p = out.parts;
    if (!line.empty() && line.front() == ':') {
        line.remove_prefix(1);
        std::size_t blank = line.find(' ');
        if (blank == std::string_view::npos) {
            out.result = 1;
            return out;
        }
        std::string_view prefix = line.substr(0, blank);
        p.prefix = Cut(prefix, kPrefixCapacity);
        p.nick = Cut(prefix.substr(0, prefix.find('!')), kNickCapacity);
        std::string_view rest = line.substr(blank + 1);

        blank = rest.find(' ');
        if (blank == std::string_view::npos) {
            p.command = Cut(rest, kCommandCapacity);
            out.result = 2;
            return out;
        }
        std::string_view command = rest.substr(0, blank);
        p.command = Cut(command, kCommandCapacity);
        rest = rest.substr(blank + 1);
        p.params = SplitParams(rest);

        if (command != "QUIT") {
            blank = rest.find(' ');
            if (blank != std::string_view::npos) {
                p.param = Cut(rest.substr(0, blank), kParamCapacity);
                rest = rest.substr(blank + 1);
            }
        }
        p.trailing = Cut(SkipOneColon(rest), kTrailingCapacity);
        return out;
    }

    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        out.result = 4;
        return out;
    }
    // The byte before the colon is the separating blank.
    p.command = Cut(line.substr(0, colon == 0 ? 0 : colon - 1), kCommandCapacity);
    p.trailing = Cut(SkipOneColon(line.substr(colon + 1)), kTrailingCapacity);
    p.params = {p.trailing};
    return out;
}

}  // namespace khub

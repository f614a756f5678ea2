#include "OwnAddress.h"

#include <vector>

#include "transfer/DccMessages.h"

namespace khub {

int CountCharsOf(std::string_view text, std::string_view set) {
    int count = 0;
    for (char c : text) {
        if (set.find(c) != std::string_view::npos) ++count;
    }
    return count;
}

std::string IpFromHostName(std::string_view name) {
    std::size_t digit = name.find_first_of("0123456789");
    if (digit == std::string_view::npos) return {};
    name.remove_prefix(digit);
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < name.size() && tokens.size() < 4) {
        std::size_t end = name.find_first_of("-.", i);
        if (end == std::string_view::npos) end = name.size();
        if (end > i) tokens.push_back(name.substr(i, end - i));
        i = end + 1;
    }
    if (tokens.size() < 4) return {};
    std::string out;
    for (std::string_view t : tokens) {
        if (t.size() > 3 || t.find_first_not_of("0123456789") != std::string_view::npos ||
            std::stoi(std::string(t)) > 255) {
            return {};
        }
        if (!out.empty()) out += '.';
        out += t;
    }
    return out;
}

std::string AddressFromWhoisReply(const std::vector<std::string>& params) {
    std::string found;
    for (std::size_t i = 2; i < params.size(); ++i) {
        std::string_view rest = params[i];
        while (!rest.empty()) {
            std::size_t blank = rest.find(' ');
            std::string_view word = rest.substr(0, blank);
            if (transfer::IpNumberFromText(word)) found = std::string(word);
            rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
        }
    }
    return found;
}

}  // namespace khub

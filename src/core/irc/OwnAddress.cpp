#include "OwnAddress.h"

#include <vector>

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

}  // namespace khub

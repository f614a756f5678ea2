#include "GameListAppearance.h"

#include "settings/CIni.h"

namespace khub {

std::optional<Rgb> ParseColorText(std::string_view text) {
    text = text.substr(0, 12);
    unsigned char parts[3] = {0, 0, 0};
    int count = 0;
    std::size_t pos = 0;
    while (count < 3) {
        std::size_t comma = text.find(',', pos);
        std::string_view part = text.substr(
            pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos);
        unsigned value = 0;
        for (char c : part) {
            if (c < '0' || c > '9') break;
            value = (value * 10 + static_cast<unsigned>(c - '0')) & 0xFFFFu;
        }
        parts[count++] = static_cast<unsigned char>(value & 0xFFu);
        if (comma == std::string_view::npos) break;
        pos = comma + 1;
    }
    if (count < 3) return std::nullopt;
    return Rgb{parts[0], parts[1], parts[2]};
}

GameListAppearance ReadGameListAppearance(const CIni& settings) {
    GameListAppearance a;
    switch (settings.GetInt("UI", "GamelistBG", 0)) {
        case 1:
            a.background = GameListAppearance::Background::Color;
            a.backgroundColor = ParseColorText(settings.GetString("UI", "GamelistBGColor"));
            break;
        case 2:
            a.background = GameListAppearance::Background::Image;
            a.backgroundImage = settings.GetStringCut("UI", "GamelistBGImage", 260);
            break;
        default:
            break;
    }
    std::string text = settings.GetString("UI", "GamelistTextColor");
    if (!text.empty()) a.textColor = ParseColorText(text);
    return a;
}

}  // namespace khub

#pragma once
// The game list's colours and background from section "UI" of the settings file.

#include <optional>
#include <string>
#include <string_view>

#include "platform/Ui.h"

namespace khub {

class CIni;

// "R,G,B" in decimal. Only the first 12 characters count; each number is its leading
// digits (none gives 0) and keeps its low 8 bits, so "256,0,0" is black. Fewer than three
// parts give no colour at all, and the caller keeps the colour it had.
std::optional<Rgb> ParseColorText(std::string_view text);

struct GameListAppearance {
    enum class Background { System, Color, Image };
    Background background = Background::System;
    std::optional<Rgb> backgroundColor;  // Background::Color
    std::string backgroundImage;         // Background::Image, tiled
    std::optional<Rgb> textColor;        // none: the system's
};

GameListAppearance ReadGameListAppearance(const CIni& settings);

}  // namespace khub

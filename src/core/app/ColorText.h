#pragma once
// Texts with IRC colour codes (byte 0x03 and one or two digits) turned into coloured
// stretches, as the log and chat panes show them.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Ui.h"

namespace khub {

inline constexpr char kColorCode = '\x03';

// Coloured text for format texts: KHUB_COLORED(4, "text") is colour code 4 (red) and the
// text. The code byte and its number stay separate literals: a hex escape swallows the hex
// digits after it, so "\x03" and "4" written as one literal make the one byte 0x34, a plain
// '4'. The text must not start with a digit, which would become part of the number.
#define KHUB_COLORED(number, text) "\x03" #number text
// A bare code: back to the first colour of the line.
#define KHUB_COLOR_BACK "\x03"

inline constexpr int kDefaultColorIndex = 1;

const std::array<Rgb, 16>& ColorTable();

// Splits text at its colour codes. The first code's number becomes the base colour that
// a bare code (0x03 with no digit) returns to; "99" keeps the colour of the stretch before.
// Numbers outside the 16-entry table (16 to 98) also keep the colour before, and a bare code
// whose base is outside the table gives black. Empty stretches are left out. Other control
// bytes (bold, a comma and a background number) stay in the text.
std::vector<ColorStretch> ParseColorStretches(std::string_view text);

// Formatted texts hold at most 1023 bytes. A longer one is cut there; a cut never splits a
// UTF-8 sequence, and a text that ended a line still ends it after the cut.
inline constexpr std::size_t kMaxFormattedText = 1023;
std::string CutFormattedText(std::string text);

// The text without its colour codes (for plain-text sinks such as the terminal).
std::string StripColorCodes(std::string_view text);

}  // namespace khub

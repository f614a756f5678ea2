#include "ColorText.h"

namespace khub {

const std::array<Rgb, 16>& ColorTable() {
    static const std::array<Rgb, 16> table = {{
        {255, 255, 255}, {0, 0, 0},       {0, 0, 123},     {0, 146, 0},
        {255, 0, 0},     {123, 0, 0},     {156, 0, 156},   {255, 125, 0},
        {255, 255, 0},   {0, 255, 0},     {0, 146, 148},   {0, 255, 255},
        {0, 0, 255},     {255, 0, 255},   {123, 125, 123}, {214, 211, 214},
    }};
    return table;
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads one or two digits at pos; returns how many were read and their value.
int ReadCode(std::string_view text, std::size_t pos, int& value) {
    if (pos >= text.size() || !IsDigit(text[pos])) return 0;
    value = text[pos] - '0';
    if (pos + 1 < text.size() && IsDigit(text[pos + 1])) {
        value = value * 10 + (text[pos + 1] - '0');
        return 2;
    }
    return 1;
}

void Add(std::vector<ColorStretch>& out, Rgb color, std::string_view text) {
    if (text.empty()) return;
    if (!out.empty() && out.back().color == color) {
        out.back().text.append(text);
    } else {
        out.push_back({color, std::string(text)});
    }
}

}  // namespace

std::vector<ColorStretch> ParseColorStretches(std::string_view text) {
    const auto& table = ColorTable();
    const Rgb black = table[kDefaultColorIndex];
    std::vector<ColorStretch> out;

    std::size_t code = text.find(kColorCode);
    if (code == std::string_view::npos) {
        Add(out, black, text);
        return out;
    }
    Add(out, black, text.substr(0, code));

    int base = kDefaultColorIndex;
    int firstValue = 0;
    if (ReadCode(text, code + 1, firstValue) > 0) base = firstValue;

    Rgb color = black;
    while (code != std::string_view::npos) {
        if (code + 1 >= text.size()) break;
        std::size_t next = text.find(kColorCode, code + 1);
        std::size_t end = next == std::string_view::npos ? text.size() : next;
        std::size_t start = code + 1;
        int value = 0;
        int digits = ReadCode(text, start, value);
        if (digits > 0) {
            start += static_cast<std::size_t>(digits);
            if (value < static_cast<int>(table.size())) color = table[static_cast<std::size_t>(value)];
        } else {
            color = base < static_cast<int>(table.size()) ? table[static_cast<std::size_t>(base)]
                                                          : black;
        }
        Add(out, color, text.substr(start, end - start));
        code = next;
    }
    return out;
}

std::string CutFormattedText(std::string text) {
    if (text.size() <= kMaxFormattedText) return text;
    bool endedLine = text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0;
    std::size_t keep = endedLine ? kMaxFormattedText - 2 : kMaxFormattedText;
    // Back off continuation bytes so a multi-byte character is never split.
    std::size_t cut = keep;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    if (keep - cut > 3) cut = keep;  // not UTF-8 after all: single-byte text, cut anywhere
    text.resize(cut);
    if (endedLine) text.append("\r\n");
    return text;
}

std::string StripColorCodes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != kColorCode) {
            out.push_back(text[i]);
            continue;
        }
        int value = 0;
        i += static_cast<std::size_t>(ReadCode(text, i + 1, value));
    }
    return out;
}

}  // namespace khub

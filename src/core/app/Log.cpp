#include "Log.h"

#include <cstdio>
#include <vector>

#include "ColorText.h"

namespace khub {

std::string FormatTextV(const char* format, std::va_list args) {
    std::va_list copy;
    va_copy(copy, args);
    char small[1024];
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < sizeof small)
        return CutFormattedText(std::string(small, static_cast<std::size_t>(n)));
    std::vector<char> big(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), format, args);
    return CutFormattedText(std::string(big.data(), static_cast<std::size_t>(n)));
}

std::string FormatText(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::string s = FormatTextV(format, args);
    va_end(args);
    return s;
}

std::string WithoutLineEnd(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

void Logger::DebugLog(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::string text = FormatTextV(format, args);
    va_end(args);
    ui_.AppendText(WindowId::Debug, control::kDebugLog, ParseColorStretches(text));
}

void Logger::AppendColoredText(WindowId window, int controlId, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::string text = FormatTextV(format, args);
    va_end(args);
    ui_.AppendText(window, controlId, ParseColorStretches(text));
}

void Logger::AppendFormatted(WindowId window, int controlId, const std::string& text) {
    ui_.AppendText(window, controlId, ParseColorStretches(CutFormattedText(text)));
}

}  // namespace khub

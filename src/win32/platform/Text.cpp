#include "Text.h"

namespace khub::win32 {

std::wstring ShownText(const std::string& text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int needed =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (needed <= 0) {
        std::wstring latin1;
        for (const char c : text) latin1 += static_cast<wchar_t>(static_cast<unsigned char>(c));
        return latin1;
    }
    return Wide(text);
}

std::string WindowTextUtf8(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(window, text.data(), length + 1);
    return Utf8(text.data(), static_cast<std::size_t>(got > 0 ? got : 0));
}

}  // namespace khub::win32

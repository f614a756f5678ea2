#include "WideText.h"

#include "platform/Utf8Path.h"

namespace khub::win32 {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    int n =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Utf8(const wchar_t* wide, std::size_t length) {
    if (length == 0) return {};
    int n = ::WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0, nullptr,
                                  nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), out.data(), n, nullptr,
                          nullptr);
    return out;
}

std::string Utf8(const std::wstring& wide) {
    return Utf8(wide.data(), wide.size());
}

std::string ErrorText(DWORD error) {
    wchar_t* text = nullptr;
    DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out = n ? Utf8(text, n) : "error " + std::to_string(error);
    if (text) ::LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.')) {
        out.pop_back();
    }
    return out;
}

}  // namespace khub::win32

namespace khub {

std::filesystem::path PathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(win32::Wide(utf8));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    return win32::Utf8(path.native());
}

}  // namespace khub

#pragma once
// Paths are UTF-8 text everywhere in the program. The system's own form (UTF-16 on
// Windows, bytes elsewhere) is made only where a path meets the system or std::filesystem.

#include <filesystem>
#include <string>
#include <string_view>

namespace khub {

std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
inline constexpr std::string_view kPathSeparators = "\\/";
#else
inline constexpr char kPathSeparator = '/';
inline constexpr std::string_view kPathSeparators = "/";
#endif

}  // namespace khub

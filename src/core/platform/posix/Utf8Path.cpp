#include "platform/Utf8Path.h"

namespace khub {

// The system's names are bytes; UTF-8 text passes through as it is.
std::filesystem::path PathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(utf8);
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    return path.string();
}

}  // namespace khub

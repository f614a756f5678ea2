#include "Files.h"

#include <cerrno>

namespace khub::platform {

std::optional<std::string> ReadWholeFile(const std::string& path, bool* missing) {
    if (missing) *missing = false;
    std::FILE* f = OpenStream(path, "rb");
    if (!f) {
        if (missing) *missing = errno == ENOENT;
        return std::nullopt;
    }
    std::string content;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) content.append(buf, n);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return std::nullopt;
    return content;
}

}  // namespace khub::platform

#include "FileCrc.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace khub::transfer {

namespace {
std::array<std::uint32_t, 256> MakeTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}
}  // namespace

std::string FileCrcText(const std::string& path) {
    static const auto table = MakeTable();
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         std::fclose);
    if (!file) return {};
    std::vector<unsigned char> block(1 << 16);
    std::uint32_t crc = 0xFFFFFFFFu;
    std::size_t n;
    while ((n = std::fread(block.data(), 1, block.size(), file.get())) > 0) {
        for (std::size_t i = 0; i < n; ++i) crc = table[(crc ^ block[i]) & 0xFF] ^ (crc >> 8);
    }
    if (std::ferror(file.get())) return {};
    char text[9];
    std::snprintf(text, sizeof text, "%08X", crc ^ 0xFFFFFFFFu);
    return text;
}

}  // namespace khub::transfer

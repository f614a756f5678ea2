#include "Crc32.h"

#include <cstdio>

#ifdef KHUB_HAVE_ISAL
#include <isa-l/crc.h>
#endif

namespace khub::rom {

namespace {

// table[0] is the classic byte table; table[s] advances a byte s more steps.
struct CrcTables {
    std::uint32_t t[8][256];
    CrcTables() {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (std::uint32_t i = 0; i < 256; ++i) {
            for (int s = 1; s < 8; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
        }
    }
};

const CrcTables& Tables() {
    static const CrcTables tables;
    return tables;
}

}  // namespace

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size) {
#ifdef KHUB_HAVE_ISAL
    return crc32_gzip_refl(crc, static_cast<const unsigned char*>(data), size);
#else
    return Crc32Portable(crc, data, size);
#endif
}

std::uint32_t Crc32Portable(std::uint32_t crc, const void* data, std::size_t size) {
    const auto& t = Tables().t;
    const auto* p = static_cast<const unsigned char*>(data);
    std::uint32_t r = ~crc;
    while (size >= 8) {
        std::uint32_t lo = r ^ (std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                                std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24);
        std::uint32_t hi = std::uint32_t(p[4]) | std::uint32_t(p[5]) << 8 |
                           std::uint32_t(p[6]) << 16 | std::uint32_t(p[7]) << 24;
        r = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
        p += 8;
        size -= 8;
    }
    while (size--) r = (r >> 8) ^ t[0][(r ^ *p++) & 0xFF];
    return ~r;
}

std::uint32_t Crc32Bytewise(std::uint32_t crc, const void* data, std::size_t size) {
    const auto& t = Tables().t[0];
    const auto* p = static_cast<const unsigned char*>(data);
    std::uint32_t r = ~crc;
    for (std::size_t i = 0; i < size; ++i) r = (r >> 8) ^ t[(r ^ p[i]) & 0xFF];
    return ~r;
}

std::string CrcText(std::uint32_t crc) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(crc));
    return text;
}

}  // namespace khub::rom

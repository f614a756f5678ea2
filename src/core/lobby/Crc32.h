#pragma once
// CRC-32 of IEEE 802.3 (reflected 0xEDB88320), the checksum that names a ROM in the lobby.
// Every function is chained like zlib's crc32: start with 0, pass the previous result to
// continue.

#include <cstddef>
#include <cstdint>
#include <string>

namespace khub::rom {

// The fastest this build has: ISA-L where it was found, else Crc32Portable.
std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size);
// Slicing-by-8 tables: what builds without ISA-L (Windows among them) use.
std::uint32_t Crc32Portable(std::uint32_t crc, const void* data, std::size_t size);
// One byte per step with a 256-entry table: the reference for tests and the benchmark.
std::uint32_t Crc32Bytewise(std::uint32_t crc, const void* data, std::size_t size);
// Eight upper-case hex digits.
std::string CrcText(std::uint32_t crc);

}  // namespace khub::rom

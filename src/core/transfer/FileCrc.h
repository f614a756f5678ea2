#pragma once
// CRC-32 (IEEE 802.3) of a whole file as 8 upper-case hexadecimal digits.

#include <string>

namespace khub::transfer {

// Empty when the file cannot be read.
std::string FileCrcText(const std::string& path);

}  // namespace khub::transfer

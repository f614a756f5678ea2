#pragma once
// Content for test ROMs: n bytes that are the same for the same seed on every run.

#include <cstddef>
#include <random>
#include <string>

namespace khub::test {

inline std::string RandomBytes(std::size_t n, unsigned seed = 7) {
    std::mt19937 random(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(random());
    return s;
}

}  // namespace khub::test

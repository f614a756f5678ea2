#pragma once
// What the ROM choosers offer: one entry, matched in any letter case.

namespace khub {

inline constexpr const char* kRomFilterDescription = "Super Nintendo Games";
inline constexpr const char* kRomFilterPatterns[] = {"*.smc", "*.sfc", "*.swc", "*.fig", "*.058",
                                                     "*.078", "*.1",   "*.usa", "*.jap"};

}  // namespace khub

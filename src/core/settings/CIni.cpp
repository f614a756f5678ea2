#include "CIni.h"

#include <algorithm>
#include <cctype>

#include "IniFile.h"

namespace khub {

namespace {

// The profile layer hands numbers over in a 65-byte field.
std::string NumberField(const std::string& value) {
    return value.substr(0, 64);
}

// strtoul-like: blanks, an optional sign, then digits until the first non-digit.
std::uint32_t ParseUnsigned(std::string_view s, bool& sawDigit) {
    std::size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    std::uint64_t v = 0;
    sawDigit = false;
    bool overflow = false;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        sawDigit = true;
        v = v * 10 + static_cast<unsigned>(s[i] - '0');
        if (v > 0xFFFFFFFFull) overflow = true, v = 0xFFFFFFFFull;
    }
    // Like strtoul on a 32-bit long: out of range gives all bits set, whatever the sign.
    if (overflow) return 0xFFFFFFFFu;
    std::uint32_t r = static_cast<std::uint32_t>(v);
    return negative ? static_cast<std::uint32_t>(0u - r) : r;
}

}  // namespace

std::string CIni::GetString(std::string_view section, std::string_view key,
                            std::string_view def) const {
    if (auto v = ini::Read(path_, section, key)) return *v;
    return std::string(def);
}

std::string CIni::GetString(const SettingKey& k) const {
    if (k.capacity == 0) return GetString(k.section, k.key, k.textDefault);
    return GetStringCut(k.section, k.key, k.capacity, k.textDefault);
}

std::string CIni::GetStringCut(std::string_view section, std::string_view key, std::size_t capacity,
                               std::string_view def) const {
    std::string value = GetString(section, key, def);
    if (capacity == 0) return {};
    if (value.size() > capacity - 1) value.resize(capacity - 1);
    return value;
}

std::int32_t CIni::GetInt(std::string_view section, std::string_view key, std::int32_t def) const {
    std::string value = NumberField(GetString(section, key));
    if (value.empty()) return def;
    bool sawDigit = false;
    return static_cast<std::int32_t>(ParseUnsigned(value, sawDigit));
}

bool CIni::GetBool(std::string_view section, std::string_view key) const {
    std::string value = NumberField(GetString(section, key));
    if (value.empty()) return false;
    std::string lower = value;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "true" || lower == "yes") return true;
    bool sawDigit = false;
    return ParseUnsigned(value, sawDigit) != 0;
}

bool CIni::SetString(std::string_view section, std::string_view key, std::string_view value) const {
    return ini::Write(path_, section, key, value);
}

bool CIni::SetInt(std::string_view section, std::string_view key, std::int32_t value) const {
    return SetString(section, key, std::to_string(value));
}

bool CIni::SetBool(std::string_view section, std::string_view key, bool value) const {
    return SetString(section, key, value ? "1" : "0");
}

}  // namespace khub

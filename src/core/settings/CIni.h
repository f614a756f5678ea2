#pragma once
// Typed access to the settings file. Short-lived: build one where settings are needed,
// read what is needed at that moment, let it go. Nothing is cached, so a value changed
// by the Options dialog is seen by the next reader.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "SettingsKeys.h"

namespace khub {

class CIni {
  public:
    explicit CIni(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }
    void ReloadPath(std::string path) { path_ = std::move(path); }

    // The value, whatever its length; def when the file, section or key is missing.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view def = {}) const;
    // The value as text cut to capacity - 1 bytes, as a fixed field of that size holds it.
    std::string GetStringCut(std::string_view section, std::string_view key, std::size_t capacity,
                             std::string_view def = {}) const;
    // Unsigned decimal (leading blanks and a sign accepted, "abc" -> 0), its bits as a
    // 32-bit number; def only when the value is empty or missing.
    std::int32_t GetInt(std::string_view section, std::string_view key, std::int32_t def = 0) const;
    // "true"/"yes" in any case, or a non-zero number; missing or empty -> false.
    bool GetBool(std::string_view section, std::string_view key) const;

    bool SetString(std::string_view section, std::string_view key, std::string_view value) const;
    bool SetInt(std::string_view section, std::string_view key, std::int32_t value) const;
    bool SetBool(std::string_view section, std::string_view key, bool value) const;

    // The same through the key table: its section, key, default and field size.
    std::string GetString(const SettingKey& k) const;
    std::int32_t GetInt(const SettingKey& k) const {
        return GetInt(k.section, k.key, k.numberDefault);
    }
    bool GetBool(const SettingKey& k) const { return GetBool(k.section, k.key); }
    bool SetString(const SettingKey& k, std::string_view value) const {
        return SetString(k.section, k.key, value);
    }
    bool SetInt(const SettingKey& k, std::int32_t value) const {
        return SetInt(k.section, k.key, value);
    }
    bool SetBool(const SettingKey& k, bool value) const { return SetBool(k.section, k.key, value); }

  private:
    std::string path_;
};

}  // namespace khub

#include "settings/SettingHints.h"

namespace khub {

namespace {
bool Same(const SettingKey& a, const SettingKey& b) {
    return a.section == b.section && a.key == b.key;
}
}  // namespace

std::string OptionsFieldFor(const SettingKey& key) {
    if (Same(key, keys::kPlayerName)) return "Player name";
    if (Same(key, keys::kProgramPath)) return "Path to VOLTA program";
    if (Same(key, keys::kRomPath)) return "Path to ROM images";
    return {};
}

std::string HowToFixSetting(const SettingKey& key, const std::string& settingsFile) {
    std::string where = "key \"" + std::string(key.key) + "\" in section [" +
                        std::string(key.section) + "] of \"" + settingsFile + "\"";
    std::string field = OptionsFieldFor(key);
    if (field.empty()) {
        return "Change the " + where + " (the Options dialog has no field for it).";
    }
    return "Change \"" + field + "\" in File > Options... (" + where + ").";
}

}  // namespace khub

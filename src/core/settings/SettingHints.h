#pragma once
// The second half of an error message that a setting can cure: where the person changes it.
// Keys with a field in the Options dialog name that field; the others name the file.

#include <string>

#include "settings/SettingsKeys.h"

namespace khub {

// The Options dialog's label for the key, empty when the dialog has no field for it.
std::string OptionsFieldFor(const SettingKey& key);

// "Change \"Path to ROM images\" in File > Options... (key \"rompath\" in section [options]
// of \"/home/p/.config/K-Hub I/K-Hub.ini\")." or, for a key without a field, "Change the key
// ... in section [...] of \"...\" (the Options dialog has no field for it)."
std::string HowToFixSetting(const SettingKey& key, const std::string& settingsFile);

}  // namespace khub

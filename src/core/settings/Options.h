#pragma once
// What the Options dialog edits, read from and written to the settings file.

#include <string>
#include <string_view>

namespace khub {

struct Program;

// 5 to 15 characters, none of: blank + - = @ # % ! ^ & * ( ) { } : ; < > , . ? \ / ~ " ' `
bool IsValidPlayerName(std::string_view name);

struct OptionsValues {
    std::string playerName;  // at most 30 characters
    bool connectOnStartup = false;
    std::string programPath;  // the emulator; at most 1024 characters, as the other paths
    std::string romPath;
    bool playJoinSound = false;
    std::string joinSoundFile;
    bool playTextSound = false;
    std::string textSoundFile;
};

inline constexpr std::size_t kOptionsNameLimit = 30;
// What the dialog says: the folder browser's title, the box for a refused name.
inline constexpr const char* kRomFolderBrowseTitle = "Select you SNES ROM directory.";
inline constexpr const char* kInvalidPlayerNameText = "ERROR: Invalid Player Name";
inline constexpr std::size_t kOptionsPathLimit = 1024;

OptionsValues LoadOptions(const Program& program);

// Writes every field; the player name only when it is valid. The two sound flags are
// also kept in memory. Returns false when the name was refused (the rest is written).
bool SaveOptions(Program& program, const OptionsValues& values);

}  // namespace khub

#pragma once
// Every section and key of K-Hub.ini, in one table. Readers go through these constants
// (CIni::Get), so a key's spelling, its default and the field that takes it live here only.
//
// Capacity is the size of the field a value is read into, its terminating zero included:
// a longer value is cut to capacity - 1 bytes. Some readers use a field of another size for
// the same key (the Options dialog reads "playername" into 30 bytes, start-up checks the
// three paths in 260); they pass their own size to CIni::GetStringCut.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace khub {

enum class SettingType { Text, Number, Truth };

struct SettingKey {
    std::string_view section;
    std::string_view key;
    SettingType type;
    std::string_view textDefault;  // Text keys
    std::int32_t numberDefault;    // Number keys
    std::size_t capacity;          // Text keys; 0: no limit
    bool inOptionsDialog;          // edited by the Options dialog; the others only by hand
};

// Where the program connects when the file names no server.
inline constexpr std::string_view kDefaultServer = "irc.k-hubi.net";
inline constexpr std::int32_t kDefaultPort = 6667;

// Written at start-up in place of a 0 port.
inline constexpr std::int32_t kDefaultStartPort = 4000;
inline constexpr std::int32_t kDefaultEndPort = 4010;

namespace keys {

using enum SettingType;

// Section "options"
inline constexpr SettingKey kPlayerName{"options", "playername", Text, "", 0, 50, true};
inline constexpr SettingKey kProgramPath{"options", "programpath", Text, "", 0, 1024, true};
inline constexpr SettingKey kRomPath{"options", "rompath", Text, "", 0, 1024, true};
inline constexpr SettingKey kConnectOnStartup{"options", "connectonstartup", Truth, "", 0, 0, true};
inline constexpr SettingKey kStartPort{"options", "startport", Number, "", 0, 0, false};
inline constexpr SettingKey kEndPort{"options", "endport", Number, "", 0, 0, false};
inline constexpr SettingKey kRetries{"options", "retries", Number, "", 5, 0, false};
inline constexpr SettingKey kOnConnect{"options", "onconnect", Text, "", 0, 2046, false};
// One letter, "U" or "T"; anything else counts as "U".
inline constexpr SettingKey kProtocol{"options", "protocol", Text, "U", 0, 2, false};
inline constexpr SettingKey kBlacklist{"options", "blacklist", Text, "", 0, 2048, false};
inline constexpr SettingKey kWhitelist{"options", "whitelist", Text, "", 0, 2048, false};
// 0: blacklist mode, anything else: whitelist mode.
inline constexpr SettingKey kIgnoreList{"options", "ignorelist", Number, "", 0, 0, false};
// The IRC server and port; not in the Options dialog.
inline constexpr SettingKey kServer{"options", "server", Text, kDefaultServer, 0, 256, false};
inline constexpr SettingKey kPort{"options", "port", Number, "", kDefaultPort, 0, false};
// What starts a Windows emulator (a "programpath" ending in .exe) on another system; empty:
// the emulator is started directly.
inline constexpr SettingKey kLauncher{"options", "launcher", Text, "wine", 0, 1024, false};

// Section "host"
inline constexpr SettingKey kOwnIp{"host", "IP", Text, "", 0, 16, false};
inline constexpr SettingKey kPlaySound{"host", "playsound", Truth, "", 0, 0, true};
inline constexpr SettingKey kSoundFile{"host", "soundfile", Text, "", 0, 2048, true};
inline constexpr SettingKey kPlayTextSound{"host", "playtextsound", Truth, "", 0, 0, true};
inline constexpr SettingKey kTextSoundFile{"host", "textsoundfile", Text, "", 0, 2048, true};
// Spelled "Host" by its one reader; names match without regard to case, so it is the same
// section as "host".
inline constexpr SettingKey kGameName{"Host", "gamename", Text, "", 0, 129, false};

// Section "UI": the game list's look.
// 1: colour GamelistBGColor, 2: image GamelistBGImage, anything else: the system's default.
inline constexpr SettingKey kGamelistBG{"UI", "GamelistBG", Number, "", 0, 0, false};
// "R,G,B", three decimal components 0-255.
inline constexpr SettingKey kGamelistBGColor{"UI", "GamelistBGColor", Text, "", 0, 12, false};
inline constexpr SettingKey kGamelistBGImage{"UI", "GamelistBGImage", Text, "", 0, 260, false};
inline constexpr SettingKey kGamelistTextColor{"UI", "GamelistTextColor", Text, "", 0, 12, false};

}  // namespace keys

inline constexpr std::array kAllSettingKeys = {
    keys::kPlayerName,      keys::kProgramPath,
    keys::kRomPath,         keys::kConnectOnStartup,
    keys::kStartPort,       keys::kEndPort,
    keys::kRetries,         keys::kOnConnect,
    keys::kProtocol,        keys::kBlacklist,
    keys::kWhitelist,       keys::kIgnoreList,
    keys::kServer,          keys::kPort,
    keys::kLauncher,
    keys::kOwnIp,           keys::kPlaySound,
    keys::kSoundFile,       keys::kPlayTextSound,
    keys::kTextSoundFile,   keys::kGameName,
    keys::kGamelistBG,      keys::kGamelistBGColor,
    keys::kGamelistBGImage, keys::kGamelistTextColor,
};

}  // namespace khub

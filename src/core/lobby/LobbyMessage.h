#pragma once
// The lobby's own messages inside IRC notices: "K-Hub-3", '|', a verb and '|'-separated
// fields. No quoting exists, so no field can hold a '|'.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace khub::lobby {

inline constexpr const char* kLobbyTag = "K-Hub-3";

enum class LobbyVerb { Host, Game, Start, Match, Announce, Kick, Left, Get, Done, Client };

// The text whose presence anywhere in a notice marks the verb, e.g. "K-Hub-3|HOST|".
const char* LobbyTagText(LobbyVerb verb);
bool HasLobbyTag(std::string_view text, LobbyVerb verb);
bool IsLobbyMessage(std::string_view text);

// The fields of the message, starting at its tag: [0] "K-Hub-3", [1] the verb, [2] and on
// the verb's fields. Empty fields are skipped ("a||b" has two). Whatever stands before
// the tag (a WALLVOICES arrives as "+ K-Hub-3|...") is not a field.
std::vector<std::string> SplitLobbyFields(std::string_view text);
// Field n of that list, if present.
std::optional<std::string> LobbyField(const std::vector<std::string>& fields, std::size_t n);

// How channel-wide messages travel: WALLVOICES, or NOTICE to the channel on servers that
// do not know WALLVOICES.
enum class ChannelCarrier { Wallvoices, Notice };

// Complete lines for the server, CR LF included. An empty client means "no client".
std::string FormatHostToChannel(ChannelCarrier carrier, const std::string& channel,
                                const std::string& game, const std::string& client);
std::string FormatHostToNick(const std::string& nick, const std::string& game,
                             const std::string& client);
std::string FormatClientNotice(const std::string& hostNick);
std::string FormatGetNotice(const std::string& hostNick);
std::string FormatLeftNotice(const std::string& hostNick);
std::string FormatKickNotice(const std::string& clientNick);
std::string FormatGameNotice(const std::string& clientNick, const std::string& romFile,
                             const std::string& crcText, bool disableDownload);
std::string FormatMatchNotice(const std::string& nick, bool yes);
std::string FormatStartNotice(const std::string& clientNick, const std::string& hostAddress,
                              bool tcp);
std::string FormatDoneToChannel(ChannelCarrier carrier, const std::string& channel);
std::string FormatChatLine(const std::string& nick, const std::string& text);

// The text of an operator's announcement as the message box shows it: header, then the
// words with a line break once a line has grown past 50 columns; at most 499 bytes.
std::string AnnouncementText(std::string_view header, std::string_view words);

// Checks on what the network hands us before it reaches a file system or a command line.
// A ROM file name must stay inside the ROM folder: not empty, not "." or "..", and no
// '/', '\' or NUL.
bool IsSafeRomFileName(std::string_view name);
// A ROM file name we offer travels as a field of GAME and HOST (split at '|'), quoted in a
// DCC SEND (ended by '"') and inside one IRC line: '|', '"' and control bytes break them.
bool IsSendableRomFileName(std::string_view name);
// Four decimal numbers 0..255 joined by dots, nothing else.
bool IsDottedIpv4(std::string_view text);

}  // namespace khub::lobby

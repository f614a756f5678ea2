#include "LobbyMessage.h"

#include <array>

namespace khub::lobby {

namespace {

struct VerbTag {
    LobbyVerb verb;
    const char* tag;
};

// HOST, GAME, START, MATCH and ANNOUNCE carry fields and are recognised with their '|';
// the verbs without fields are recognised without it.
constexpr std::array<VerbTag, 10> kTags{{
    {LobbyVerb::Host, "K-Hub-3|HOST|"},
    {LobbyVerb::Game, "K-Hub-3|GAME|"},
    {LobbyVerb::Start, "K-Hub-3|START|"},
    {LobbyVerb::Match, "K-Hub-3|MATCH|"},
    {LobbyVerb::Announce, "K-Hub-3|ANNOUNCE|"},
    {LobbyVerb::Kick, "K-Hub-3|KICK"},
    {LobbyVerb::Left, "K-Hub-3|LEFT"},
    {LobbyVerb::Get, "K-Hub-3|GET"},
    {LobbyVerb::Done, "K-Hub-3|DONE"},
    {LobbyVerb::Client, "K-Hub-3|CLIENT"},
}};

std::string ChannelCommand(ChannelCarrier carrier) {
    return carrier == ChannelCarrier::Wallvoices ? "WALLVOICES " : "NOTICE ";
}

std::string WithClient(const std::string& game, const std::string& client) {
    return client.empty() ? game : game + "|" + client;
}

}  // namespace

const char* LobbyTagText(LobbyVerb verb) {
    for (const auto& t : kTags) {
        if (t.verb == verb) return t.tag;
    }
    return "";
}

bool HasLobbyTag(std::string_view text, LobbyVerb verb) {
    return text.find(LobbyTagText(verb)) != std::string_view::npos;
}

bool IsLobbyMessage(std::string_view text) {
    for (const auto& t : kTags) {
        if (text.find(t.tag) != std::string_view::npos) return true;
    }
    return false;
}

std::vector<std::string> SplitLobbyFields(std::string_view text) {
    std::vector<std::string> fields;
    std::size_t start = text.find(kLobbyTag);
    if (start == std::string_view::npos) return fields;
    text.remove_prefix(start);
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t bar = text.find('|', pos);
        std::size_t end = bar == std::string_view::npos ? text.size() : bar;
        if (end > pos) fields.emplace_back(text.substr(pos, end - pos));
        if (bar == std::string_view::npos) break;
        pos = bar + 1;
    }
    return fields;
}

std::optional<std::string> LobbyField(const std::vector<std::string>& fields, std::size_t n) {
    if (n >= fields.size()) return std::nullopt;
    return fields[n];
}

std::string FormatHostToChannel(ChannelCarrier carrier, const std::string& channel,
                                const std::string& game, const std::string& client) {
    return ChannelCommand(carrier) + channel + " :K-Hub-3|HOST|" + WithClient(game, client) +
           "\r\n";
}

std::string FormatHostToNick(const std::string& nick, const std::string& game,
                             const std::string& client) {
    return "NOTICE " + nick + " :K-Hub-3|HOST|" + WithClient(game, client) + "\r\n";
}

std::string FormatClientNotice(const std::string& hostNick) {
    return "NOTICE " + hostNick + " :K-Hub-3|CLIENT\r\n";
}

std::string FormatGetNotice(const std::string& hostNick) {
    return "NOTICE " + hostNick + " :K-Hub-3|GET\r\n";
}

std::string FormatLeftNotice(const std::string& hostNick) {
    return "NOTICE " + hostNick + " :K-Hub-3|LEFT\r\n";
}

std::string FormatKickNotice(const std::string& clientNick) {
    return "NOTICE " + clientNick + " :K-Hub-3|KICK\r\n";
}

std::string FormatGameNotice(const std::string& clientNick, const std::string& romFile,
                             const std::string& crcText, bool disableDownload) {
    return "NOTICE " + clientNick + " :K-Hub-3|GAME|" + romFile + "|" + crcText + "|" +
           (disableDownload ? "1" : "0") + "\r\n";
}

std::string FormatMatchNotice(const std::string& nick, bool yes) {
    return "NOTICE " + nick + " :K-Hub-3|MATCH|" + (yes ? "YES" : "NO") + "\r\n";
}

std::string FormatStartNotice(const std::string& clientNick, const std::string& hostAddress,
                              bool tcp) {
    return "NOTICE " + clientNick + " :K-Hub-3|START|" + hostAddress + (tcp ? "|1" : "") + "\r\n";
}

std::string FormatDoneToChannel(ChannelCarrier carrier, const std::string& channel) {
    return ChannelCommand(carrier) + channel + " :K-Hub-3|DONE\r\n";
}

std::string FormatChatLine(const std::string& nick, const std::string& text) {
    return "PRIVMSG " + nick + " :" + text + "\r\n";
}

std::string AnnouncementText(std::string_view header, std::string_view words) {
    constexpr std::size_t kLimit = 499;
    std::string out(header.substr(0, kLimit));
    std::size_t column = 0;
    bool first = true;
    std::size_t pos = 0;
    while (pos < words.size() && out.size() < kLimit) {
        std::size_t end = words.find(' ', pos);
        if (end == std::string_view::npos) end = words.size();
        std::string_view word = words.substr(pos, end - pos);
        pos = end + 1;
        if (word.empty()) continue;
        if (!first) {
            column += word.size();
            if (column > 50) {
                out += "\r\n \t";
                column = 0;
            } else {
                out += ' ';
                ++column;
            }
        }
        first = false;
        out += word;
    }
    if (out.size() > kLimit) out.resize(kLimit);
    return out;
}

bool IsSafeRomFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

bool IsSendableRomFileName(std::string_view name) {
    for (char c : name) {
        if (c == '|' || c == '"' || static_cast<unsigned char>(c) < 0x20 || c == '\x7f') {
            return false;
        }
    }
    return true;
}

bool IsDottedIpv4(std::string_view text) {
    int parts = 0;
    std::size_t pos = 0;
    for (;;) {
        std::size_t digits = 0;
        int value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 4) {
            value = value * 10 + (text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) return false;
        ++parts;
        if (pos == text.size()) return parts == 4;
        if (text[pos] != '.' || parts == 4) return false;
        ++pos;
    }
}

}  // namespace khub::lobby

#include "IrcDispatcher.h"

#include <chrono>
#include <cstdlib>
#include <string>

#include "app/Program.h"
#include "irc/Connection.h"
#include "irc/IrcLine.h"
#include "irc/OwnAddress.h"
#include "lobby/LobbyHooks.h"
#include "platform/Sockets.h"
#include "settings/SettingHints.h"
#include "transfer/DccHooks.h"

// A note on the log formats: "\x03" is kept apart from the colour digit after it ("\x03"
// "4..."), see KHUB_COLORED.

namespace khub {

namespace {

// ircu sends the own-nick MODE in the same burst as the end of the MOTD; servers that send
// none are joined after this pause. Should the pause win the race, the same lines go out.
constexpr std::chrono::milliseconds kOwnModeGrace{100};
// Refused nicks in a row before we give up on the server.
constexpr int kMaxFallbackNicks = 5;
// The longest nick RFC 1459 promises; what a server that refuses our first fallback before
// it has told its NICKLEN (ngircd) is taken to allow.
constexpr int kRfcNickLength = 9;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool Contains(std::string_view text, std::string_view what) {
    return text.find(what) != std::string_view::npos;
}

// The n-th (0-based) blank-separated word.
std::string_view Word(std::string_view text, int n) {
    std::size_t i = 0;
    for (int w = 0;; ++w) {
        while (i < text.size() && text[i] == ' ') ++i;
        if (i >= text.size()) return {};
        std::size_t end = text.find(' ', i);
        if (end == std::string_view::npos) end = text.size();
        if (w == n) return text.substr(i, end - i);
        i = end;
    }
}

std::string S(std::string_view v) {
    return std::string(v);
}

// The i-th IRC parameter (0-based), middle or trailing alike; empty when there is none.
std::string Param(const IrcLineParts& l, std::size_t i) {
    return i < l.params.size() ? l.params[i] : std::string();
}

// Parameters from i on, joined by blanks as ircu writes them.
std::string ParamsFrom(const IrcLineParts& l, std::size_t i) {
    std::string out;
    for (; i < l.params.size(); ++i) out += (out.empty() ? "" : " ") + l.params[i];
    return out;
}

bool IsLobby(const Program& p, std::string_view channel) {
    return EqualsIgnoringCase(channel, p.conn.channelName);
}

void LogUserCount(Program& p, int count) {
    p.log.DebugLog("UserCount: %i.\r\n", count);
}

void ShowMessageAsync(Program& p, const std::string& text) {
    p.ui.ShowMessage(text, BoxIcon::Information);
}

// --- registration -----------------------------------------------------------------------

void OnNoticeAuth(Program& p, const IrcLineParts& l) {
    if (Contains(l.trailing, "Checking Ident")) SendRegistration(p);
}

// Not every server addresses its ident notice to AUTH: hybrid sends "NOTICE * :...".
bool TakeIdentNotice(Program& p, const IrcLineParts& l) {
    if (p.conn.registrationSent || !Contains(l.trailing, "Checking Ident")) return false;
    SendRegistration(p);
    return true;
}

void OnPing(Program& p, const IrcLineParts& l) {
    // The reply ends with CR alone, as the lobby's servers have always accepted.
    SendIrcLine(p, "PONG :" + l.trailing + "\r");
}

void TellFallbackNick(Program& p, const char* refusal) {
    ShowMessageAsync(p, std::string(refusal) + " Setting it to " + p.conn.ownNick + " for now.");
}

void OnWelcome(Program& p, const IrcLineParts& l) {
    // The welcome names us as the server knows us: a shortened or changed nick is ours now.
    if (!l.param.empty() && l.param != "*" && l.param != p.conn.ownNick) {
        p.conn.ownNick = l.param;
        p.conn.nickLine = "NICK " + p.conn.ownNick + "\r\n";
    }
    ConnectionState::NickFallback& f = p.conn.nickFallback;
    f.welcomed = true;
    f.tries = 0;
    if (f.told) TellFallbackNick(p, f.told);
    f.told = nullptr;
}

// "005 me TOKEN TOKEN=value ... :are supported by this server"
void OnISupport(Program& p, const IrcLineParts& l) {
    ConnectionState::ServerFeatures& f = p.conn.features;
    f.listed = true;
    for (std::size_t i = 1; i + 1 < l.params.size(); ++i) {
        std::string_view token = l.params[i];
        if (token == "USERIP") f.userIp = true;
        if (token == "WALLVOICES") f.wallvoices = true;
        if (token.starts_with("NICKLEN=")) {
            int length = std::atoi(std::string(token.substr(8)).c_str());
            if (length > 0) f.nickLength = length;
        }
    }
}

void OnEndOfMotd(Program& p) {
    // Servers that send no own-nick MODE line still get us into the channel. The lobby's own
    // servers send that MODE just after the MOTD, and it stays what starts the sequence there.
    if (p.conn.channelJoinSent || p.conn.motdTimer) return;
    std::uint64_t generation = p.conn.generation;
    p.conn.motdTimer = p.loop.PostDelayed(kOwnModeGrace, [&p, generation] {
        p.conn.motdTimer = 0;
        if (generation == p.conn.generation && !p.conn.channelJoinSent) RunOnConnectSequence(p);
    });
}

// --- the channel user list --------------------------------------------------------------

void GiveModeratorsStaffLevel(Program& p) {
    for (const std::string& name : p.users.moderatorNames) {
        if (p.users.GetUserLevel(name) == level::kOperator)
            p.users.SetUserLevel(name, level::kStaff);
    }
}

void OnMode(Program& p, const IrcLineParts& l) {
    const std::string& setter = l.nick;
    const std::string target0 = Param(l, 0);
    const std::string modes = ParamsFrom(l, 1);
    if (Contains(target0, "#")) {
        p.log.DebugLog(
            "\x03"
            "4<%s> sets MODE CHANNEL :%s\r\n",
            setter.c_str(), modes.c_str());
    } else {
        p.log.DebugLog(
            "\x03"
            "4<%s> sets MODE %s :%s\r\n",
            setter.c_str(), target0.c_str(), modes.c_str());
    }
    if (target0 == l.nick || target0 == l.prefix) {
        if (target0 == p.conn.ownNick && !p.conn.channelJoinSent) RunOnConnectSequence(p);
        return;
    }

    std::string word = Param(l, 1);
    std::string target = Param(l, 2);
    if (target.empty()) return;
    bool own = target == p.conn.ownNick;
    auto countChanged = [&] {
        ShowUsersOnlineTitle(p);
        LogUserCount(p, p.users.onlineUserCount());
    };

    if (word == "+v" || word == "+o") {
        int before = p.users.GetUserLevel(target);
        if (word == "+v") {
            if (before != level::kMember) return;
            p.users.SetUserLevel(target, level::kVoiced);
            countChanged();
        } else {
            int count = p.users.onlineUserCount();
            p.users.SetUserLevel(target, level::kOperator);
            if (p.users.onlineUserCount() != count) countChanged();
        }
        if (own) {
            p.ui.SetMenuItem(menu::kCreate, "", true);
        } else {
            lobby::HandleNewPlayer(p, target);
        }
    } else if (word == "-v" || word == "-o") {
        int before = p.users.GetUserLevel(target);
        if (word == "-v") {
            if (before != level::kVoiced) return;
            p.users.SetUserLevel(target, level::kMember);
        } else {
            p.users.SetUserLevel(target, level::kMember);
        }
        countChanged();
        if (own) {
            lobby::CloseOwnHosting(p);
        } else {
            p.games.RemoveGameRow(target);
        }
    }
}

// --- chat -------------------------------------------------------------------------------

// The text of a CTCP ACTION: from 8 bytes after its \x01 to the next \x01 or the end.
std::string ActionText(std::string_view text) {
    std::size_t at = text.find(
        "\x01"
        "ACTION");
    std::string_view action = text.substr(std::min(text.size(), at + 8));
    return S(action.substr(0, action.find('\x01')));
}

void OnDcc(Program& p, const IrcLineParts& l) {
    const std::string& text = l.trailing;
    std::size_t at;
    if ((at = text.find("SEND ")) != std::string::npos && p.client.downloadRequested) {
        std::string offer = l.nick + " " + text.substr(at + 5);
        if (offer.size() > 1023) offer.resize(1023);
        p.log.DebugLog("%s\r\n", offer.c_str());
        transfer::HandleDccSend(p, l.nick, text.substr(at + 5));
    } else if ((at = text.find("RESUME ")) != std::string::npos) {
        transfer::HandleDccResume(p, l.nick, text.substr(at + 7));
    } else if ((at = text.find("ACCEPT ")) != std::string::npos) {
        transfer::HandleDccAccept(p, l.nick, text.substr(at + 7));
    }
}

void OnPrivmsg(Program& p, const IrcLineParts& l) {
    const std::string& nick = l.nick;
    const std::string& text = l.trailing;
    bool action = Contains(text,
                           "\x01"
                           "ACTION");
    if (!l.param.empty() && l.param.front() == '#') {
        if (IsLobby(p, l.param)) {
            if (action) {
                p.log.DebugLog(
                    "\x03"
                    "2%s %s",
                    nick.c_str(), ActionText(text).c_str());
            } else {
                p.log.DebugLog(
                    "\x03<\x03"
                    "4%s\x03> %s\r\n",
                    nick.c_str(), text.c_str());
            }
        } else if (action) {
            p.log.DebugLog(
                "\x03"
                "2%s %s %s",
                l.param.c_str(), nick.c_str(), ActionText(text).c_str());
        } else {
            p.log.DebugLog(
                "\x03%s <\x03"
                "4%s\x03> %s",
                l.param.c_str(), nick.c_str(), text.c_str());
        }
        return;
    }

    if (action) {
        p.log.DebugLog("ACTION:%s %s\r\n", nick.c_str(), ActionText(text).c_str());
        return;
    }
    std::size_t ctcp = text.find('\x01');
    if (ctcp != std::string::npos) {
        if (text.compare(ctcp + 1, 4, "DCC ") == 0) {
            OnDcc(p, l);
        } else {
            std::string request = text.substr(ctcp + 1);
            request = request.substr(0, request.find('\x01'));
            p.log.DebugLog("[CTCP] %s : %s\r\n", nick.c_str(), request.c_str());
        }
        return;
    }
    if (lobby::HandlePartnerChat(p, nick, text)) {
        if (p.playTextSound) {
            std::string sound = p.Settings().GetStringCut("host", "textsoundfile", 2048);
            if (!sound.empty()) p.ui.PlaySound(sound);
        }
        return;
    }
    p.log.DebugLog(
        "\x03"
        "4<<\x03%s\x03"
        "4>>\x03 %s\r\n",
        nick.c_str(), text.c_str());
}

void OnChanServNotice(Program& p, const IrcLineParts& l) {
    if (l.nick != "ChanServ" || !Contains(l.trailing, "Forum: ")) return;
    p.log.DebugLog("Forum message from ChanServ recieved.\r\n");
    std::string_view forum = Word(l.trailing, 2);
    if (!forum.empty()) {
        p.forumUrl = S(forum);
        p.log.DebugLog("Forum = %s\r\n", p.forumUrl.c_str());
    }
    if (Word(l.trailing, 3) == "Rules:") {
        p.log.DebugLog("Rules URL message from ChanServ recieved.\r\n");
        std::string_view rules = Word(l.trailing, 4);
        if (!rules.empty()) {
            p.rulesUrl = S(rules);
            p.log.DebugLog("Rules URL = %s\r\n", p.rulesUrl.c_str());
        }
    }
}

void OnNotice(Program& p, const IrcLineParts& l) {
    if (TakeIdentNotice(p, l)) return;
    bool toChannel =
        (l.param.size() > 0 && l.param[0] == '#') || (l.param.size() > 1 && l.param[1] == '#');
    if (toChannel) {
        if (lobby::HandleChannelNotice(p, l)) return;
        if (IsLobby(p, l.param)) {
            p.log.DebugLog(
                "\x03"
                "4<%s> %s\r\n",
                l.nick.c_str(), l.trailing.c_str());
        } else {
            p.log.DebugLog(
                "\x03"
                "4%s <%s> %s\r\n",
                l.param.c_str(), l.nick.c_str(), l.trailing.c_str());
        }
        return;
    }
    if (lobby::HandlePrivateNotice(p, l)) return;
    OnChanServNotice(p, l);
}

// --- arrivals and departures ------------------------------------------------------------

void OnJoin(Program& p, const IrcLineParts& l) {
    std::string_view channel = l.params.empty() ? std::string_view() : l.params[0];
    if (!channel.empty() && channel.front() == ':') channel.remove_prefix(1);
    if (!IsLobby(p, channel)) {
        p.log.DebugLog(
            "\x03"
            "3<%s> joins %s\r\n",
            l.nick.c_str(), S(channel).c_str());
        return;
    }
    p.log.DebugLog(
        "\x03"
        "3<%s> joins...\r\n",
        l.nick.c_str());
    if (l.nick == p.conn.ownNick) {
        SetConnectItem(p, "", true);
        return;
    }
    p.users.AddUser(l.nick);
    LogUserCount(p, p.users.userEntryCount());
}

// What every departure from the lobby shares.
void Departed(Program& p, const std::string& nick) {
    p.users.RemoveUser(nick);
    LogUserCount(p, p.users.onlineUserCount());
    ShowUsersOnlineTitle(p);
    p.games.RemoveGameRow(nick);
    lobby::HandleDeparture(p, nick);
}

void OnQuit(Program& p, const IrcLineParts& l) {
    p.log.DebugLog(
        "\x03"
        "2<%s> QUIT (%s)\r\n",
        l.nick.c_str(), l.trailing.c_str());
    Departed(p, l.nick);
}

void OnPart(Program& p, const IrcLineParts& l) {
    const std::string channel = Param(l, 0);
    if (!IsLobby(p, channel)) {
        p.log.DebugLog(
            "\x03"
            "3<%s> parts %s\r\n",
            l.nick.c_str(), channel.c_str());
        return;
    }
    p.log.DebugLog(
        "\x03"
        "3<%s> parts...\r\n",
        l.nick.c_str());
    Departed(p, l.nick);
}

void OnNick(Program& p, const IrcLineParts& l) {
    const std::string& oldNick = l.nick;
    std::string newNick = Param(l, 0);
    p.log.DebugLog(
        "\x03"
        "3<%s> NICK <%s>\r\n",
        oldNick.c_str(), newNick.c_str());
    p.users.RenameUser(oldNick, newNick);
    // The lobby moves the game row to the new nick and tells the game partner.
    lobby::HandleNickChange(p, oldNick, newNick);
}

void OnKick(Program& p, const IrcLineParts& l) {
    const std::string channel = Param(l, 0);
    const std::string victim = Param(l, 1);
    const std::string reason = Param(l, 2);
    // When the kicker gave none, ircu gives the victim's nick as the reason, and hybrid and
    // InspIRCd the kicker's.
    bool hasReason = !reason.empty() && !SameNick(reason, victim) && !SameNick(reason, l.nick);
    if (hasReason) {
        p.log.DebugLog(
            "\x03"
            "3<%s> has been kicked from %s by %s. (%s)\r\n",
            victim.c_str(), channel.c_str(), l.nick.c_str(), reason.c_str());
    } else {
        p.log.DebugLog(
            "\x03"
            "3<%s> has been kicked from %s by %s\r\n",
            victim.c_str(), channel.c_str(), l.nick.c_str());
    }
    if (!IsLobby(p, channel)) return;
    Departed(p, victim);
    if (EqualsIgnoringCase(victim, p.conn.ownNick)) {
        ResetConnection(p);
        p.ui.ShowMessage(hasReason
                             ? "Kicked: " + reason + "\r\n"
                             : "A operator has kicked you! You probably did something bad...\r\n",
                         BoxIcon::Warning);
    }
}

// --- replies ----------------------------------------------------------------------------

void OnBanned(Program& p, const IrcLineParts& l) {
    p.log.DebugLog(
        "\x03"
        "4%s\r\n",
        l.params.empty() ? "" : l.params.back().c_str());
    ResetConnection(p);
    p.ui.ShowMessage("You have been BANNED. Unable to join.", BoxIcon::Warning);
}

void OnTopic(Program& p, std::string_view topic, bool changed) {
    std::string modPart;
    std::vector<std::string> names = ModeratorListFromTopic(topic, &modPart);
    p.log.DebugLog(
        "\x03"
        "7%s\r\n",
        modPart.c_str());
    if (changed) {
        for (const std::string& old : p.users.moderatorNames) {
            p.log.DebugLog("%s - %s\r\n", old.c_str(), modPart.c_str());
            if (!Contains(modPart, old) && p.users.GetUserLevel(old) == level::kStaff) {
                p.users.SetUserLevel(old, level::kOperator);
            }
        }
    }
    p.users.moderatorNames = std::move(names);
    GiveModeratorsStaffLevel(p);
    ShowUsersOnlineTitle(p);
}

void OnNames(Program& p, const IrcLineParts& l) {
    // "353 me = #chan :names"
    std::string_view names = l.params.size() >= 3 ? std::string_view(l.params.back()) : "";
    p.log.DebugLog(
        "\x03"
        "4%s\r\n",
        S(names).c_str());
    for (int i = 0;; ++i) {
        std::string_view name = Word(names, i);
        if (name.empty()) break;
        p.users.AddUser(name);
    }
    GiveModeratorsStaffLevel(p);
    ShowUsersOnlineTitle(p);
}

// USERIP and USERHOST left us without an address (the server shows host names or cloaks
// them): a WHOIS on ourselves names the real one on most servers.
void AskWhoisForOwnAddress(Program& p) {
    if (!p.ownIpText.empty() || p.conn.ownAddress.whoisSent) return;
    p.conn.ownAddress.whoisSent = true;
    SendIrcLine(p, "WHOIS " + p.conn.ownNick + "\r\n");
}

// source names the reply in the log ("USERIP", "USERHOST: 1", "WHOIS").
void TakeOwnAddress(Program& p, const std::string& address, const std::string& source) {
    p.ownIpText = address;
    p.log.DebugLog(
        "\x03"
        "4%s: IPAddress set as \"%s\".\r\n",
        source.c_str(), p.ownIpText.c_str());
}

void OnWhoisAddress(Program& p, const IrcLineParts& l) {
    if (!p.ownIpText.empty() || Param(l, 1) != p.conn.ownNick) return;
    std::string address = AddressFromWhoisReply(l.params);
    if (!address.empty()) TakeOwnAddress(p, address, "WHOIS");
}

// The WHOIS told nothing either: the address of our end of the server connection is the
// last guess, and without one the player must say it, before a game fails on it.
void OnEndOfWhois(Program& p, const IrcLineParts& l) {
    ConnectionState::OwnAddressSearch& search = p.conn.ownAddress;
    if (!p.ownIpText.empty() || !search.whoisSent || search.ended ||
        Param(l, 1) != p.conn.ownNick) {
        return;
    }
    search.ended = true;
    std::string local = LocalIpv4Address(p.conn.ircSocket);
    if (!local.empty()) {
        p.ownIpText = local;
        p.log.DebugLog(
            "\x03"
            "4The server did not tell our address: IPAddress set as \"%s\", the address of "
            "this connection, which players outside this network may not reach.\r\n",
            p.ownIpText.c_str());
        return;
    }
    p.log.DebugLog(
        "\x03"
        "4No IP address of ours is known.\r\n");
    p.ui.ShowMessage(
        "WARNING: Your IP address could not be found out, so other players cannot download a "
        "ROM from you or start a game you host. " +
            HowToFixSetting(keys::kOwnIp, p.settingsFilePath),
        BoxIcon::Warning);
}

// The host of the first entry of a USERIP or USERHOST reply ("302 me :nick=+user@host ..."):
// a reply may list several nicks and may end in a blank.
std::string HostOfFirstEntry(const IrcLineParts& l) {
    if (l.params.empty()) return {};
    std::string_view entry = Word(l.params.back(), 0);
    std::size_t at = entry.find('@');
    return at == std::string_view::npos ? std::string() : S(entry.substr(at + 1));
}

void OnUserIp(Program& p, const IrcLineParts& l) {
    if (!p.ownIpText.empty()) return;
    std::string address = HostOfFirstEntry(l);
    if (address.empty() || address.size() > 15) return;
    TakeOwnAddress(p, address, "USERIP");
}

void OnUserHost(Program& p, const IrcLineParts& l) {
    if (!p.ownIpText.empty()) return;
    std::string host = HostOfFirstEntry(l);
    std::string address;
    int variant = 0;
    if (host.size() >= 7 && host.size() <= 15 && CountCharsOf(host, ".") == 3) {
        address = host;
        variant = 1;
    } else if (CountCharsOf(host, "-") >= 3) {
        address = IpFromHostName(host);
        variant = 2;
    } else if (CountCharsOf(host, ".") >= 5) {
        address = IpFromHostName(host);
        variant = 3;
    }
    if (address.empty() || address.size() > 15) return AskWhoisForOwnAddress(p);
    TakeOwnAddress(p, address, "USERHOST: " + std::to_string(variant));
}

// While registering, each refusal gets another fallback nick and the player hears once,
// when the server has taken one, which nick is ours. A server refusing nick after nick is
// given up on.
void OnNickRefused(Program& p, bool inUse) {
    ConnectionState::NickFallback& f = p.conn.nickFallback;
    if (!f.welcomed && f.tries >= kMaxFallbackNicks) {
        p.log.DebugLog(
            "\x03"
            "4The server refused %i nicknames in a row; giving up.\r\n",
            f.tries + 1);
        ResetConnection(p);
        p.ui.ShowMessage(
            "ERROR: The server refused every nickname tried. Choose a shorter player name "
            "in the Options and connect again.",
            BoxIcon::Error);
        return;
    }
    // A fallback of ours refused as bad before the server told its NICKLEN was too long.
    if (!inUse && f.tries > 0 && p.conn.features.nickLength == 0) {
        f.assumedLength = kRfcNickLength;
    }
    ++f.tries;
    int limit = p.conn.features.nickLength ? p.conn.features.nickLength : f.assumedLength;
    p.conn.ownNick = RandomFallbackNick(limit);
    p.conn.nickLine = "NICK " + p.conn.ownNick + "\r\n";
    SendIrcLine(p, p.conn.nickLine);
    p.log.DebugLog(
        "\x03"
        "3Setting NickName as %s.\r\n",
        p.conn.ownNick.c_str());
    const char* refusal =
        inUse ? "The chosen nickname is already in use." : "The chosen nickname was bad.";
    if (f.welcomed) {
        TellFallbackNick(p, refusal);
    } else if (!f.told) {
        f.told = refusal;
    }
}

void OnError(Program& p) {
    p.log.DebugLog(
        "\x03"
        "4ERROR: Server has closed the link.\r\n");
    ResetConnection(p);
    p.ui.ShowMessage("ERROR: Server has closed the link.", BoxIcon::Information);
}

void LogRaw(Program& p, std::string_view line) {
    p.log.DebugLog("%s\r\n", S(line).c_str());
}

}  // namespace

void DispatchIrcLine(Program& p, std::string_view line) {
    ParsedIrcLine parsed = ParseIrcLine(line);
    if (parsed.result != 0) return;
    const IrcLineParts& l = parsed.parts;
    const std::string& c = l.command;

    if (c == "NOTICE AUTH") return OnNoticeAuth(p, l);
    if (c == "PING") return OnPing(p, l);
    if (c == "MODE") return OnMode(p, l);
    if (c == "PRIVMSG") return OnPrivmsg(p, l);
    if (c == "NOTICE") return OnNotice(p, l);
    if (c == "JOIN") return OnJoin(p, l);
    if (c == "QUIT") return OnQuit(p, l);
    if (c == "PART") return OnPart(p, l);
    if (c == "NICK") return OnNick(p, l);
    if (c == "KICK") return OnKick(p, l);
    if (c == "474") return OnBanned(p, l);
    if (c == "332") return OnTopic(p, l.params.size() >= 3 ? l.params[2] : "", false);
    if (c == "TOPIC") return OnTopic(p, Param(l, 1), true);
    if (c == "302") return OnUserHost(p, l);
    if (c == "340") return OnUserIp(p, l);
    if (c == "333" || c == "366") return;
    if (c == "353") return OnNames(p, l);
    if (c == "433") return OnNickRefused(p, true);
    if (c == "432") return OnNickRefused(p, false);
    if (c == "ERROR") return OnError(p);

    if (c == "001") OnWelcome(p, l);
    if (c == "005") OnISupport(p, l);
    LogRaw(p, line);
    if (c == "376" || c == "422") OnEndOfMotd(p);
    // Ergo reports the own user modes with 221 instead of a MODE line.
    if (c == "221" && l.param == p.conn.ownNick && !p.conn.channelJoinSent) RunOnConnectSequence(p);
    if (c == "421") lobby::HandleUnknownCommand(p, Param(l, 1));
    if (c == "421" && Param(l, 1) == "USERHOST") AskWhoisForOwnAddress(p);
    if (c == "338" || c == "378") OnWhoisAddress(p, l);
    if (c == "318") OnEndOfWhois(p, l);
}

}  // namespace khub

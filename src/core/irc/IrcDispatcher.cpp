#include "IrcDispatcher.h"

#include <chrono>
#include <string>

#include "app/Program.h"
#include "irc/Connection.h"
#include "irc/IrcLine.h"
#include "irc/OwnAddress.h"
#include "lobby/LobbyHooks.h"
#include "transfer/DccHooks.h"

// A note on the log formats: "\x03" is kept apart from the colour digit after it ("\x03"
// "4..."), see KHUB_COLORED.

namespace khub {

namespace {

constexpr std::chrono::milliseconds kOwnModeGrace{1000};

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

// The text after the first ':' of text; all of it when there is none.
std::string_view AfterFirstColon(std::string_view text) {
    std::size_t colon = text.find(':');
    return colon == std::string_view::npos ? text : text.substr(colon + 1);
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

void OnPing(Program& p, const IrcLineParts& l) {
    // The reply ends with CR alone, as the lobby's servers have always accepted.
    SendIrcLine(p, "PONG :" + l.trailing + "\r");
}

void OnWelcome(Program& p, const IrcLineParts& l) {
    // The welcome names us as the server knows us: a shortened or changed nick is ours now.
    if (!l.param.empty() && l.param != "*" && l.param != p.conn.ownNick) {
        p.conn.ownNick = l.param;
        p.conn.nickLine = "NICK " + p.conn.ownNick + "\r\n";
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
    if (Contains(l.param, "#")) {
        p.log.DebugLog(
            "\x03"
            "4<%s> sets MODE CHANNEL :%s\r\n",
            setter.c_str(), l.trailing.c_str());
    } else {
        p.log.DebugLog(
            "\x03"
            "4<%s> sets MODE %s :%s\r\n",
            setter.c_str(), l.param.c_str(), l.trailing.c_str());
    }
    if (l.param == l.nick || l.param == l.prefix) {
        if (l.param == p.conn.ownNick && !p.conn.channelJoinSent) RunOnConnectSequence(p);
        return;
    }

    std::string word = S(Word(l.trailing, 0));
    std::string target = S(Word(l.trailing, 1));
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
    // The channel comes as a parameter or as trailing text, depending on the server.
    std::string_view channel = l.trailing.empty() ? std::string_view(l.param) : l.trailing;
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
    // "PART :#chan" has the channel as trailing text; "PART #chan :reason" as parameter.
    const std::string& channel = l.param.empty() ? l.trailing : l.param;
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
    std::string newNick = l.trailing.empty() ? l.param : l.trailing;
    p.log.DebugLog(
        "\x03"
        "3<%s> NICK <%s>\r\n",
        oldNick.c_str(), newNick.c_str());
    p.users.RenameUser(oldNick, newNick);
    // The lobby moves the game row to the new nick and tells the game partner.
    lobby::HandleNickChange(p, oldNick, newNick);
}

void OnKick(Program& p, const IrcLineParts& l) {
    const std::string& channel = l.param;
    std::string_view rest = l.trailing;
    std::size_t blank = rest.find(' ');
    std::string victim = S(rest.substr(0, blank));
    std::string reason;
    if (blank != std::string_view::npos) {
        std::string_view r = rest.substr(blank + 1);
        if (!r.empty() && r.front() == ':') r.remove_prefix(1);
        reason = S(r);
    }
    // ircu gives the victim's nick as the reason when the kicker gave none.
    bool hasReason = !reason.empty() && !SameNick(reason, victim);
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
        S(AfterFirstColon(l.trailing)).c_str());
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
    std::string_view names = AfterFirstColon(l.trailing);
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

std::string AfterFirstAt(std::string_view text) {
    std::size_t at = text.find('@');
    return at == std::string_view::npos ? std::string() : S(text.substr(at + 1));
}

void OnUserIp(Program& p, const IrcLineParts& l) {
    if (!p.ownIpText.empty()) return;
    std::string address = AfterFirstAt(l.trailing);
    if (address.empty() || address.size() > 15) return;
    p.ownIpText = address;
    p.log.DebugLog(
        "\x03"
        "4USERIP: IPAddress set as \"%s\".\r\n",
        p.ownIpText.c_str());
}

void OnUserHost(Program& p, const IrcLineParts& l) {
    if (!p.ownIpText.empty()) return;
    std::string host = AfterFirstAt(l.trailing);
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
    if (address.empty() || address.size() > 15) return;
    p.ownIpText = address;
    p.log.DebugLog(
        "\x03"
        "4USERHOST: %i: IPAddress set as \"%s\".\r\n",
        variant, p.ownIpText.c_str());
}

void OnNickRefused(Program& p, bool inUse) {
    p.conn.ownNick = RandomFallbackNick();
    p.conn.nickLine = "NICK " + p.conn.ownNick + "\r\n";
    SendIrcLine(p, p.conn.nickLine);
    p.log.DebugLog(
        "\x03"
        "3Setting NickName as %s.\r\n",
        p.conn.ownNick.c_str());
    ShowMessageAsync(
        p, inUse ? "The chosen nickname is already in use. Setting it to K-HubUser## for now."
                 : "The chosen nickname was bad. Setting it to K-HubUser## for now.");
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
    if (c == "332") {
        std::size_t colon = l.trailing.find(':');
        std::string_view topic = l.trailing;
        return OnTopic(p, colon == std::string::npos ? std::string_view() : topic.substr(colon + 1),
                       false);
    }
    if (c == "TOPIC") return OnTopic(p, l.trailing, true);
    if (c == "302") return OnUserHost(p, l);
    if (c == "340") return OnUserIp(p, l);
    if (c == "333" || c == "366") return;
    if (c == "353") return OnNames(p, l);
    if (c == "433") return OnNickRefused(p, true);
    if (c == "432") return OnNickRefused(p, false);
    if (c == "ERROR") return OnError(p);

    if (c == "001") OnWelcome(p, l);
    LogRaw(p, line);
    if (c == "376" || c == "422") OnEndOfMotd(p);
    if (c == "421") lobby::HandleUnknownCommand(p, S(Word(l.trailing, 0)));
}

}  // namespace khub

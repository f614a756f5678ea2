// The lobby's rules for what arrives from the server: lobby messages in notices, the game
// partner's chat, departures, nick changes and voice changes.

#include "LobbyHooks.h"

#include "Lobby.h"
#include "app/ColorText.h"
#include "app/Program.h"
#include "transfer/Transfer.h"

namespace khub::lobby {

namespace {

// The HOST announcement at any member: the game list row, and our pending join.
void TakeHostAnnouncement(Program& program, const std::string& sender,
                          const std::vector<std::string>& fields) {
    program.log.DebugLog("K-Hub Hosting message recieved.\r\n");
    auto game = LobbyField(fields, 2);
    if (!game) return;
    std::string client = LobbyField(fields, 3).value_or("");
    PutGameRow(program, *game, sender, !client.empty());
    ClientGotHost(program, sender, client);
}

void TakeDone(Program& program, const std::string& sender) {
    program.log.DebugLog("Host done.\r\n");
    RemoveGameRow(program, sender);
    if (program.windows.client && sender == program.client.joinedHostNick) {
        ClientHostGone(program, sender);
    }
}

// Only the other side of the game we are in may drive it.
bool FromHostPartner(Program& program, const std::string& sender, const char* verb) {
    if (program.windows.client && !program.client.joinedHostNick.empty() &&
        sender == program.client.joinedHostNick) {
        return true;
    }
    program.log.DebugLog("Ignored %s from %s: not the host of our game.\r\n", verb, sender.c_str());
    return false;
}

bool FromClientPartner(Program& program, const std::string& sender, const char* verb) {
    if (program.windows.host && !program.host.joinedClientNick.empty() &&
        sender == program.host.joinedClientNick) {
        return true;
    }
    program.log.DebugLog("Ignored %s from %s: not the client of our game.\r\n", verb,
                         sender.c_str());
    return false;
}

// The host's lines act in the order it sent them. The ROM check and the start of the
// emulator take time, and a START must not overtake them: it waits, and so does every GAME
// or START from the host behind it.
bool HoldForClientBusy(Program& program, const IrcLineParts& line) {
    if (!program.windows.client || line.nick.empty() ||
        line.nick != program.client.joinedHostNick) {
        return false;
    }
    const bool start = HasLobbyTag(line.trailing, LobbyVerb::Start);
    if (!start && !HasLobbyTag(line.trailing, LobbyVerb::Game)) return false;
    auto& held = program.lobby.heldHostNotices;
    if (held.empty() && !(start && ClientBusyWithHost(program))) return false;
    held.push_back(line);
    program.log.DebugLog(
        "Holding %s from %s until the ROM check or the start before it is done.\r\n",
        start ? "START" : "GAME", line.nick.c_str());
    return true;
}

bool TakePrivateNotice(Program& program, const IrcLineParts& line);

}  // namespace

bool HandlePrivateNotice(Program& program, const IrcLineParts& line) {
    if (line.nick == program.conn.ownNick || !IsLobbyMessage(line.trailing)) return false;
    if (HoldForClientBusy(program, line)) return true;
    return TakePrivateNotice(program, line);
}

void ReplayHeldHostNotices(Program& program) {
    LobbyRuntime& r = program.lobby;
    if (r.replayingHeldNotices) return;
    r.replayingHeldNotices = true;
    while (!r.heldHostNotices.empty() && !ClientBusyWithHost(program)) {
        IrcLineParts line = std::move(r.heldHostNotices.front());
        r.heldHostNotices.pop_front();
        TakePrivateNotice(program, line);
    }
    r.replayingHeldNotices = false;
}

namespace {

// A lobby message from someone else (HandlePrivateNotice has looked), now or held back.
bool TakePrivateNotice(Program& program, const IrcLineParts& line) {
    const std::string& sender = line.nick;
    const std::string& text = line.trailing;
    const int level = UserLevel(program, sender);
    const auto fields = SplitLobbyFields(text);
    auto has = [&](LobbyVerb verb, int minLevel) {
        return level >= minLevel && HasLobbyTag(text, verb);
    };

    if (has(LobbyVerb::Get, 0)) {
        if (!program.host.disableDownload && !program.transfer.transferInProgress &&
            FromClientPartner(program, sender, "GET")) {
            if (program.links.offerRomByDcc) {
                program.links.offerRomByDcc(sender);
            } else {
                transfer::OfferRomByDcc(program, sender);
            }
        }
        return true;
    }
    if (has(LobbyVerb::Client, 1)) {
        if (IsPlayerFiltered(program, sender)) return true;
        if (!program.windows.host || program.host.hostedGameName.empty()) {
            program.log.DebugLog("Ignored CLIENT from %s: no game is hosted.\r\n", sender.c_str());
            return true;
        }
        HostGotClient(program, sender);
        return true;
    }
    if (has(LobbyVerb::Left, 0)) {
        if (program.windows.host && FromClientPartner(program, sender, "LEFT")) {
            HostClientLeft(program, sender, true);
        }
        return true;
    }
    if (has(LobbyVerb::Match, 0)) {
        if (FromClientPartner(program, sender, "MATCH")) {
            HostGotMatch(program, LobbyField(fields, 2).value_or(""));
        }
        return true;
    }
    if (has(LobbyVerb::Done, 0)) {
        TakeDone(program, sender);
        return true;
    }
    if (has(LobbyVerb::Announce, 3)) {
        ShowAnnouncement(program, "Notice:\r\n\r\n\t", LobbyField(fields, 2).value_or(""));
        return true;
    }
    if (has(LobbyVerb::Kick, 0)) {
        if (program.windows.client && sender == program.client.joinedHostNick) {
            ClientGotKick(program, sender);
        }
        return true;
    }
    if (has(LobbyVerb::Game, 0)) {
        if (FromHostPartner(program, sender, "GAME")) {
            std::string flag = LobbyField(fields, 4).value_or("0");
            ClientGotGame(program, sender, LobbyField(fields, 2).value_or(""),
                          LobbyField(fields, 3).value_or(""), std::atoi(flag.c_str()) != 0);
        }
        return true;
    }
    if (has(LobbyVerb::Start, 0)) {
        if (FromHostPartner(program, sender, "START")) {
            program.log.DebugLog("Host waiting for conection.\r\n");
            EnableJoinControl(program, control::kDownload, false);
            StartClientGame(program, LobbyField(fields, 2).value_or(""),
                            LobbyField(fields, 3).has_value());
        }
        return true;
    }
    if (has(LobbyVerb::Host, 1)) {
        if (!IsPlayerFiltered(program, sender)) TakeHostAnnouncement(program, sender, fields);
        return true;
    }
    return false;
}

}  // namespace

bool HandleChannelNotice(Program& program, const IrcLineParts& line) {
    const std::string& sender = line.nick;
    const std::string& text = line.trailing;
    if (sender == program.conn.ownNick || !IsLobbyMessage(text)) return false;
    const int level = UserLevel(program, sender);
    const auto fields = SplitLobbyFields(text);
    if (level >= 0 && HasLobbyTag(text, LobbyVerb::Done)) {
        if (!IsPlayerFiltered(program, sender)) TakeDone(program, sender);
        return true;
    }
    if (level >= 1 && HasLobbyTag(text, LobbyVerb::Host)) {
        if (!IsPlayerFiltered(program, sender)) TakeHostAnnouncement(program, sender, fields);
        return true;
    }
    if (level >= 3 && HasLobbyTag(text, LobbyVerb::Announce)) {
        ShowAnnouncement(program, "Announcement:\r\n\r\n\t", LobbyField(fields, 2).value_or(""));
        return true;
    }
    return false;
}

bool HandlePartnerChat(Program& program, const std::string& nick, const std::string& text) {
    bool toHost = program.windows.host && !nick.empty() && nick == program.host.joinedClientNick;
    bool toClient =
        !toHost && program.windows.client && !nick.empty() && nick == program.client.joinedHostNick;
    if (!toHost && !toClient) return false;
    std::string line = ChatPaneLine(program, nick, text);
    if (toHost) {
        HostWindowLog(program, "%s", line.c_str());
    } else {
        JoinWindowLog(program, "%s", line.c_str());
    }
    return true;
}

void HandleDeparture(Program& program, const std::string& nick) {
    if (nick.empty()) return;
    if (program.windows.host && nick == program.host.joinedClientNick) {
        HostClientLeft(program, nick, false);
    }
    if (program.windows.client && nick == program.client.joinedHostNick) {
        ClientHostGone(program, nick);
    }
}

void HandleNickChange(Program& program, const std::string& oldNick, const std::string& newNick) {
    int row = program.games.FindGameRow(oldNick);
    if (row >= 0) {
        program.log.DebugLog("SetSubItem: Text=%s Line=%i Column=%i\r\n", newNick.c_str(), row, 1);
        program.games.SetGameRowCell(row, 1, newNick);
    }
    if (!oldNick.empty() && oldNick == program.client.joinedHostNick) {
        program.client.joinedHostNick = newNick;
        for (auto& held : program.lobby.heldHostNotices) held.nick = newNick;
        JoinWindowLog(program, "<%s> is now known as <%s>.\r\n", oldNick.c_str(), newNick.c_str());
    }
    if (!oldNick.empty() && oldNick == program.host.joinedClientNick) {
        program.host.joinedClientNick = newNick;
        HostWindowLog(program, "<%s> is now known as <%s>.\r\n", oldNick.c_str(), newNick.c_str());
    }
}

void CloseOwnHosting(Program& program) {
    program.ui.SetMenuItem(menu::kCreate, "", false);
    program.log.DebugLog("Closing Hosting window.\r\n");
    transfer::EndTransferWithGame(program);
    CreateGameCancel(program);
    HostCancel(program);
    program.host = HostGameState{};
    RemoveGameRow(program, program.conn.ownNick);
    // Without voice there is nothing to host: the item stays grey until voice comes back.
    program.ui.SetMenuItem(menu::kCreate, "", false);
}

void HandleNewPlayer(Program& program, const std::string& nick) {
    if (!program.host.hostedGameName.empty() && program.windows.host) AnnounceHostTo(program, nick);
}

void CloseGameWindowsOnReset(Program& program) {
    CreateGameCancel(program);
    HostCancel(program);
    JoinCancel(program);
    program.host = HostGameState{};
}

void CancelGameWindows(Program& program) {
    if (program.windows.host) {
        HostCancel(program);
    } else if (program.windows.client) {
        JoinCancel(program);
    }
}

void HandleUnknownCommand(Program& program, const std::string& command) {
    if (command != "WALLVOICES") return;
    LobbyRuntime& r = program.lobby;
    MarkNoWallvoices(program);
    // The announcement the server refused goes out again the new way.
    if (!r.unansweredWallvoices.empty()) {
        std::string line = r.unansweredWallvoices.front();
        r.unansweredWallvoices.pop_front();
        SendLine(program, "NOTICE " + line.substr(std::string("WALLVOICES ").size()));
    }
}

void MarkNoWallvoices(Program& program) {
    if (program.lobby.noWallvoices) return;
    program.lobby.noWallvoices = true;
    program.log.DebugLog(
        KHUB_COLORED(4,
                     "The server does not know WALLVOICES: lobby "
                     "announcements go to the channel as NOTICE from now on.\r\n"));
}

void ForgetServer(Program& program) {
    program.lobby.noWallvoices = false;
    program.lobby.unansweredWallvoices.clear();
}

}  // namespace khub::lobby

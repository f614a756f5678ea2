#pragma once
// The program's state, owned by one object and passed, not held in globals. All of it
// belongs to the lobby thread (see EventLoop); I/O threads hand results over by posting.

#include <string>

#include "app/Log.h"
#include "irc/Connection.h"
#include "irc/ConnectionState.h"
#include "irc/UserList.h"
#include "lobby/GameList.h"
#include "lobby/Lobby.h"
#include "lobby/LobbyState.h"
#include "platform/EventLoop.h"
#include "platform/Ui.h"
#include "settings/CIni.h"
#include "transfer/TransferState.h"

namespace khub {

inline constexpr const char* kProgramTitle = "K-Hub I";

struct Program {
    Program(Ui& ui, EventLoop& loop, std::string settingsFilePath)
        : ui(ui), loop(loop), log(ui), settingsFilePath(std::move(settingsFilePath)) {
        ConnectIrcLinks(*this);
        games.SetSelectionObserver([this] { lobby::UpdateJoinItem(*this); });
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    Ui& ui;
    EventLoop& loop;
    Logger log;

    // A fresh accessor on the settings file; nothing is cached.
    CIni Settings() const { return CIni(settingsFilePath); }

    // Settings held in memory (loaded at start-up, rewritten by the Options dialog).
    std::string settingsFilePath;
    bool playJoinSound = false;
    bool playTextSound = false;
    std::string ownIpText;  // at most 15 characters
    std::string rulesUrl;
    std::string forumUrl;

    ConnectionState conn;
    ChannelUsers users{log};  // the lobby channel's nicks and levels, and the moderators
    GameList games;
    WindowsOpen windows;
    HostGameState host;
    ClientGameState client;
    LobbyLinks links;      // lobby: what it calls in the other areas
    LobbyRuntime lobby;    // lobby: timers and scans of the game windows
    std::string netplayProtocol = "U";
    transfer::TransferState transfer;  // the one ROM transfer (send or receive)
};

}  // namespace khub

#pragma once
// What the host and the client side of a game remember, and which windows are open.

#include <string>

namespace khub {

struct WindowsOpen {
    bool host = false;      // hostWindow
    bool client = false;    // clientWindow
    bool transfer = false;  // transferWindow
    bool createGame = false;
    bool options = false;
    bool debug = false;
};

struct HostGameState {
    std::string hostedGameName;  // non-empty while hosting
    std::string hostRomFile;
    std::string hostRomCrc;
    bool disableDownload = false;
    std::string joinedClientNick;
    bool selectCooldownActive = false;
};

struct ClientGameState {
    std::string joinedHostNick;
    std::string joinGameTitle;
    std::string selectedPlayersText;
    bool joinAccepted = false;
    bool joinConfirmed = false;
    bool downloadRequested = false;
    std::string wantedRomFile;
    std::string wantedRomCrc;
    std::string localRomFile;
    bool downloadDisallowed = false;
};

}  // namespace khub

#pragma once
// What the host and the client side of a game remember, and which windows are open.

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "irc/IrcLine.h"

namespace khub {

class Process;

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

// What the lobby needs from the other areas. The IRC and transfer code fill these in;
// tests put recorders here. Every line of the lobby protocol leaves through sendLine.
struct LobbyLinks {
    // One complete line for the server (with CR LF). True when it was handed over.
    std::function<bool(const std::string& line)> sendLine;
    // The channel user list's level of nick, -1 when absent.
    std::function<int(const std::string& nick)> userLevel;
    // Instead of the DCC offer that answers GET (tests).
    std::function<void(const std::string& nick)> offerRomByDcc;
    // Runs a long job (the ROM folder scan) away from the lobby thread.
    std::function<void(std::function<void()> job)> runWorker;
    Process* process = nullptr;  // nullptr: the system's
};

// One ROM folder scan on a worker. Only the scan the lobby still points at may answer.
struct ScanJob {
    std::atomic<bool> cancel{false};
    std::uint64_t generation = 0;
};

// Timers and bookkeeping of the game windows. Every wait belongs to the window (and the
// game) it was started for: each window opening starts a new generation, and a timer or
// a scan answer from an older generation does nothing.
struct LobbyRuntime {
    using TimerId = std::uint64_t;
    std::uint64_t hostGeneration = 0;
    std::uint64_t clientGeneration = 0;
    TimerId joinWatchdog = 0;
    TimerId clientClose = 0;
    TimerId clientStart = 0;
    TimerId selectCooldown = 0;
    TimerId reannounce = 0;
    TimerId clientPrepare = 0;
    // Renames of the client's start: which happened, and the paths to undo them.
    bool romParked = false;   // a different file with the host's name now "K-HUB_TEMPFILE"
    bool romRenamed = false;  // the local ROM now carries the host's name
    std::string romLocalPath, romWantedPath, romTempPath;
    TimerId restoreLocal = 0;
    TimerId restoreTemp = 0;
    // The host's START (and whatever the host said after it) while the ROM check or an
    // earlier start is still under way, in the order it arrived.
    std::deque<IrcLineParts> heldHostNotices;
    bool replayingHeldNotices = false;
    // Control states of the game windows as the lobby set them, by control id.
    std::map<int, bool> hostControls, joinControls;
    // Select's chooser is open: what to restore when it answers.
    bool selectOpen = false;
    bool selectStartWasEnabled = false;
    bool selectSavedDisableDownload = false;
    // What "..." chose in the open Create Game dialog; it becomes the game's ROM only at OK.
    std::string createRomFile, createRomCrc;
    // Both belong to the current server connection and are forgotten with it.
    // The server knows no WALLVOICES: channel-wide messages go as NOTICE to the channel.
    bool noWallvoices = false;
    // The last WALLVOICES lines sent, oldest first, so that a 421 can resend its line.
    std::deque<std::string> unansweredWallvoices;
    std::shared_ptr<ScanJob> scan;  // the running ROM folder scan, if any
    std::thread scanThread;         // the last scan's worker

    LobbyRuntime() = default;
    LobbyRuntime(const LobbyRuntime&) = delete;
    LobbyRuntime& operator=(const LobbyRuntime&) = delete;
    // A scan still running stops at its next read; nothing it posts runs any more. Files
    // renamed for a start get their own names back even when the program ends before the
    // restore timers run.
    ~LobbyRuntime();
};

}  // namespace khub

#include "Connection.h"

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

#include "app/ColorText.h"
#include "app/Program.h"
#include "irc/IrcDispatcher.h"
#include "irc/LineSplitter.h"
#include "lobby/LobbyHooks.h"
#include "platform/Sockets.h"
#include "settings/SettingHints.h"

namespace khub {

using namespace std::chrono_literals;

namespace {

constexpr int kConnectTimeoutSeconds = 5;
constexpr auto kRetryPause = 500ms;
// Servers outside the lobby's family may never send the ident notice we register on (ngircd
// and Ergo send nothing before NICK and USER). ircu sends it as soon as it accepts us, so
// its notice arrives about one round trip after the connect; the connect itself took about
// one. We wait that twice over, at least this long and at most the last.
constexpr auto kRegistrationWaitMin = 150ms;
constexpr auto kRegistrationWaitMax = 5000ms;
// After our QUIT the server closes the link; one that doesn't is cut off after this.
constexpr auto kDisconnectGrace = 3s;
// How long the reader waits for bytes before it looks whether the link was shut down.
constexpr int kReadSliceMs = 200;

constexpr const char* kFarewells[5] = {
    "QUIT :<-- RAGE QUIT!\r\n",
    "QUIT :Barbie Super Model iz teh besd!\r\n",
    "QUIT :I need my bi-weekly nap.\r\n",
    "QUIT :Time to pretend I have a life!\r\n",
    "QUIT :My FrankenBerry's are getting soggy...\r\n",
};

int RandomInRange(int low, int high) {
    static std::mutex mutex;
    static std::mt19937 generator(std::random_device{}());
    std::lock_guard lock(mutex);
    return std::uniform_int_distribution<int>(low, high)(generator);
}

void SetTitle(Program& p, const std::string& suffix) {
    p.ui.SetMainTitle(std::string(kProgramTitle) + " - " + suffix);
}

void OpenOptions(Program& p) {
    p.windows.options = true;
    p.ui.OpenWindow(WindowId::Options);
}

// Forgets the current link: its lines and results still in flight are dropped on arrival.
void DropLink(Program& p, ShutdownHow how) {
    ++p.conn.generation;
    p.loop.Cancel(p.conn.registrationTimer);
    p.conn.registrationTimer = 0;
    p.loop.Cancel(p.conn.motdTimer);
    p.conn.motdTimer = 0;
    p.conn.connecting = false;
    p.conn.receiveLoopActive = false;
    p.conn.receiveThreadRunning = false;
    lobby::ForgetServer(p);
    if (auto link = std::move(p.conn.link)) {
        link->inbox.Close();
        {
            std::lock_guard lock(p.conn.sendMutex);
            if (p.conn.ircSocket == link->socket) p.conn.ircSocket = kInvalidSocket;
        }
        link->Shutdown(how);
        if (how == ShutdownHow::Send) {
            p.conn.disconnectTimer =
                p.loop.PostDelayed(kDisconnectGrace, [link] { link->Shutdown(ShutdownHow::Both); });
        }
    }
}

void OnReceiveEnded(Program& p, std::uint64_t generation, long result) {
    if (generation != p.conn.generation) return;  // we had let it go already
    if (result < 0) {
        p.log.DebugLog("Socket Error! Disconnecting.\r\n");
    } else {
        p.log.DebugLog("The server closed the connection. Disconnecting.\r\n");
    }
    ResetConnection(p);
    p.ui.ShowMessage("ERROR 3: Socket connection lost.", BoxIcon::Error);
}

// One turn of the lobby thread's loop: a handful of lines, then whatever else waits (a
// command, a timer) before the next handful.
void TakeLines(Program* program, const std::shared_ptr<IrcLink>& link) {
    Program& p = *program;
    bool more = false;
    for (ReceivedItem& item : link->inbox.Take(kLinesPerTurn, more)) {
        // A line may have ended the connection; what came after it belongs to nobody.
        if (link->generation != p.conn.generation) {
            link->inbox.Close();
            return;
        }
        switch (item.kind) {
            case ReceivedItem::Kind::Line:
                DispatchIrcLine(p, item.line);
                break;
            case ReceivedItem::Kind::Dropped:
                p.log.DebugLog("Dropped a line of %zu bytes from the server (longer than %zu).\r\n",
                               item.droppedLength, LineSplitter::kMaxLine);
                break;
            case ReceivedItem::Kind::End:
                OnReceiveEnded(p, link->generation, item.result);
                break;
        }
    }
    if (more) p.loop.Post([program, link] { TakeLines(program, link); });
}

// Receive thread: waits while the lobby thread is behind, which leaves the rest in the
// socket and so slows the server down.
void HandOver(Program* program, const std::shared_ptr<IrcLink>& link,
              std::vector<ReceivedItem> items) {
    if (link->inbox.Push(std::move(items)) == LineInbox::Pushed::Scheduled) {
        program->loop.Post([program, link] { TakeLines(program, link); });
    }
}

void ReceiveThread(Program* program, std::shared_ptr<IrcLink> link) {
    Program& p = *program;
    const std::uint64_t generation = link->generation;
    LineSplitter splitter;
    char buffer[16384];
    long result;
    for (;;) {
        SocketPoll waiting{link->socket, kPollRead, 0};
        int ready = PollSockets({&waiting, 1}, kReadSliceMs);
        if (ready == 0 || (ready < 0 && IsInterrupted(LastSocketError()))) {
            if (!link->ReadingStopped()) continue;
            result = 0;
            break;
        }
        result = ReceiveSome(link->socket, buffer, sizeof buffer);
        if (result < 0 && IsInterrupted(LastSocketError())) continue;
        if (generation == p.conn.generation)
            p.conn.lastReceiveResult = result < 0 ? -1 : static_cast<int>(result);
        if (result <= 0) break;
        std::vector<ReceivedItem> items;
        splitter.Feed(
            std::string_view(buffer, static_cast<std::size_t>(result)),
            [&](std::string_view line) {
                items.push_back({ReceivedItem::Kind::Line, std::string(line), 0, 0});
            },
            [&](std::size_t length) {
                items.push_back({ReceivedItem::Kind::Dropped, std::string(), length, 0});
            });
        if (!items.empty()) HandOver(program, link, std::move(items));
    }
    std::vector<ReceivedItem> end;
    end.push_back({ReceivedItem::Kind::End, std::string(), 0, result});
    HandOver(program, link, std::move(end));
    {
        std::lock_guard lock(p.conn.sendMutex);
        if (p.conn.ircSocket == link->socket) p.conn.ircSocket = kInvalidSocket;
        link->Close();
    }
    link->receiveEnded = true;
}

// unresolvedHost: the server name when the last attempt failed because it has no address.
void OnConnectResult(Program& p, std::uint64_t generation, SocketHandle socket,
                     const std::string& unresolvedHost, std::chrono::milliseconds connectTook) {
    if (generation != p.conn.generation) {  // given up on meanwhile
        CloseSocket(socket);
        return;
    }
    p.conn.connecting = false;
    if (socket == kInvalidSocket) {
        p.log.DebugLog("ERROR 1: Socket could not connect.\r\n");
        if (!unresolvedHost.empty()) {
            p.log.DebugLog(KHUB_COLORED(4, "The server name \"%s\" could not be resolved.\r\n"),
                           unresolvedHost.c_str());
            p.ui.ShowMessage("ERROR: Failed to connect to server. The server name \"" +
                                 unresolvedHost + "\" could not be resolved to an address.\n\n" +
                                 HowToFixSetting(keys::kServer, p.settingsFilePath),
                             BoxIcon::Error);
        } else {
            p.ui.ShowMessage("ERROR: Failed to connect to server. Socket could not connect.",
                             BoxIcon::Error);
        }
        SetTitle(p, "not connected");
        SetConnectItem(p, "&Connect", true);
        return;
    }
    p.log.DebugLog("Connecting to server. Please wait...\r\n");
    // Our lines are whole commands, written once each: holding one back until the server
    // acknowledges the last (Nagle) would delay a command by the server's delayed ACK.
    SetNoDelay(socket);
    auto link = std::make_shared<IrcLink>(socket, generation, p.conn.inboxCapacity);
    {
        std::lock_guard lock(p.conn.sendMutex);
        p.conn.ircSocket = socket;
    }
    p.conn.link = link;
    p.conn.links.push_back(link);
    p.conn.lastReceiveResult = 0;
    p.conn.receiveLoopActive = true;
    p.conn.receiveThreadRunning = true;
    p.conn.channelJoinSent = false;
    p.conn.registrationSent = false;
    p.conn.features = {};
    p.conn.nickFallback = {};
    p.conn.ownAddress = {};
    SetTitle(p, "connecting..");
    p.conn.threads.emplace_back(ReceiveThread, &p, link);
    auto wait = std::clamp(kRegistrationWaitMin + 2 * connectTook, kRegistrationWaitMin,
                           kRegistrationWaitMax);
    p.conn.registrationTimer = p.loop.PostDelayed(wait, [&p, generation] {
        p.conn.registrationTimer = 0;
        if (generation != p.conn.generation || p.conn.registrationSent) return;
        p.log.DebugLog("No ident notice from the server; registering anyway.\r\n");
        SendRegistration(p);
    });
}

void ConnectThread(Program* program, std::uint64_t generation, ServerAddress server, int retries) {
    Program& p = *program;
    SocketHandle socket = kInvalidSocket;
    bool unresolved = false;
    auto connectTook = 0ms;
    for (int attempt = 1; attempt <= retries && !p.conn.stopping; ++attempt) {
        p.log.DebugLog("Connection attempt #%i.\r\n", attempt);
        p.loop.Post([program, generation, attempt] {
            if (generation != program->conn.generation) return;
            SetTitle(*program, "connecting. (Attempt: #" + std::to_string(attempt) + ")");
        });
        auto began = std::chrono::steady_clock::now();
        socket = ConnectWithTimeout(p.log, server.host, server.port, kConnectTimeoutSeconds,
                                    &p.conn.stopping, &unresolved);
        connectTook = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - began);
        if (socket != kInvalidSocket) break;
        for (auto waited = 0ms; attempt < retries && waited < kRetryPause && !p.conn.stopping;
             waited += 50ms) {
            std::this_thread::sleep_for(50ms);
        }
    }
    if (p.conn.stopping) {
        CloseSocket(socket);
        return;
    }
    std::string unresolvedHost =
        socket == kInvalidSocket && unresolved ? server.host : std::string();
    p.loop.Post([program, generation, socket, unresolvedHost, connectTook] {
        OnConnectResult(*program, generation, socket, unresolvedHost, connectTook);
    });
}

}  // namespace

void IrcLink::Shutdown(ShutdownHow how) {
    std::lock_guard lock(mutex_);
    if (how != ShutdownHow::Send) readingStopped_ = true;
    if (!closed_) ShutdownSocket(socket, how);
}

void IrcLink::Close() {
    std::lock_guard lock(mutex_);
    if (!closed_) CloseSocket(socket);
    closed_ = true;
}

bool IrcLink::Closed() {
    std::lock_guard lock(mutex_);
    return closed_;
}

ConnectionState::~ConnectionState() {
    StopThreads();
}

void ConnectionState::StopThreads() {
    stopping = true;
    // Nobody takes lines any more; a reader waiting for room must go on to the end.
    for (auto& l : links) l->inbox.Close();
    // The farewell QUIT may still be on its way: give the server a moment to close the link
    // first, since closing a socket with unread data would reset it.
    if (!links.empty()) {
        auto& last = links.back();
        for (int i = 0; i < 100 && !last->receiveEnded; ++i) std::this_thread::sleep_for(10ms);
    }
    for (auto& l : links) l->Shutdown(ShutdownHow::Both);
    for (auto& t : threads) {
        if (t.joinable()) t.join();
    }
    threads.clear();
}

ServerAddress ServerFromSettings(const CIni& settings) {
    ServerAddress server;
    server.host = settings.GetString("options", "server");
    if (server.host.empty()) server.host = kServerNames[0];
    int port = settings.GetInt("options", "port", kDefaultServerPort);
    server.port = static_cast<std::uint16_t>(port > 0 && port <= 65535 ? port : kDefaultServerPort);
    return server;
}

std::string RandomFallbackNick(int maxLength) {
    std::string number = std::to_string(RandomInRange(1, 99));
    std::string base = kFallbackNickBase;
    if (maxLength > 0) {
        int room = std::max(1, maxLength - static_cast<int>(number.size()));
        if (room < static_cast<int>(base.size())) base.resize(static_cast<std::size_t>(room));
    }
    return base + number;
}

// One call sends one line: a CR, LF or NUL inside it (from a nick or text that a hostile
// server relayed) would let the rest go to the server as a command of its own.
static bool IsOneLine(std::string_view line) {
    if (line.ends_with("\r\n")) {
        line.remove_suffix(2);
    } else if (line.ends_with('\r') || line.ends_with('\n')) {
        line.remove_suffix(1);
    }
    return line.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

long SendIrcLine(Program& p, std::string_view line) {
    if (!IsOneLine(line)) {
        p.log.DebugLog(KHUB_COLORED(4, "Not sent: the line holds a line break or a NUL byte.\r\n"));
        return 0;
    }
    long result;
    {
        std::lock_guard lock(p.conn.sendMutex);
        if (p.conn.sendOverride) {
            result = p.conn.sendOverride(line);
        } else {
            SocketHandle socket = p.conn.ircSocket;
            result = socket == kInvalidSocket ? -1 : SendAll(socket, line.data(), line.size());
        }
    }
    if (result < 1) ReportSocketFailure(p);
    return result;
}

int ReportSocketFailure(Program& p) {
    // With the loop off the link is going anyway (our own QUIT, the exit, a loss already
    // reported): the windows' last notices may fail then without telling the player.
    if (p.conn.lastReceiveResult != -1 || !p.conn.receiveLoopActive) return 0;
    auto report = [&p] {
        if (!p.conn.receiveLoopActive) return;  // another failed send reported it first
        p.log.DebugLog("Socket Error! Disconnecting.\r\n");
        ResetConnection(p);
        p.ui.ShowMessage("ERROR 2: Socket connection lost.", BoxIcon::Error);
    };
    if (p.loop.InLoopThread()) {
        report();
    } else {
        p.loop.Post(report);
    }
    return 0;
}

void ShowUsersOnlineTitle(Program& p) {
    SetTitle(p, std::to_string(p.users.onlineUserCount()) + " users online");
}

void ToggleConnection(Program& p) {
    if (!p.conn.connectItemEnabled) return;
    CIni settings = p.Settings();
    bool connected = p.conn.receiveThreadRunning;
    if (settings.GetStringCut("options", "programpath", 260).empty() ||
        settings.GetStringCut("options", "rompath", 260).empty() ||
        (!connected && settings.GetStringCut("options", "playername", 260).empty())) {
        OpenOptions(p);
        return;
    }
    if (connected) {
        Disconnect(p);
    } else {
        SetTitle(p, "connecting.");
        StartConnect(p);
    }
}

void StartConnect(Program& p) {
    SetConnectItem(p, "Dis&connect", false);
    CIni settings = p.Settings();
    std::string nick = settings.GetStringCut("options", "playername", 51);
    p.log.DebugLog("nnl = %i\r\n", static_cast<int>(nick.size()));
    if (nick.size() < 5 || nick.size() > 15) {
        nick = RandomFallbackNick();
    } else {
        bool replaced = false;
        for (char& c : nick) {
            if (c == ' ') {
                c = '_';
                replaced = true;
            }
        }
        if (replaced) settings.SetString("options", "playername", nick);
    }
    ConnectionState& c = p.conn;
    c.ownNick = nick;
    c.ircUserName = "KHubUser";
    c.channelName = "#K-HubI";
    c.nickLine = "NICK " + c.ownNick + "\r\n";
    c.userLine = "USER " + c.ircUserName + " 8 * :" + c.ircUserName + "\r\n";
    c.joinLine = "JOIN " + c.channelName + "\r\n";

    // Fewer than one attempt would never connect at all.
    int retries = std::max(1, static_cast<int>(settings.GetInt("options", "retries", 5)));
    ServerAddress server = ServerFromSettings(settings);
    std::uint64_t generation = ++c.generation;
    c.connecting = true;
    c.threads.emplace_back(ConnectThread, &p, generation, server, retries);
}

void Disconnect(Program& p) {
    p.log.DebugLog("Disconnecting.\r\n");
    {
        // Sent without the failure rule: we are leaving anyway.
        std::lock_guard lock(p.conn.sendMutex);
        std::string_view quit = "QUIT :\r\n";
        if (p.conn.sendOverride) {
            p.conn.sendOverride(quit);
        } else if (p.conn.ircSocket != kInvalidSocket) {
            SendAll(p.conn.ircSocket, quit.data(), quit.size());
        }
    }
    SetConnectItem(p, "&Connect", true);
    p.ui.SetMenuItem(menu::kCreate, "", false);
    p.ui.SetMenuItem(menu::kJoin, "", false);
    SetTitle(p, "not connected");
    p.games.Clear();
    p.users.Clear();
    p.conn.receiveLoopActive = false;
    lobby::CancelGameWindows(p);
    DropLink(p, ShutdownHow::Send);
}

void ResetConnection(Program& p) {
    SetTitle(p, "not connected");
    p.games.Clear();
    p.users.Clear();
    p.users.ClearModerators();
    p.conn.receiveLoopActive = false;
    lobby::CloseGameWindowsOnReset(p);
    SetConnectItem(p, "&Connect", true);
    p.ui.SetMenuItem(menu::kCreate, "", false);
    p.ui.SetMenuItem(menu::kJoin, "", false);
    DropLink(p, ShutdownHow::Both);
}

void RunExitSequence(Program& p) {
    SendIrcLine(p, kFarewells[RandomInRange(1, 5) - 1]);
    p.conn.receiveLoopActive = false;
    DropLink(p, ShutdownHow::Send);
}

void SetConnectItem(Program& p, const char* text, bool enabled) {
    p.conn.connectItemEnabled = enabled;
    p.ui.SetMenuItem(menu::kConnect, text, enabled);
}

void ConnectIrcLinks(Program& p) {
    p.links.sendLine = [&p](const std::string& line) { return SendIrcLine(p, line) > 0; };
    p.links.userLevel = [&p](const std::string& nick) { return p.users.GetUserLevel(nick); };
}

void SendRegistration(Program& p) {
    if (p.conn.registrationSent) return;
    p.conn.registrationSent = true;
    p.loop.Cancel(p.conn.registrationTimer);
    p.conn.registrationTimer = 0;
    SendIrcLine(p, p.conn.nickLine);
    p.log.DebugLog("-> %s\r\n", p.conn.nickLine.c_str());
    SendIrcLine(p, p.conn.userLine);
}

void RunOnConnectSequence(Program& p) {
    const std::string& nick = p.conn.ownNick;
    // The lobby's own servers (ircu: USERIP among its features, or no feature list at all)
    // get the address queries first, as they always have. Elsewhere USERIP is unknown, and
    // ngircd makes each command wait a second or two: the channel comes first there.
    const bool ircuOrder = !p.conn.features.listed || p.conn.features.userIp;
    if (ircuOrder) {
        SendIrcLine(p, "USERIP " + nick + "\r\n");
        SendIrcLine(p, "USERIP " + nick + "\r\n");
        SendIrcLine(p, "USERHOST " + nick + "\r\n");
        SendIrcLine(p, "USERHOST " + nick + "\r\n");
    }
    p.conn.channelJoinSent = true;
    p.loop.Cancel(p.conn.motdTimer);
    p.conn.motdTimer = 0;
    SendIrcLine(p, p.conn.joinLine);
    std::string onConnect = p.Settings().GetStringCut("options", "onconnect", 2047);
    if (!onConnect.empty()) {
        p.log.DebugLog("Performing OnConnect command.\r\n");
        SendIrcLine(p, onConnect + "\r\n");
    }
    if (!ircuOrder) SendIrcLine(p, "USERHOST " + nick + "\r\n");
    SetTitle(p, "connecting...");
}

}  // namespace khub

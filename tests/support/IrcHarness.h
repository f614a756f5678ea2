#pragma once
// A Program with its surroundings replaced, for tests that drive it one event at a time:
// a recording Ui, a manual loop, the exact bytes it sends to the server (nothing is
// connected) and its settings file in a temporary folder.

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/Program.h"
#include "irc/IrcDispatcher.h"
#include "ircu/TempDir.h"
#include "platform/ManualEventLoop.h"
#include "platform/RecordingUi.h"

namespace khub::test {

class IrcHarness {
  public:
    IrcHarness() {
        program->conn.sendOverride = [this](std::string_view bytes) -> long {
            if (failResult_ < 1) return failResult_;
            sent.emplace_back(bytes);
            return static_cast<long>(bytes.size());
        };
    }

    // The state right after the socket connected (nothing registered yet).
    void Connected(const std::string& nick = "Alice") {
        ConnectionState& c = program->conn;
        c.ownNick = nick;
        c.nickLine = "NICK " + nick + "\r\n";
        c.userLine = "USER KHubUser 8 * :KHubUser\r\n";
        c.joinLine = "JOIN #K-HubI\r\n";
        c.receiveLoopActive = c.receiveThreadRunning = true;
        c.channelJoinSent = c.registrationSent = false;
    }
    // The state after registering as nick and joining the lobby (no lines sent, log cleared).
    void Registered(const std::string& nick = "Alice") {
        Connected(nick);
        program->conn.registrationSent = program->conn.channelJoinSent = true;
        TakeSent();
        ClearLog();
    }

    // One line from the server, then every task it posted.
    void Recv(std::string_view line) {
        DispatchIrcLine(*program, line);
        loop.RunPending();
    }

    // Each send call's bytes since the last TakeSent, in order.
    std::vector<std::string> TakeSent() { return std::exchange(sent, {}); }
    // The next send fails with result (0 or -1) instead of going out.
    void FailSends(long result) { failResult_ = result; }

    // Debug-log lines (colour codes dropped, line ends kept) since the last ClearLog.
    std::vector<std::string> Log() const {
        auto all = ui.Lines(WindowId::Debug, control::kDebugLog);
        all.erase(all.begin(), all.begin() + static_cast<long>(std::min(logStart_, all.size())));
        return all;
    }
    bool LogHas(std::string_view text) const {
        auto log = Log();
        return std::any_of(log.begin(), log.end(), [text](const std::string& line) {
            return line.find(text) != std::string::npos;
        });
    }
    void ClearLog() { logStart_ = ui.Lines(WindowId::Debug, control::kDebugLog).size(); }

    RecordingUi ui;
    ManualEventLoop loop;
    TempDir dir{"khub-irc"};
    std::unique_ptr<Program> program = std::make_unique<Program>(ui, loop, dir / "K-Hub.ini");
    std::vector<std::string> sent;

  private:
    long failResult_ = 1;
    std::size_t logStart_ = 0;
};

}  // namespace khub::test

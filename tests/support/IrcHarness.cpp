#include "support/IrcHarness.h"

#include "irc/IrcDispatcher.h"

namespace khub::test {

IrcHarness::IrcHarness() {
    program = std::make_unique<Program>(ui, loop, dir / "K-Hub.ini");
    program->conn.sendOverride = [this](std::string_view bytes) -> long {
        if (failResult_ < 1) return failResult_;
        sent_.emplace_back(bytes);
        return static_cast<long>(bytes.size());
    };
}

IrcHarness::~IrcHarness() = default;

void IrcHarness::Connected(const std::string& nick) {
    ConnectionState& c = program->conn;
    c.ownNick = nick;
    c.nickLine = "NICK " + nick + "\r\n";
    c.userLine = "USER KHubUser 8 * :KHubUser\r\n";
    c.joinLine = "JOIN #K-HubI\r\n";
    c.receiveLoopActive = true;
    c.receiveThreadRunning = true;
    c.channelJoinSent = false;
    c.registrationSent = false;
}

void IrcHarness::Registered(const std::string& nick) {
    Connected(nick);
    program->conn.registrationSent = true;
    program->conn.channelJoinSent = true;
    TakeSent();
    ClearLog();
}

void IrcHarness::Recv(std::string_view line) {
    DispatchIrcLine(*program, line);
    loop.RunPending();
}

std::vector<std::string> IrcHarness::TakeSent() {
    std::vector<std::string> out;
    out.swap(sent_);
    return out;
}

std::vector<std::string> IrcHarness::Log() const {
    auto all = ui.Lines(WindowId::Debug, control::kDebugLog);
    return std::vector<std::string>(
        all.begin() + static_cast<long>(std::min(logStart_, all.size())), all.end());
}

bool IrcHarness::LogHas(std::string_view text) const {
    for (const auto& line : Log()) {
        if (line.find(text) != std::string::npos) return true;
    }
    return false;
}

void IrcHarness::ClearLog() {
    logStart_ = ui.Lines(WindowId::Debug, control::kDebugLog).size();
}

}  // namespace khub::test

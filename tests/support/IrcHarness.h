#pragma once
// Drives the dispatcher one server line at a time and shows what came of it: the state in
// Program, what the Ui was asked to do (RecordingUi) and the exact bytes sent to the server.
// The settings file lies in a temporary folder; nothing is connected.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/Program.h"
#include "ircu/TempDir.h"
#include "platform/ManualEventLoop.h"
#include "platform/RecordingUi.h"

namespace khub::test {

class IrcHarness {
  public:
    IrcHarness();
    ~IrcHarness();

    // The state after registering as nick and joining the lobby (no lines sent, log cleared).
    void Registered(const std::string& nick = "Alice");
    // The state right after the socket connected (nothing registered yet).
    void Connected(const std::string& nick = "Alice");

    // One line from the server, then every task it posted.
    void Recv(std::string_view line);

    // Each send call's bytes since the last TakeSent, in order.
    std::vector<std::string> TakeSent();
    // The next send fails with result (0 or -1) instead of going out.
    void FailSends(long result) { failResult_ = result; }

    // Debug-log lines (colour codes dropped, line ends kept) since the last ClearLog.
    std::vector<std::string> Log() const;
    bool LogHas(std::string_view text) const;
    void ClearLog();

    RecordingUi ui;
    ManualEventLoop loop;
    TempDir dir{"khub-irc"};
    std::unique_ptr<Program> program;

  private:
    std::vector<std::string> sent_;
    long failResult_ = 1;
    std::size_t logStart_ = 0;
};

}  // namespace khub::test

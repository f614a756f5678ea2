// Everything the server sends goes through the line grammar and the dispatcher: chat and
// notices from anyone, numerics, modes, NAMES replies, CTCP and DCC. Any sequence of lines
// must leave the program working, and every line it sends must be one line.
//
// Input: lines separated by LF (a CR before it goes, as the line splitter does). The
// program starts registered as "Alice" in the lobby; the first byte picks whether it also
// hosts a game or sits in one.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "app/Program.h"
#include "irc/Connection.h"
#include "irc/IrcDispatcher.h"
#include "irc/IrcLine.h"
#include "platform/ManualEventLoop.h"
#include "platform/Process.h"
#include "platform/RecordingUi.h"

using namespace khub;

namespace {

class NoProcess : public Process {
  public:
    bool Spawn(const std::string&, const std::vector<std::string>&, const std::string&,
               std::string*) override {
        return true;
    }
};

bool OneLine(std::string_view bytes) {
    return bytes.size() >= 2 && bytes.ends_with("\r\n") &&
           bytes.find_first_of(std::string_view("\r\n\0", 3)) == bytes.size() - 2;
}

void CheckParse(std::string_view line) {
    ParsedIrcLine p = ParseIrcLine(line);
    FUZZ_CHECK(p.result == 0 || p.result == 1 || p.result == 2 || p.result == 4);
    FUZZ_CHECK(p.parts.prefix.size() < 104 && p.parts.nick.size() < 104);
    FUZZ_CHECK(p.parts.command.size() < 52 && p.parts.param.size() < 260);
    FUZZ_CHECK(p.parts.trailing.size() < 1024);
    FUZZ_CHECK(p.parts.nick.size() <= p.parts.prefix.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t setup = data[0];
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

    RecordingUi ui;
    ui.SetKeepHistory(false);
    ManualEventLoop loop;
    // No settings file: every setting reads as its default and nothing is written.
    Program program(ui, loop, "/nonexistent/khub-fuzz/K-Hub.ini");
    NoProcess process;
    program.links.process = &process;
    program.conn.sendOverride = [](std::string_view bytes) -> long {
        // PONG is answered with CR only, as the server expects.
        if (!(bytes.starts_with("PONG ") && bytes.ends_with("\r") &&
              bytes.find_first_of(std::string_view("\n\0", 2)) == std::string_view::npos)) {
            FUZZ_CHECK(OneLine(bytes));
        }
        return static_cast<long>(bytes.size());
    };
    program.links.sendLine = [&program](const std::string& line) {
        return SendIrcLine(program, line) > 0;
    };
    program.links.userLevel = [&program](const std::string& nick) {
        return program.users.GetUserLevel(nick);
    };
    ConnectionState& c = program.conn;
    c.ownNick = "Alice";
    c.nickLine = "NICK Alice\r\n";
    c.userLine = "USER KHubUser 8 * :KHubUser\r\n";
    c.joinLine = "JOIN #K-HubI\r\n";
    c.receiveLoopActive = true;
    c.receiveThreadRunning = true;
    c.registrationSent = (setup & 1) != 0;
    c.channelJoinSent = (setup & 1) != 0;
    if (setup & 2) {
        program.windows.host = true;
        program.host.hostedGameName = "Mario";
        program.host.joinedClientNick = "Bob";
    } else if (setup & 4) {
        program.windows.client = true;
        program.client.joinedHostNick = "Bob";
        program.client.joinConfirmed = true;
        program.client.downloadRequested = (setup & 8) != 0;
    }

    std::size_t pos = 0;
    while (pos < rest.size()) {
        std::size_t end = rest.find('\n', pos);
        if (end == std::string_view::npos) end = rest.size();
        std::string_view line = rest.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        CheckParse(line);
        DispatchIrcLine(program, line);
        loop.RunPending();
    }
    loop.AdvanceBy(std::chrono::seconds(60));
    return 0;
}

// The lobby rules over notices from anyone in the channel (or not in it), with the
// program hosting a game, in a joined game or idle. Whatever arrives: no crash, every
// line sent to the server is one line, and the emulator is only ever started on a ROM
// file inside the ROM folder.
//
// Input: one byte of starting state, then lines "<level byte><kind byte><nick> <text>";
// the level byte picks the sender's channel level (-1..4), the kind byte private or
// channel notice, chat or departure. After each line the clock moves on a fuzzed amount.

#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "app/Program.h"
#include "lobby/LobbyHooks.h"
#include "platform/ManualEventLoop.h"
#include "platform/Process.h"
#include "platform/RecordingUi.h"

using namespace khub;
namespace fs = std::filesystem;

namespace {

struct Folders {
    fs::path root, roms, settings;
    Folders() {
        root = fs::temp_directory_path() / ("khub-lobby-fuzz-" + std::to_string(::getpid()));
        roms = root / "roms";
        fs::create_directories(roms);
        settings = root / "K-Hub.ini";
        std::ofstream(settings) << "[options]\nplayername=Alice\nprogrampath=/bin/true\nrompath="
                                << roms.string() << "\nprotocol=T\n[host]\nIP=10.0.0.1\n";
        std::ofstream(roms / "Mario.smc") << "not really a ROM";
    }
    ~Folders() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

class RecordingProcess : public Process {
  public:
    explicit RecordingProcess(const fs::path& roms) : roms_(roms) {}
    bool Spawn(const std::string&, const std::vector<std::string>& argv,
               const std::string& workingDir, std::string*) override {
        FUZZ_CHECK(fs::path(workingDir) == roms_);
        // The ROM argument names a file directly inside the ROM folder.
        bool romSeen = false;
        for (const auto& a : argv) {
            fs::path p(a);
            if (p.parent_path() == roms_) {
                std::string name = p.filename().string();
                FUZZ_CHECK(name != "." && name != ".." && !name.empty());
                romSeen = true;
            }
        }
        FUZZ_CHECK(romSeen);
        return true;
    }

  private:
    fs::path roms_;
};

bool OneLine(const std::string& line) {
    return line.size() >= 2 && line.ends_with("\r\n") &&
           line.find_first_of(std::string_view("\r\n\0", 3)) == line.size() - 2;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Folders folders;
    if (size < 1) return 0;
    const std::uint8_t setup = data[0];
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

    RecordingUi ui;
    ui.SetKeepHistory(false);
    ManualEventLoop loop;
    Program program(ui, loop, folders.settings.string());
    RecordingProcess process(folders.roms);
    int currentLevel = 0;
    program.conn.ownNick = "Alice";
    program.ownIpText = "10.0.0.1";
    program.links.sendLine = [](const std::string& line) {
        FUZZ_CHECK(OneLine(line));
        return true;
    };
    program.links.userLevel = [&](const std::string& nick) {
        return nick == "Alice" ? 1 : currentLevel;
    };
    program.links.offerRomByDcc = [](const std::string& nick) { FUZZ_CHECK(!nick.empty()); };
    program.links.runWorker = [](std::function<void()> job) { job(); };
    program.links.process = &process;

    if (setup & 1) {  // hosting, with Bob joined when bit 2 is set
        program.windows.host = true;
        program.host.hostedGameName = "Mario";
        program.host.hostRomFile = "Mario.smc";
        program.host.hostRomCrc = "12345678";
        if (setup & 2) program.host.joinedClientNick = "Bob";
    } else if (setup & 4) {  // in Bob's game
        program.windows.client = true;
        program.client.joinedHostNick = "Bob";
        program.client.joinAccepted = program.client.joinConfirmed = (setup & 8) != 0;
        program.client.downloadRequested = (setup & 16) != 0;
    }

    // Lines as the line splitter hands them over: no CR, LF or NUL inside.
    std::size_t pos = 0;
    while (pos < rest.size()) {
        std::size_t end = rest.find('\n', pos);
        if (end == std::string_view::npos) end = rest.size();
        std::string_view line = rest.substr(pos, end - pos);
        pos = end + 1;
        if (line.size() < 3) continue;
        currentLevel = static_cast<int>(static_cast<unsigned char>(line[0]) % 6) - 1;
        const unsigned char kind = static_cast<unsigned char>(line[1]);
        line.remove_prefix(2);
        std::size_t blank = line.find(' ');
        IrcLineParts parts;
        // ircu relays no CR or NUL inside a line (it ends lines there); the connection's
        // own guard against them is tested with the connection.
        std::string cleaned(line);
        for (char& c : cleaned) {
            if (c == '\r' || c == '\0') c = '_';
        }
        line = cleaned;
        blank = line.find(' ');
        parts.nick = std::string(line.substr(0, blank));
        parts.prefix = parts.nick + "!KHubUser@127.0.0.1";
        parts.command = "NOTICE";
        std::string text =
            blank == std::string_view::npos ? "" : std::string(line.substr(blank + 1));
        parts.trailing = text;
        switch (kind % 5) {
            case 0:
                parts.param = "Alice";
                lobby::HandlePrivateNotice(program, parts);
                break;
            case 1:
                parts.param = "@#K-HubI";
                lobby::HandleChannelNotice(program, parts);
                break;
            case 2:
                lobby::HandlePartnerChat(program, parts.nick, text);
                break;
            case 3:
                lobby::HandleDeparture(program, parts.nick);
                break;
            case 4:
                lobby::HandleNickChange(program, parts.nick, text.substr(0, text.find(' ')));
                break;
        }
        loop.RunPending();
        loop.AdvanceBy(std::chrono::milliseconds((kind / 5) * 1000));
    }
    // Every pending wait (renames, closes, watchdogs) runs out.
    loop.AdvanceBy(std::chrono::seconds(120));
    // Nothing but the ROM folder's own files and the parked name ever appear in it.
    for (const auto& e : fs::directory_iterator(folders.roms)) {
        FUZZ_CHECK(e.is_regular_file());
    }
    return 0;
}

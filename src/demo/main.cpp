// k-hub-demo: a whole lobby on this machine, for someone who has no lobby network to try
// the program on. On loopback only: ircd-ircu, an operator who voices everyone who joins, a
// host (a k-hub-cli copy) with a game and a small generated ROM, and then the newcomer: the
// desktop program, or the terminal front end, each with a settings folder of its own.
//
// Everything lives in one temporary folder and everything started stops when the newcomer's
// program ends, when the demo is interrupted, and (through a guardian process that outlives
// it) even when the demo itself is killed outright.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "DemoChild.h"
#include "ircu/IrcTestClient.h"
#include "ircu/IrcuServer.h"
#include "ircu/TempDir.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using khub::test::IrcTestClient;
using khub::test::IrcuServer;
using khub::test::TempDir;

namespace khub::demo {
namespace {

constexpr const char* kChannel = "#K-HubI";
constexpr const char* kOperatorNick = "DemoOperator";
constexpr const char* kHostNick = "DemoHost";
constexpr const char* kNewcomerNick = "Newcomer";
constexpr const char* kGameName = "K-Hub Demo Game";
constexpr const char* kRomName = "K-Hub Demo Quest.smc";

volatile sig_atomic_t g_stop = 0;
void OnStopSignal(int) {
    g_stop = 1;
}

void Say(const std::string& text) {
    std::cerr << "demo: " << text << std::endl;
}

std::string Usage() {
    return "Usage: k-hub-demo [--front-end=gui|cli]\n"
           "Starts a lobby on this machine (ircd-ircu on 127.0.0.1, an operator, a host with\n"
           "a game) and the desktop program as a newcomer in it; everything stops when the\n"
           "newcomer's program ends. Without a display, or with --front-end=cli, the terminal\n"
           "front end takes the newcomer's place and reads commands on standard input.\n";
}

// A ROM-sized file with a readable SNES header, the same bytes every time.
std::string DemoRom() {
    std::string rom(512 * 1024, '\0');
    std::uint32_t x = 2463534242u;
    for (auto& c : rom) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x & 0xff);
    }
    const std::string title = "K-HUB DEMO QUEST     ";  // 21 bytes at the LoROM header
    rom.replace(0x7FC0, title.size(), title);
    return rom;
}

std::string IniText(const std::vector<std::pair<std::string, std::string>>& options) {
    std::string text = "[options]\r\n";
    for (const auto& [key, value] : options) text += key + "=" + value + "\r\n";
    return text;
}

// The stand-in emulator: writes down what it was started with, says so on the demo's
// terminal and, on a display, in a small window for the newcomer.
std::string StandInEmulator(const fs::path& demoDir) {
    return "#!/bin/sh\n"
           "# The demo's stand-in emulator: it only shows what it was started with.\n"
           "report=\"" +
           demoDir.string() +
           "/emulator-$2.txt\"\n"
           "{\n"
           "  echo \"The stand-in emulator was started for $2.\"\n"
           "  echo \"Working folder: $(pwd)\"\n"
           "  n=0\n"
           "  for a in \"$0\" \"$@\"; do echo \"Argument $n: $a\"; n=$((n + 1)); done\n"
           "  echo\n"
           "  echo \"A real emulator would now connect the two players.\"\n"
           "} > \"$report\"\n"
           "echo \"demo: the stand-in emulator was started: $*\" >&2\n"
           "if [ \"$2\" != \"" +
           kHostNick +
           "\" ] && [ -n \"$DISPLAY\" ] && command -v xmessage >/dev/null 2>&1; then\n"
           "  exec xmessage -center -title \"K-Hub I demo: emulator\" -file \"$report\"\n"
           "fi\n";
}

std::string ProgramFolder() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path().string() : self.parent_path().string();
}

bool HaveDisplay() {
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

// The scripted host: creates the game, greets whoever joins and starts the game once the
// newcomer has the ROM; hosts again when its window closes.
class DemoHost {
  public:
    DemoHost(const fs::path& profile, const std::string& cli, Guardian& guardian)
        : child_(ChildSpec{.argv = {cli},
                           .env = ProfileEnvironment(profile),
                           .ownGroup = true,
                           .pipeStdio = true}) {
        guardian.Watch(child_);
        rom_ = (profile / "roms" / kRomName).string();
    }

    bool Running() { return child_.Running(); }
    Child& child() { return child_; }

    // Reacts to one line the host's program printed.
    void Feed(const std::string& line) {
        if (line.find("+v " + std::string(kHostNick)) != std::string::npos && !hosting_) {
            Host();
        } else if (line == "window: close host") {
            hosting_ = false;
            Host();
        } else if (line.rfind("chat: ", 0) == 0 && line.find(" has joined.") != std::string::npos) {
            std::string nick = line.substr(6, line.find(" has joined.") - 6);
            child_.WriteLine("say Hello " + nick +
                             "! Press Download to fetch the demo ROM; I start the game as soon "
                             "as you have it.");
        } else if (line == "log: Match: YES") {
            child_.WriteLine("say You have the ROM. Starting the game...");
            child_.WriteLine("start");
        } else if (line.rfind("refused: ", 0) == 0 || line.rfind("box: ", 0) == 0) {
            Say("the host says: " + line);
        }
    }

  private:
    void Host() {
        hosting_ = true;
        child_.WriteLine(std::string("create ") + kGameName + " --rom " + rom_);
    }

    Child child_;
    std::string rom_;
    bool hosting_ = false;
};

// Voices every nick that joins the channel (the lobby needs voice to host or join).
class DemoOperator {
  public:
    bool Start(int port) {
        return client_.Connect(port) && client_.Register(kOperatorNick, "KHubUser") &&
               client_.Oper() && client_.Join(kChannel);
    }
    bool Pump() {
        bool open = client_.Pump(50ms);
        const auto& lines = client_.Lines();
        for (; seen_ < lines.size(); ++seen_) {
            const std::string& l = lines[seen_];
            std::size_t join = l.find(" JOIN ");
            std::size_t bang = l.find('!');
            if (l.empty() || l[0] != ':' || join == std::string::npos ||
                bang == std::string::npos || bang > join) {
                continue;
            }
            std::string nick = l.substr(1, bang - 1);
            if (nick != kOperatorNick)
                client_.Send(std::string("MODE ") + kChannel + " +v " + nick);
        }
        return open;
    }

  private:
    IrcTestClient client_;
    std::size_t seen_ = 0;
};

int RunDemo(bool wantGui) {
    const std::string bin = ProgramFolder();
    const std::string cli = bin + "/k-hub-cli";
    const std::string gui = bin + "/k-hub";
    if (access(cli.c_str(), X_OK) != 0) {
        Say("cannot find " + cli + " (build the project first)");
        return 1;
    }
    if (IrcuServer::BinaryPath().empty()) {
        Say("ircd-ircu is not installed (apt-get install -y ircd-ircu)");
        return 1;
    }
    bool useGui = wantGui;
    if (useGui && access(gui.c_str(), X_OK) != 0) {
        Say("the desktop program " + gui +
            " was not built; the terminal front end takes its place.");
        useGui = false;
    } else if (useGui && !HaveDisplay()) {
        Say("no display (DISPLAY and WAYLAND_DISPLAY are not set): the terminal front end "
            "k-hub-cli takes the desktop program's place.");
        useGui = false;
    }

    TempDir dir("khub-demo");
    // ircd-ircu runs as the user "irc" when we are root and must reach its folder inside.
    chmod(dir.path().c_str(), 0755);
    Guardian guardian(dir.path());
    // Everything the demo and its programs put in temporary files goes into its folder.
    setenv("TMPDIR", dir.path().c_str(), 1);

    Say("starting ircd-ircu on 127.0.0.1 ...");
    IrcuServer server;
    if (!server.ok()) {
        Say("the lobby server did not start: " + server.error());
        return 1;
    }
    guardian.WatchGroup(server.processGroup());
    const std::string port = std::to_string(server.port());
    Say("lobby server on 127.0.0.1:" + port);

    DemoOperator op;
    if (!op.Start(server.port())) {
        Say("the demo operator could not join " + std::string(kChannel));
        return 1;
    }

    const std::string emulator = dir.Write("stand-in-emulator", StandInEmulator(dir.path()));
    chmod(emulator.c_str(), 0755);

    const fs::path hostProfile = dir.path() / "host";
    dir.Write("host/roms/" + std::string(kRomName), DemoRom());
    dir.Write("host/config/K-Hub I/K-Hub.ini",
              IniText({{"playername", kHostNick},
                       {"server", "127.0.0.1"},
                       {"port", port},
                       {"retries", "1"},
                       {"programpath", emulator},
                       {"rompath", (hostProfile / "roms").string()}}));
    DemoHost host(hostProfile, cli, guardian);
    host.child().WriteLine("connect");

    // The game is up before the newcomer arrives, so the first look at the list shows it.
    auto hostingBy = std::chrono::steady_clock::now() + 20s;
    bool hosting = false;
    while (!hosting && !g_stop && std::chrono::steady_clock::now() < hostingBy) {
        op.Pump();
        std::string line;
        while (host.child().ReadLine(line)) {
            host.Feed(line);
            if (line == "window: open host") hosting = true;
        }
        if (!host.Running()) break;
    }
    if (!hosting) {
        Say(g_stop ? "interrupted" : "the demo host could not host its game");
        return g_stop ? 130 : 1;
    }
    Say(std::string("the host ") + kHostNick + " hosts \"" + kGameName + "\" with the ROM \"" +
        kRomName + "\"");

    const fs::path newcomer = dir.path() / "newcomer";
    fs::create_directories(newcomer / "roms");
    dir.Write("newcomer/config/K-Hub I/K-Hub.ini",
              IniText({{"playername", kNewcomerNick},
                       {"server", "127.0.0.1"},
                       {"port", port},
                       {"retries", "3"},
                       {"connectonstartup", "1"},
                       {"programpath", emulator},
                       {"rompath", (newcomer / "roms").string()}}));
    if (useGui) {
        Say("starting the desktop program as " + std::string(kNewcomerNick) +
            ": double-click the game, press Download, and the host starts the game once the "
            "ROM is there. Close the program to end the demo.");
    } else {
        Say("the terminal front end plays " + std::string(kNewcomerNick) + ". Try: games, join " +
            kHostNick + ", download, quit (ends the demo).");
    }
    Child front(ChildSpec{.argv = {useGui ? gui : cli},
                          .env = ProfileEnvironment(newcomer),
                          // The terminal front end reads the terminal, so it stays in the
                          // foreground group; the desktop program gets one of its own.
                          .ownGroup = useGui,
                          .pipeStdio = false});
    if (front.pid() <= 0) {
        Say("could not start the newcomer's program");
        return 1;
    }
    guardian.Watch(front);

    bool hostEnded = false, serverGone = false;
    while (!g_stop && front.Running()) {
        if (!op.Pump()) {
            if (!serverGone) Say("the lobby server closed the operator's connection");
            serverGone = true;
            std::this_thread::sleep_for(50ms);  // Pump no longer waits
        }
        std::string line;
        while (host.child().ReadLine(line)) host.Feed(line);
        if (!hostEnded && !host.Running()) {
            hostEnded = true;
            Say(std::string("the demo host ") + kHostNick + " has ended; its game is gone");
        }
    }
    Say(g_stop ? "interrupted: stopping everything" : "the newcomer's program ended: stopping all");
    front.Stop();
    host.child().WriteLine("quit");
    host.child().Stop();
    server.Stop();
    return g_stop ? 130 : 0;
}

}  // namespace
}  // namespace khub::demo

int main(int argc, char** argv) {
    bool wantGui = true;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::cout << khub::demo::Usage();
            return 0;
        } else if (a == "--front-end=cli") {
            wantGui = false;
        } else if (a == "--front-end=gui") {
            wantGui = true;
        } else {
            std::cerr << "k-hub-demo: unknown option " << a << "\n" << khub::demo::Usage();
            return 2;
        }
    }
    struct sigaction sa {};
    sa.sa_handler = khub::demo::OnStopSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return khub::demo::RunDemo(wantGui);
}

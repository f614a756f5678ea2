#include "support/VictimCopy.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace khub::test {

FolderSnapshot SnapshotFolder(const fs::path& root, const std::vector<std::string>& skip) {
    FolderSnapshot out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::string rel = fs::relative(it->path(), root).string();
        if (std::find(skip.begin(), skip.end(), rel) != skip.end()) {
            it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file()) {
            std::ifstream in(it->path(), std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            out[rel] = bytes.str();
        } else {
            out[rel] = std::nullopt;
        }
    }
    return out;
}

VictimCopy::VictimCopy(const std::vector<std::string>& members, const std::string& extraSettings,
                       const std::vector<std::string>& launcher, int externalPort) {
    char tmpl[] = "/tmp/khub-victim-XXXXXX";
    if (!::mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    root_ = tmpl;
    roms_ = root_ / "roms";
    fs::create_directories(root_ / "K-Hub I");
    fs::create_directories(roms_);
    // What a player's ROM folder holds, and a file beside it that must never be reached.
    std::ofstream(roms_ / "Super Mario Kart.smc", std::ios::binary) << std::string(4096, 'M');
    std::ofstream(roms_ / "F-Zero.sfc", std::ios::binary) << std::string(2048, 'F');
    std::ofstream(root_ / "outside.txt") << "beside the ROM folder\n";

    fs::path emulator = root_ / "emulator.sh";
    std::ofstream(emulator) << "#!/bin/sh\necho \"$@\" >> '" << (root_ / "launched").string()
                            << "'\n";
    fs::permissions(emulator, fs::perms::owner_all);

    std::ofstream(settingsFile()) << "[options]\nplayername=" << nick_
                                  << "\nprogrampath=" << emulator.string()
                                  << "\nrompath=" << roms_.string()
                                  << "\nconnectonstartup=1\nserver=127.0.0.1\nport="
                                  << (externalPort ? externalPort : server.port())
                                  << "\nretries=1\n"
                                  << extraSettings << "[host]\nIP=127.0.0.1\n";

    std::vector<std::string> argv = launcher;
    argv.push_back(KHUB_CLI_PATH);
    cli = std::make_unique<ChildProcess>(
        argv, std::map<std::string, std::string>{{"XDG_CONFIG_HOME", root_.string()},
                                                 {"HOME", root_.string()}});
    if (externalPort) return;
    if (!server.AcceptAndRegister(members, std::chrono::seconds(30))) {
        throw std::runtime_error("the copy did not register with the loopback server");
    }
    nick_ = server.clientNick();
}

VictimCopy::~VictimCopy() {
    cli.reset();
    server.Disconnect();
    std::error_code ec;
    fs::remove_all(root_, ec);
}

std::optional<std::chrono::microseconds> VictimCopy::Probe(std::chrono::milliseconds timeout,
                                                           bool sync) {
    // First everything the server sent is handled, then a command makes the round trip.
    auto start = std::chrono::steady_clock::now();
    if (sync && !server.Sync(timeout)) return std::nullopt;
    std::string tag = std::to_string(++probes_);
    std::size_t from = server.LineCount();
    if (!cli->WriteLine("raw PRIVMSG ProbeNick :probe " + tag)) return std::nullopt;
    auto got = server.WaitForLine(
        [&](const std::string& l) { return l == "PRIVMSG ProbeNick :probe " + tag; }, timeout,
        from);
    if (!got) return std::nullopt;
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

std::vector<std::string> VictimCopy::Launches() const {
    std::vector<std::string> out;
    std::ifstream in(root_ / "launched");
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

FolderSnapshot VictimCopy::Files() const {
    return SnapshotFolder(root_, {"K-Hub I", "launched"});
}

std::optional<int> VictimCopy::Quit(std::chrono::milliseconds timeout) {
    cli->WriteLine("quit");
    cli->CloseInput();
    return cli->Wait(timeout);
}

}  // namespace khub::test

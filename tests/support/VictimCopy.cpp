#include "support/VictimCopy.h"

#include <stdexcept>

namespace fs = std::filesystem;

namespace khub::test {

VictimCopy::VictimCopy(const std::vector<std::string>& members, std::vector<std::string> launcher)
    : cli(Prepare(), (launcher.push_back(KHUB_CLI_PATH), launcher)) {
    if (!server.AcceptAndRegister(members, std::chrono::seconds(30))) {
        throw std::runtime_error("the copy did not register with the loopback server");
    }
}

CliProcess::Ini VictimCopy::Prepare() const {
    // What a player's ROM folder holds, and a file beside it that must never be reached.
    root_.Write("roms/Super Mario Kart.smc", std::string(4096, 'M'));
    root_.Write("roms/F-Zero.sfc", std::string(2048, 'F'));
    root_.Write("outside.txt", "beside the ROM folder\n");
    std::string emulator =
        root_.Write("emulator.sh", "#!/bin/sh\necho \"$@\" >> '" + (root_ / "launched") + "'\n");
    fs::permissions(emulator, fs::perms::owner_all);
    return CliProcess::PlayerSettings(
        "Victim", server.port(),
        {{"options",
          {{"programpath", emulator}, {"rompath", roms().string()}, {"connectonstartup", "1"}}},
         {"host", {{"IP", "127.0.0.1"}}}});
}

void VictimCopy::Say(const std::string& nick, const std::string& line) {
    if (line.starts_with("WALLVOICES ")) {
        // As ircu delivers it to the voiced members.
        std::size_t colon = line.find(" :");
        std::string target = line.substr(11, colon - 11);
        server.SendLine(From(nick) + " NOTICE @" + target + " :+ " + line.substr(colon + 2));
    } else {
        server.SendLine(From(nick) + " " + line);
    }
}

bool VictimCopy::Sends(const std::string& line, std::size_t from,
                       std::chrono::milliseconds timeout) {
    return server.WaitFor([&](const std::string& l) { return l == line; }, timeout, from)
        .has_value();
}

std::optional<std::chrono::microseconds> VictimCopy::Probe(std::chrono::milliseconds timeout,
                                                           bool sync) {
    // First everything the server sent is handled, then a command makes the round trip.
    auto start = std::chrono::steady_clock::now();
    if (sync && !server.Sync(timeout)) return std::nullopt;
    std::string probe = "PRIVMSG ProbeNick :probe " + std::to_string(++probes_);
    std::size_t from = server.LineCount();
    if (!cli.Send("raw " + probe)) return std::nullopt;
    if (!Sends(probe, from, timeout)) return std::nullopt;
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

FolderSnapshot VictimCopy::Files() const {
    FolderSnapshot out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root_.path(), ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::string rel = fs::relative(it->path(), root_.path()).string();
        if (rel == "launched") continue;
        out[rel] = it->is_regular_file() ? std::optional(ReadFileBytes(it->path().string()))
                                         : std::nullopt;
    }
    return out;
}

std::optional<int> VictimCopy::Quit(std::chrono::milliseconds timeout) {
    cli.Send("quit");
    cli.CloseInput();
    return cli.WaitForExit(timeout);
}

}  // namespace khub::test

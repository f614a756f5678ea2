#pragma once
// A copy of k-hub-cli under attack: its own settings folder, ROM folder and a fake emulator,
// connected to a LoopbackIrcServer that plays the network, every other member included.
// The tests check afterwards that the copy kept its files, launched nothing, stayed
// connected and still answers.

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/CliProcess.h"
#include "support/LoopbackIrcServer.h"

namespace khub::test {

// Every regular file under a folder with its bytes; folders as entries without bytes.
using FolderSnapshot = std::map<std::string, std::optional<std::string>>;

class VictimCopy {
  public:
    // members: the channel besides the copy ("@op", "+voiced", "plain"). launcher: a command
    // the copy is started through (e.g. {"/usr/bin/prlimit", "--fsize=4096", "--"}).
    explicit VictimCopy(const std::vector<std::string>& members = {},
                        std::vector<std::string> launcher = {});

    const std::string& nick() const { return server.clientNick(); }
    std::filesystem::path roms() const { return root_.path() / "roms"; }

    // nick sends line ("NOTICE Victim :...", "WALLVOICES #K-HubI :...") as the server
    // delivers it.
    void Say(const std::string& nick, const std::string& line);
    // Whether the copy sends exactly line (as the server's line from index from on).
    bool Sends(const std::string& line, std::size_t from,
               std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Waits until the copy has handled what the server sent, then types a command and
    // waits for what it sends to reach the server. The time of both together.
    // Without sync, only the command's round trip (a benchmark of responsiveness).
    std::optional<std::chrono::microseconds> Probe(
        std::chrono::milliseconds timeout = std::chrono::seconds(30), bool sync = true);
    bool Launched() const { return std::filesystem::exists(root_ / "launched"); }
    // Everything in the ROM folder and beside it.
    FolderSnapshot Files() const;
    // quit, then the exit code (nothing when it did not end within the timeout).
    std::optional<int> Quit(std::chrono::milliseconds timeout = std::chrono::seconds(30));

    LoopbackIrcServer server;

  private:
    CliProcess::Ini Prepare() const;  // the files the copy starts with, and its settings
    TempDir root_{"khub-victim"};
    int probes_ = 0;

  public:
    CliProcess cli;  // after root_: its files are there before it starts
};

}  // namespace khub::test

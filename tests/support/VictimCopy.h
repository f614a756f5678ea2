#pragma once
// A copy of k-hub-cli under attack: its own settings folder, ROM folder and a fake
// emulator in a temp folder, connected to a LoopbackIrcServer that plays the network.
// The tests check afterwards that the copy kept its files, launched nothing, stayed
// connected and still answers.

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/LoopbackIrcServer.h"

namespace khub::test {

// Every regular file under a folder with its bytes; folders as entries without bytes.
using FolderSnapshot = std::map<std::string, std::optional<std::string>>;
FolderSnapshot SnapshotFolder(const std::filesystem::path& root,
                              const std::vector<std::string>& skip = {});

class VictimCopy {
  public:
    // members: the channel besides the copy ("@op", "+voiced", "plain"). extraSettings:
    // more lines for section [options]. launcher: a command the copy is started through
    // (e.g. {"/usr/bin/prlimit", "--fsize=4096", "--"}). externalPort: connect to another
    // server on 127.0.0.1 instead (the loopback server then stays unused, and Probe with it).
    explicit VictimCopy(const std::vector<std::string>& members = {},
                        const std::string& extraSettings = "",
                        const std::vector<std::string>& launcher = {}, int externalPort = 0);
    ~VictimCopy();
    VictimCopy(const VictimCopy&) = delete;
    VictimCopy& operator=(const VictimCopy&) = delete;

    const std::string& nick() const { return nick_; }
    const std::filesystem::path& root() const { return root_; }
    const std::filesystem::path& roms() const { return roms_; }
    std::filesystem::path settingsFile() const { return root_ / "K-Hub I" / "K-Hub.ini"; }

    // Waits until the copy has handled what the server sent, then types a command and
    // waits for what it sends to reach the server. The time of both together.
    // Without sync, only the command's round trip (a benchmark of responsiveness).
    std::optional<std::chrono::microseconds> Probe(
        std::chrono::milliseconds timeout = std::chrono::seconds(30), bool sync = true);
    // Command lines the fake emulator was started with.
    std::vector<std::string> Launches() const;
    // Everything in the temp folder except the settings folder the program writes to.
    FolderSnapshot Files() const;
    // quit, then the exit status (nothing when it did not end within the timeout).
    std::optional<int> Quit(std::chrono::milliseconds timeout = std::chrono::seconds(30));

    LoopbackIrcServer server;
    std::unique_ptr<ChildProcess> cli;

  private:
    std::filesystem::path root_, roms_;
    std::string nick_ = "Victim";
    int probes_ = 0;
};

}  // namespace khub::test

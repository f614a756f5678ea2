#pragma once
// A program run as a child with its standard input and output on pipes: commands written
// to it, every output line recorded, its exit seen; killed and reaped when the object goes.
// Standard error stays the test's, so sanitizer reports show in its output. Mostly
// k-hub-cli with a settings folder of its own.

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ircu/TempDir.h"
#include "support/LineLog.h"
#include "support/Wait.h"

namespace khub::test {

class CliProcess : public LineLog {
  public:
    using Ini = std::map<std::string, std::map<std::string, std::string>>;

    // Settings for a player who can connect at once: playername, server, port and a single
    // attempt. Entries in extra win.
    static Ini PlayerSettings(const std::string& playername, int port, const Ini& extra = {});

    // Writes the settings file into a fresh XDG_CONFIG_HOME (with a programpath and rompath
    // there unless given) and starts argv: k-hub-cli, or a command that starts it.
    explicit CliProcess(const Ini& settings, std::vector<std::string> argv = {KHUB_CLI_PATH});

    // The Windows program exe instead, run by wineRun (scripts/wine-run.sh): a copy in the
    // profile with the settings file beside it, where a copy with administrator rights keeps
    // it (and wine gives them to every program). Paths in settings are for Windows.
    CliProcess(const Ini& settings, const std::string& exe, const std::string& wineRun);

    // Any program: argv[0] (a full path; "/usr/bin/env" sets variables) with argv.
    explicit CliProcess(std::vector<std::string> argv) { Start(std::move(argv)); }
    ~CliProcess();

    bool Send(const std::string& command);
    // Ends stdin (k-hub-cli treats that as quit).
    void CloseInput();

    // Asks for the game list until it holds row ("name\thost\tplayers"): an announcement
    // takes its time through the server.
    bool WaitForGame(const std::string& row, std::chrono::milliseconds timeout);

    // Waits for the program to end: its exit code (minus the signal that killed it), or
    // nullopt on timeout.
    std::optional<int> WaitForExit(std::chrono::milliseconds timeout = kDefaultTimeout);
    void Kill(int signal);

    // The peak resident memory so far in KiB (VmHWM), 0 when unknown.
    long PeakRssKib() const;

  private:
    void WriteSettings(const Ini& settings) const;
    void Start(std::vector<std::string> argv);

    TempDir profile_{"khub-cli"};
    std::string settingsFile_ = profile_ / "K-Hub I/K-Hub.ini";
    pid_t pid_ = -1;
    int stdin_ = -1;
    std::thread reader_;
    std::optional<int> exitCode_;
};

}  // namespace khub::test

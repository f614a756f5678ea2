#pragma once
// Runs k-hub-cli as a child process with a settings folder of its own, writes commands to
// its stdin and waits for the lines it prints. Killed and reaped when the object goes.
//
//   CliProcess cli({{"options", {{"playername", "Alice"}, {"server", "127.0.0.1"},
//                                {"port", std::to_string(server.port())}}}});
//   cli.Send("connect");
//   ASSERT_TRUE(cli.WaitForText("title: K-Hub I - 1 users online"));

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ircu/TempDir.h"

namespace khub::test {

class CliProcess {
  public:
    using Ini = std::map<std::string, std::map<std::string, std::string>>;
    using Predicate = std::function<bool(const std::string& line)>;
    static constexpr std::chrono::milliseconds kDefaultTimeout{15000};

    // Settings for a player who can connect at once: playername, programpath and rompath
    // (folders inside the profile), server and port. Entries in extra win.
    static Ini PlayerSettings(const std::string& playername, int port, const Ini& extra = {});

    // Writes the settings file into a fresh XDG_CONFIG_HOME and starts the program.
    explicit CliProcess(const Ini& settings, std::vector<std::string> args = {},
                        std::string program = KHUB_CLI_PATH);

    // The Windows program instead, run by wineRun (scripts/wine-run.sh): a copy of exe in
    // the profile with the settings file beside it, where a copy with administrator rights
    // keeps it (and wine gives them to every program). Paths in settings are for Windows.
    struct WindowsCopy {
        std::string exe, wineRun;
    };
    CliProcess(const Ini& settings, const WindowsCopy& windows);
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    void Send(const std::string& command);
    // Ends stdin (the program treats that as quit).
    void CloseInput();

    // The next printed line (after those already waited past) that matches; nullopt on
    // timeout or when the program ended without printing it.
    std::optional<std::string> WaitFor(const Predicate& match,
                                       std::chrono::milliseconds timeout = kDefaultTimeout);
    // A line that starts with text ("title: K-Hub I - 2 users online", "box: ...").
    std::optional<std::string> WaitForLine(const std::string& text,
                                           std::chrono::milliseconds timeout = kDefaultTimeout);
    // A line that contains text anywhere.
    std::optional<std::string> WaitForText(const std::string& text,
                                           std::chrono::milliseconds timeout = kDefaultTimeout);

    // Waits for the program to end; its exit code, or nullopt on timeout.
    std::optional<int> WaitForExit(std::chrono::milliseconds timeout = kDefaultTimeout);

    std::vector<std::string> Output() const;
    std::string OutputText() const;  // every line so far, for failure messages
    std::string ErrorOutput() const;
    const TempDir& profile() const { return profile_; }
    std::string settingsPath() const;
    pid_t pid() const { return pid_; }

  private:
    void WriteSettings(const Ini& settings) const;
    void Start(std::string program, std::vector<std::string> args);
    void ReadLoop(int fd, bool isStdout);

    TempDir profile_{"khub-cli"};
    std::string settingsFile_ = profile_ / "K-Hub I/K-Hub.ini";
    pid_t pid_ = -1;
    int stdin_ = -1;
    std::thread outReader_, errReader_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
    std::string errors_;
    bool outEnded_ = false;
    std::size_t next_ = 0;
    std::optional<int> exitCode_;
};

}  // namespace khub::test

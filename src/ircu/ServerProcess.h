#pragma once
// A server program of a test (an IRC server) started in a folder of its own and stopped by
// its process id. IRC servers refuse to run as root: as root it runs as the unprivileged
// user "irc" (which ircd-ircu's package creates), and its folder is handed to that user.

#include <sys/types.h>

#include <string>
#include <vector>

namespace khub::test {

class ServerProcess {
  public:
    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Runs argv (argv[0] a full path) in a process group of its own, its output going to
    // outputFile and its input from /dev/null. extraEnv ("NAME=value") is added to the
    // environment. False with error() when it could not be started.
    bool Start(const std::string& folder, std::vector<std::string> argv,
               const std::string& outputFile, const std::vector<std::string>& extraEnv = {});
    // SIGTERM, then SIGKILL when it has not ended within two seconds; the group goes too.
    void Stop();

    bool running() const { return pid_ > 0; }
    pid_t processGroup() const { return pid_ > 0 ? pid_ : -1; }
    const std::string& error() const { return error_; }

  private:
    pid_t pid_ = -1;
    std::string error_;
};

}  // namespace khub::test

#pragma once
// The demo's processes: children it starts and talks to, and the guardian that ends them all
// should the demo itself be killed without a chance to clean up.

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace khub::demo {

// XDG_CONFIG_HOME and the other per-user folders inside a player's profile, so a program of
// the demo writes nothing outside it.
std::map<std::string, std::string> ProfileEnvironment(const std::filesystem::path& profile);

struct ChildSpec {
    std::vector<std::string> argv;
    std::map<std::string, std::string> env;  // added to (and overriding) the demo's own
    bool ownGroup = false;                   // a process group of its own, ended as a whole
    bool pipeStdio = false;  // stdin/stdout on pipes (stderr discarded), else the demo's
};

class Child {
  public:
    explicit Child(const ChildSpec& spec);
    ~Child();  // Stop()
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    bool ownGroup() const { return ownGroup_; }
    bool Running();
    void WriteLine(const std::string& line);
    // The next complete line it printed, without waiting; false when there is none yet.
    bool ReadLine(std::string& line);
    // Closes its input, gives it a moment to end, then SIGTERM and SIGKILL (to its whole
    // group when it has one) and reaps it.
    void Stop();

  private:
    bool WaitExit(int milliseconds);

    pid_t pid_ = -1;
    bool ownGroup_ = false;
    bool reaped_ = false;
    int in_ = -1, out_ = -1;
    std::string buffer_;
};

// A process that outlives the demo by a moment: when the demo ends in any way (its end of a
// pipe closes), it kills every process and group it was told about and removes the folder.
class Guardian {
  public:
    explicit Guardian(const std::filesystem::path& folder);
    ~Guardian();  // lets it do its work and reaps it
    Guardian(const Guardian&) = delete;
    Guardian& operator=(const Guardian&) = delete;

    void Watch(pid_t pid);
    void WatchGroup(pid_t group);
    // The child, and its whole group when it has one of its own.
    void Watch(const Child& child);

  private:
    void Tell(const std::string& line);

    pid_t pid_ = -1;
    int pipe_ = -1;
};

}  // namespace khub::demo

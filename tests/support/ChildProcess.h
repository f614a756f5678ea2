#pragma once
// A program run as a child with its standard input and output on pipes: lines written to
// it, every output line recorded, its exit seen. Used where the terminal front end is the
// thing under test (a victim for hostile peers, a copy under load).

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

namespace khub::test {

class ChildProcess {
  public:
    using LinePredicate = std::function<bool(const std::string&)>;

    // Starts argv[0] with argv and the current environment plus env (which overrides).
    // Standard error stays the parent's, so sanitizer reports show in the test output.
    ChildProcess(const std::vector<std::string>& argv,
                 const std::map<std::string, std::string>& env = {});
    ~ChildProcess();  // kills the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool WriteLine(const std::string& line);
    void CloseInput();

    std::optional<std::string> WaitForLine(const LinePredicate& pred,
                                           std::chrono::milliseconds timeout, std::size_t from = 0);
    std::vector<std::string> Lines() const;
    std::size_t LineCount() const;

    // The exit status as waitpid gives it, once the child has ended within timeout.
    std::optional<int> Wait(std::chrono::milliseconds timeout);
    bool Running();
    void Kill(int signal);
    // The child's peak resident memory so far in KiB (VmHWM), 0 when unknown.
    long PeakRssKib() const;

  private:
    void ReadLoop();

    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
    bool eof_ = false;
    std::optional<int> status_;
};

}  // namespace khub::test

#include "support/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace khub::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::map<std::string, std::string>& env) {
    int toChild[2], fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    if (::pipe2(fromChild, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");

    // Everything the child needs is prepared before fork: after it only exec-safe calls.
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        auto eq = entry.find('=');
        if (eq != std::string::npos && env.count(entry.substr(0, eq))) continue;
        envText.push_back(entry);
    }
    for (const auto& [k, v] : env) envText.push_back(k + "=" + v);
    std::vector<char*> envp, args;
    for (auto& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argText = argv;
    for (auto& a : argText) args.push_back(a.data());
    args.push_back(nullptr);

    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        ::dup2(toChild[0], 0);
        ::dup2(fromChild[1], 1);
        ::execve(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    in_ = toChild[1];
    out_ = fromChild[0];
    reader_ = std::thread([this] { ReadLoop(); });
}

ChildProcess::~ChildProcess() {
    if (Running()) {
        Kill(SIGKILL);
        Wait(std::chrono::seconds(10));
    }
    CloseInput();
    if (reader_.joinable()) reader_.join();
    if (out_ >= 0) ::close(out_);
}

void ChildProcess::ReadLoop() {
    std::string pending;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(out_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        pending.append(buf, static_cast<std::size_t>(n));
        std::size_t start = 0, eol;
        std::lock_guard lock(mutex_);
        while ((eol = pending.find('\n', start)) != std::string::npos) {
            lines_.push_back(pending.substr(start, eol - start));
            start = eol + 1;
        }
        pending.erase(0, start);
        changed_.notify_all();
    }
    std::lock_guard lock(mutex_);
    if (!pending.empty()) lines_.push_back(pending);
    eof_ = true;
    changed_.notify_all();
}

bool ChildProcess::WriteLine(const std::string& line) {
    if (in_ < 0) return false;
    std::string text = line + "\n";
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(in_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

void ChildProcess::CloseInput() {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
}

std::optional<std::string> ChildProcess::WaitForLine(const LinePredicate& pred,
                                                     std::chrono::milliseconds timeout,
                                                     std::size_t from) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(mutex_);
    std::size_t checked = from;
    for (;;) {
        for (; checked < lines_.size(); ++checked) {
            if (pred(lines_[checked])) return lines_[checked];
        }
        if (eof_) return std::nullopt;
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) {
            for (; checked < lines_.size(); ++checked) {
                if (pred(lines_[checked])) return lines_[checked];
            }
            return std::nullopt;
        }
    }
}

std::vector<std::string> ChildProcess::Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

std::size_t ChildProcess::LineCount() const {
    std::lock_guard lock(mutex_);
    return lines_.size();
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (status_) return status_;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            status_ = status;
            return status_;
        }
        if (r < 0) return std::nullopt;
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool ChildProcess::Running() {
    return !Wait(std::chrono::milliseconds(0)).has_value();
}

void ChildProcess::Kill(int signal) {
    if (!status_) ::kill(pid_, signal);
}

long ChildProcess::PeakRssKib() const {
    std::ifstream in("/proc/" + std::to_string(pid_) + "/status");
    std::string key;
    while (in >> key) {
        if (key == "VmHWM:") {
            long kib = 0;
            in >> kib;
            return kib;
        }
        std::string rest;
        std::getline(in, rest);
    }
    return 0;
}

}  // namespace khub::test

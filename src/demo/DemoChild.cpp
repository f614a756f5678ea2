#include "DemoChild.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace khub::demo {

namespace fs = std::filesystem;

std::map<std::string, std::string> ProfileEnvironment(const fs::path& profile) {
    std::error_code ec;
    fs::create_directories(profile / "runtime", ec);
    fs::permissions(profile / "runtime", fs::perms::owner_all, ec);
    return {{"XDG_RUNTIME_DIR", (profile / "runtime").string()},
            {"XDG_CONFIG_HOME", (profile / "config").string()},
            {"XDG_CACHE_HOME", (profile / "cache").string()},
            {"XDG_DATA_HOME", (profile / "data").string()},
            {"XDG_STATE_HOME", (profile / "state").string()}};
}

Child::Child(const ChildSpec& spec) : ownGroup_(spec.ownGroup) {
    int in[2] = {-1, -1}, out[2] = {-1, -1};
    if (spec.pipeStdio && (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)) return;
    std::vector<std::string> env;
    for (const auto& [key, value] : spec.env) env.push_back(key + "=" + value);
    pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        // Ends with the demo even when the demo cannot tell it to.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(1);
        if (spec.ownGroup) setpgid(0, 0);
        signal(SIGPIPE, SIG_DFL);
        if (spec.pipeStdio) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 2);
        }
        for (auto& e : env) putenv(e.data());
        std::vector<char*> argv;
        for (const auto& a : spec.argv) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (spec.ownGroup && pid_ > 0) setpgid(pid_, pid_);  // no race with a kill of the group
    if (spec.pipeStdio) {
        close(in[0]);
        close(out[1]);
        in_ = in[1];
        out_ = out[0];
        fcntl(out_, F_SETFL, fcntl(out_, F_GETFL) | O_NONBLOCK);
    }
}

Child::~Child() {
    Stop();
    if (in_ >= 0) close(in_);
    if (out_ >= 0) close(out_);
}

bool Child::Running() {
    if (pid_ <= 0 || reaped_) return false;
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) reaped_ = true;
    return !reaped_;
}

void Child::WriteLine(const std::string& line) {
    if (in_ < 0) return;
    std::string bytes = line + "\n";
    if (write(in_, bytes.data(), bytes.size()) < 0) {
        // It has ended; Running() tells.
    }
}

bool Child::ReadLine(std::string& line) {
    for (;;) {
        std::size_t lf = buffer_.find('\n');
        if (lf != std::string::npos) {
            line = buffer_.substr(0, lf);
            buffer_.erase(0, lf + 1);
            return true;
        }
        if (out_ < 0) return false;
        char chunk[4096];
        ssize_t n = read(out_, chunk, sizeof chunk);
        if (n <= 0) return false;
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

bool Child::WaitExit(int milliseconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (Running()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void Child::Stop() {
    if (pid_ <= 0) return;
    // A program reading commands ends by itself at the end of its input.
    bool hadInput = in_ >= 0;
    if (hadInput) {
        close(in_);
        in_ = -1;
    }
    pid_t target = ownGroup_ ? -pid_ : pid_;
    if (!WaitExit(hadInput ? 2000 : 0)) {
        kill(target, SIGTERM);
        if (!WaitExit(3000)) {
            kill(target, SIGKILL);
            WaitExit(2000);
        }
    }
    // What it started itself (a stand-in emulator and its window) goes with it.
    if (ownGroup_) kill(-pid_, SIGKILL);
    pid_ = -1;
}

Guardian::Guardian(const fs::path& folder) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[1]);
        // Ctrl+C reaches the whole foreground group; the guardian waits for the demo instead.
        signal(SIGINT, SIG_IGN);
        signal(SIGTERM, SIG_IGN);
        signal(SIGHUP, SIG_IGN);
        std::string told;
        char chunk[256];
        for (ssize_t n; (n = read(fds[0], chunk, sizeof chunk)) != 0;) {
            if (n > 0) told.append(chunk, static_cast<std::size_t>(n));
        }
        std::vector<pid_t> targets;
        for (std::size_t pos = 0, lf; (lf = told.find('\n', pos)) != std::string::npos;
             pos = lf + 1) {
            char kind = told[pos];
            pid_t id = static_cast<pid_t>(std::atol(told.c_str() + pos + 2));
            if (id > 1) targets.push_back(kind == 'g' ? -id : id);
        }
        bool any = false;
        for (pid_t t : targets) any = kill(t, SIGTERM) == 0 || any;
        if (any) std::this_thread::sleep_for(std::chrono::milliseconds(500));
        for (pid_t t : targets) kill(t, SIGKILL);
        std::error_code ec;
        fs::remove_all(folder, ec);
        _exit(0);
    }
    close(fds[0]);
    pipe_ = fds[1];
}

Guardian::~Guardian() {
    if (pipe_ >= 0) close(pipe_);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
}

void Guardian::Watch(pid_t pid) {
    Tell("p " + std::to_string(pid) + "\n");
}

void Guardian::Watch(const Child& child) {
    if (child.pid() <= 0) return;
    if (child.ownGroup()) {
        WatchGroup(child.pid());
    } else {
        Watch(child.pid());
    }
}

void Guardian::WatchGroup(pid_t group) {
    if (group > 0) Tell("g " + std::to_string(group) + "\n");
}

void Guardian::Tell(const std::string& line) {
    if (pipe_ < 0) return;
    if (write(pipe_, line.data(), line.size()) < 0) {
        // Without a guardian the demo still cleans up on a normal end.
    }
}

}  // namespace khub::demo

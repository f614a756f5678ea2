#include "support/CliProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

namespace khub::test {

CliProcess::Ini CliProcess::PlayerSettings(const std::string& playername, int port,
                                           const Ini& extra) {
    Ini ini;
    auto& options = ini["options"];
    options["playername"] = playername;
    options["server"] = "127.0.0.1";
    options["port"] = std::to_string(port);
    options["retries"] = "1";
    for (const auto& [section, keys] : extra) {
        for (const auto& [key, value] : keys) ini[section][key] = value;
    }
    return ini;
}

std::string CliProcess::settingsPath() const {
    return profile_ / "K-Hub I/K-Hub.ini";
}

CliProcess::CliProcess(const Ini& settings, std::vector<std::string> args, std::string program) {
    Ini ini = settings;
    // A profile that can connect needs these paths; tests that want them empty say so.
    if (!ini["options"].count("programpath")) {
        ini["options"]["programpath"] = profile_.Write("emulator/VOLTAW.EXE", "#!/bin/sh\n");
    }
    if (!ini["options"].count("rompath")) {
        std::filesystem::create_directories(profile_.path() / "roms");
        ini["options"]["rompath"] = profile_ / "roms";
    }
    std::ostringstream text;
    for (const auto& [section, keys] : ini) {
        text << "[" << section << "]\r\n";
        for (const auto& [key, value] : keys) text << key << "=" << value << "\r\n";
    }
    profile_.Write("K-Hub I/K-Hub.ini", text.str());

    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    std::string xdg = "XDG_CONFIG_HOME=" + profile_.path().string();
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        putenv(xdg.data());
        std::vector<char*> argv{program.data()};
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    stdin_ = in[1];
    outReader_ = std::thread([this, fd = out[0]] { ReadLoop(fd, true); });
    errReader_ = std::thread([this, fd = err[0]] { ReadLoop(fd, false); });
}

CliProcess::~CliProcess() {
    CloseInput();
    if (pid_ > 0 && !WaitForExit(std::chrono::milliseconds(3000))) {
        kill(pid_, SIGKILL);
        WaitForExit(std::chrono::milliseconds(5000));
    }
    if (outReader_.joinable()) outReader_.join();
    if (errReader_.joinable()) errReader_.join();
}

void CliProcess::ReadLoop(int fd, bool isStdout) {
    std::string pending;
    char chunk[4096];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        std::lock_guard lock(mutex_);
        if (!isStdout) {
            errors_.append(chunk, static_cast<std::size_t>(n));
            continue;
        }
        pending.append(chunk, static_cast<std::size_t>(n));
        std::size_t lf;
        while ((lf = pending.find('\n')) != std::string::npos) {
            lines_.push_back(pending.substr(0, lf));
            pending.erase(0, lf + 1);
        }
        changed_.notify_all();
    }
    close(fd);
    std::lock_guard lock(mutex_);
    if (isStdout) {
        if (!pending.empty()) lines_.push_back(pending);
        outEnded_ = true;
    }
    changed_.notify_all();
}

void CliProcess::Send(const std::string& command) {
    if (stdin_ < 0) return;
    std::string line = command + "\n";
    if (write(stdin_, line.data(), line.size()) < 0) {
    }
}

void CliProcess::CloseInput() {
    if (stdin_ >= 0) close(stdin_);
    stdin_ = -1;
}

std::optional<std::string> CliProcess::WaitFor(const Predicate& match,
                                               std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(mutex_);
    for (;;) {
        while (next_ < lines_.size()) {
            const std::string& line = lines_[next_++];
            if (match(line)) return line;
        }
        if (outEnded_) return std::nullopt;
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout &&
            next_ == lines_.size()) {
            return std::nullopt;
        }
    }
}

std::optional<std::string> CliProcess::WaitForLine(const std::string& text,
                                                   std::chrono::milliseconds timeout) {
    return WaitFor([&](const std::string& l) { return l.rfind(text, 0) == 0; }, timeout);
}

std::optional<std::string> CliProcess::WaitForText(const std::string& text,
                                                   std::chrono::milliseconds timeout) {
    return WaitFor([&](const std::string& l) { return l.find(text) != std::string::npos; },
                   timeout);
}

std::optional<int> CliProcess::WaitForExit(std::chrono::milliseconds timeout) {
    if (exitCode_) return exitCode_;
    if (pid_ <= 0) return std::nullopt;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return exitCode_;
        }
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::vector<std::string> CliProcess::Output() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

std::string CliProcess::OutputText() const {
    std::lock_guard lock(mutex_);
    std::string all;
    for (const auto& l : lines_) all += l + "\n";
    return all;
}

std::string CliProcess::ErrorOutput() const {
    std::lock_guard lock(mutex_);
    return errors_;
}

}  // namespace khub::test

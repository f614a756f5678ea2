#include "support/CliProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

namespace khub::test {

CliProcess::Ini CliProcess::PlayerSettings(const std::string& playername, int port,
                                           const Ini& extra) {
    Ini ini{{"options",
             {{"playername", playername},
              {"server", "127.0.0.1"},
              {"port", std::to_string(port)},
              {"retries", "1"}}}};
    for (const auto& [section, keys] : extra) {
        for (const auto& [key, value] : keys) ini[section][key] = value;
    }
    return ini;
}

CliProcess::CliProcess(const Ini& settings, std::vector<std::string> argv) {
    Ini ini = settings;
    // A profile that can connect needs these paths; tests that want them empty say so.
    if (!ini["options"].count("programpath")) {
        ini["options"]["programpath"] = profile_.Write("emulator/VOLTAW.EXE", "#!/bin/sh\n");
    }
    if (!ini["options"].count("rompath")) {
        std::filesystem::create_directories(profile_.path() / "roms");
        ini["options"]["rompath"] = profile_ / "roms";
    }
    WriteSettings(ini);
    argv.insert(argv.begin(), {"/usr/bin/env", "XDG_CONFIG_HOME=" + profile_.path().string()});
    Start(std::move(argv));
}

CliProcess::CliProcess(const Ini& settings, const std::string& exe, const std::string& wineRun) {
    std::filesystem::path copy = profile_.path() / "k-hub-cli.exe";
    std::filesystem::copy_file(exe, copy);
    settingsFile_ = profile_ / "K-Hub.ini";
    WriteSettings(settings);
    Start({wineRun, copy.string()});
}

void CliProcess::WriteSettings(const Ini& settings) const {
    std::ostringstream text;
    for (const auto& [section, keys] : settings) {
        text << "[" << section << "]\r\n";
        for (const auto& [key, value] : keys) text << key << "=" << value << "\r\n";
    }
    std::filesystem::create_directories(std::filesystem::path(settingsFile_).parent_path());
    WriteFileBytes(settingsFile_, text.str());
}

void CliProcess::Start(std::vector<std::string> args) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    // Everything the child needs is prepared before fork: after it only exec-safe calls.
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    stdin_ = in[1];
    reader_ = std::thread([this, fd = out[0]] {
        ReadToEnd(fd, false);
        close(fd);
    });
}

CliProcess::~CliProcess() {
    CloseInput();
    if (pid_ > 0 && !WaitForExit(std::chrono::milliseconds(3000))) {
        Kill(SIGKILL);
        WaitForExit(std::chrono::milliseconds(5000));
    }
    if (reader_.joinable()) reader_.join();
}

bool CliProcess::Send(const std::string& command) {
    std::string line = command + "\n";
    for (std::size_t sent = 0; stdin_ >= 0 && sent < line.size();) {
        ssize_t n = write(stdin_, line.data() + sent, line.size() - sent);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return stdin_ >= 0;
}

void CliProcess::CloseInput() {
    if (stdin_ >= 0) close(stdin_);
    stdin_ = -1;
}

bool CliProcess::WaitForGame(const std::string& row, std::chrono::milliseconds timeout) {
    auto listed = [&] {
        std::size_t from = LineCount();
        return Send("games") && WaitForLine("games: ", kDefaultTimeout, from) &&
               WaitFor([&](const std::string& l) { return l == "game: " + row; },
                       std::chrono::milliseconds(0), from);
    };
    return WaitUntil(listed, timeout, std::chrono::milliseconds(100));
}

std::optional<int> CliProcess::WaitForExit(std::chrono::milliseconds timeout) {
    auto exited = [&] {
        if (exitCode_ || pid_ <= 0) return true;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        return true;
    };
    WaitUntil(exited, timeout, std::chrono::milliseconds(5));
    return exitCode_;
}

void CliProcess::Kill(int signal) {
    if (!exitCode_) kill(pid_, signal);
}

long CliProcess::PeakRssKib() const {
    std::ifstream in("/proc/" + std::to_string(pid_) + "/status");
    for (std::string key; in >> key;) {
        long kib = 0;
        if (key == "VmHWM:") return in >> kib ? kib : 0;
        std::getline(in, key);
    }
    return 0;
}

}  // namespace khub::test

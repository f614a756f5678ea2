#include "ircu/ServerProcess.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

namespace khub::test {

namespace fs = std::filesystem;

ServerProcess::~ServerProcess() {
    Stop();
}

bool ServerProcess::Start(const std::string& folder, std::vector<std::string> argv,
                          const std::string& outputFile, const std::vector<std::string>& extraEnv) {
    std::vector<std::string> args;
    if (geteuid() == 0) {
        passwd* pw = getpwnam("irc");
        if (!pw) {
            error_ = "running as root, but there is no user \"irc\" to run the server as";
            return false;
        }
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(folder, ec)) {
            if (lchown(entry.path().c_str(), pw->pw_uid, pw->pw_gid) != 0) {
            }
        }
        if (chown(folder.c_str(), pw->pw_uid, pw->pw_gid) != 0) {
        }
        args = {"/usr/bin/setpriv", "--reuid=" + std::to_string(pw->pw_uid),
                "--regid=" + std::to_string(pw->pw_gid), "--clear-groups", "--"};
    }
    args.push_back("/usr/bin/env");
    args.insert(args.end(), extraEnv.begin(), extraEnv.end());
    args.insert(args.end(), argv.begin(), argv.end());

    pid_ = fork();
    if (pid_ < 0) {
        error_ = std::string("fork failed: ") + std::strerror(errno);
        return false;
    }
    if (pid_ == 0) {
        int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        setpgid(0, 0);
        if (chdir(folder.c_str()) != 0) _exit(126);
        std::vector<char*> raw;
        for (auto& a : args) raw.push_back(a.data());
        raw.push_back(nullptr);
        execv(raw[0], raw.data());
        _exit(127);
    }
    return true;
}

void ServerProcess::Stop() {
    if (pid_ <= 0) return;
    pid_t server = pid_;
    kill(server, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(server, nullptr, WNOHANG) == server) {
            server = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (server > 0) {
        kill(server, SIGKILL);
        waitpid(server, nullptr, 0);
    }
    // Helpers it started (ircu's IAuth) are in its process group.
    kill(-pid_, SIGKILL);
    pid_ = -1;
}

}  // namespace khub::test

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "ircu/TempDir.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

// How long a k-hub-cli may take to say something; only reached when something is wrong.
constexpr auto kPatience = 20s;

// One k-hub-cli process with its stdin, stdout and stderr on pipes.
class CliProcess {
  public:
    CliProcess(const std::string& configHome, std::vector<std::string> args = {}) {
        int in[2], out[2], err[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) {
            posix_spawn_file_actions_addclose(&actions, fd);
        }

        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            if (std::string(*e).rfind("XDG_CONFIG_HOME=", 0) != 0) env.push_back(*e);
        }
        env.push_back("XDG_CONFIG_HOME=" + configHome);
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);

        std::string program = KHUB_CLI_PATH;
        args.insert(args.begin(), program);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);

        int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        ::close(err[1]);
        stdin_ = in[1];
        stdout_ = out[0];
        stderr_ = err[0];
        if (rc != 0) throw std::runtime_error("posix_spawn failed");
    }

    ~CliProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        for (int fd : {stdin_, stdout_, stderr_}) {
            if (fd >= 0) ::close(fd);
        }
    }

    void Send(const std::string& line) {
        std::string data = line + "\n";
        ASSERT_EQ(::write(stdin_, data.data(), data.size()), static_cast<ssize_t>(data.size()));
    }

    void CloseInput() {
        ::close(stdin_);
        stdin_ = -1;
    }

    // The next line of standard output; nullopt at its end or when none comes in time.
    std::optional<std::string> ReadLine() {
        for (;;) {
            auto nl = buffer_.find('\n');
            if (nl != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return line;
            }
            if (!ReadMore(stdout_, buffer_)) return std::nullopt;
        }
    }

    // Everything left on standard error, up to its end.
    std::string ReadErrors() {
        std::string all;
        while (ReadMore(stderr_, all)) {
        }
        return all;
    }

    // The exit status once the process has ended (call after its output ended).
    int Wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

    void KillHard() {
        ::kill(pid_, SIGKILL);
        Wait();
    }

  private:
    static bool ReadMore(int fd, std::string& into) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(std::chrono::milliseconds(kPatience).count())) <= 0) {
            return false;
        }
        char buf[4096];
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) return false;
        into.append(buf, static_cast<std::size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int stdin_ = -1, stdout_ = -1, stderr_ = -1;
    std::string buffer_;
};

TEST(SingleInstanceProcess, SecondCopyEndsAtOnceAndAKilledCopyDoesNotBlock) {
    khub::test::TempDir home;
    const std::string config = home.path().string();

    CliProcess first(config);
    ASSERT_EQ(first.ReadLine(), "title: K-Hub I - not connected");

    CliProcess second(config);
    EXPECT_EQ(second.ReadLine(), std::nullopt);  // no title: it never started
    EXPECT_NE(second.ReadErrors().find("already running"), std::string::npos);
    int status = second.Wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 0);

    // The first copy is undisturbed.
    first.Send("bogus");
    for (auto line = first.ReadLine(); line; line = first.ReadLine()) {
        if (*line == "refused: bogus (unknown command)") break;
        ASSERT_TRUE(line->starts_with("log: ")) << *line;
    }

    // Another settings folder is another profile: it runs beside the first.
    khub::test::TempDir otherHome;
    CliProcess beside(otherHome.path().string());
    EXPECT_EQ(beside.ReadLine(), "title: K-Hub I - not connected");

    first.KillHard();
    CliProcess third(config);
    EXPECT_EQ(third.ReadLine(), "title: K-Hub I - not connected");
    third.CloseInput();
    while (third.ReadLine()) {
    }
    status = third.Wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(CliArguments, VersionHelpAndUnknown) {
    khub::test::TempDir home;
    const std::string config = home.path().string();

    CliProcess version(config, {"--version"});
    EXPECT_EQ(version.ReadLine(), std::string("k-hub-cli ") + KHUB_VERSION);
    EXPECT_EQ(WEXITSTATUS(version.Wait()), 0);

    CliProcess help(config, {"--help"});
    std::string text;
    while (auto line = help.ReadLine()) text += *line + "\n";
    EXPECT_EQ(WEXITSTATUS(help.Wait()), 0);
    EXPECT_TRUE(text.starts_with("Usage: k-hub-cli")) << text;
    EXPECT_NE(text.find("  quit "), std::string::npos);
    EXPECT_NE(text.find(config + "/K-Hub I/K-Hub.ini"), std::string::npos);
    EXPECT_NE(text.find(config + "/K-Hub I/K-Hub.lock"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(config + "/K-Hub I"));  // --help creates nothing

    CliProcess wrong(config, {"--frobnicate"});
    EXPECT_EQ(wrong.ReadLine(), std::nullopt);
    EXPECT_NE(wrong.ReadErrors().find("--frobnicate"), std::string::npos);
    EXPECT_EQ(WEXITSTATUS(wrong.Wait()), 2);
}

}  // namespace

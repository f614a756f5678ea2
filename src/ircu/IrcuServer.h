#pragma once
// A real ircd-ircu (Debian package ircd-ircu) on a free loopback port, with a config of its
// own in a temp folder; stopped and removed when the object goes.
//
//   khub::test::IrcuServer server;          // started; server.port() is where it listens
//   if (!server.ok()) GTEST_SKIP() << server.error();
//
// What it takes to run the packaged binary here: a copy of it patched to a smaller client
// table and a looser flood limit, an LD_PRELOAD shim for its file-descriptor limit check,
// an IAuth helper that accepts our USER name, and (as root) the unprivileged user "irc".
// Clients get user mode +i from their class, so the server sends the own-nick MODE line.

#include <sys/types.h>

#include <string>

#include "ircu/ServerProcess.h"
#include "ircu/TempDir.h"

namespace khub::test {

class IrcuServer {
  public:
    struct Options {
        std::string name = "irc.test.local";
        int pingFrequencySeconds = 30;
        bool classUserMode = true;  // "+i": the server then sends MODE on the own nick
        std::string operName = "oper";
        std::string operPassword = "secret";
        std::string extraFeatures;  // more "KEY" = "VALUE"; lines for the features block
    };

    IrcuServer();
    explicit IrcuServer(Options options);
    ~IrcuServer();
    IrcuServer(const IrcuServer&) = delete;
    IrcuServer& operator=(const IrcuServer&) = delete;

    // False when the server could not be started; error() says why.
    bool ok() const { return process_.running() && error_.empty(); }
    const std::string& error() const { return error_; }
    int port() const { return port_; }
    const std::string& name() const { return options_.name; }
    const Options& options() const { return options_; }
    // The server and its IAuth helper run in this process group (-1 when not running).
    pid_t processGroup() const { return process_.processGroup(); }

    // Ends the server (SIGTERM: clients see their connection closed without an ERROR line).
    void Stop();
    // What the server wrote to its stdout and stderr.
    std::string ServerOutput() const;

    // Where the packaged binary is; empty when it is not installed.
    static std::string BinaryPath();

  private:
    bool Start();
    bool PrepareBinary(const std::string& target);

    Options options_;
    TempDir dir_{"khub-ircu"};
    int port_ = 0;
    ServerProcess process_;
    std::string error_;
};

}  // namespace khub::test

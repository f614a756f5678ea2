// The demo lobby (k-hub-demo) with the terminal front end as the newcomer: the demo host's
// game shows in the newcomer's list, and whether the newcomer quits or the demo is
// terminated or killed outright, no process it started and nothing of its temporary folder
// stays behind.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "ircu/IrcuServer.h"
#include "support/CliProcess.h"

namespace khub::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Every process with an environment entry that starts with prefix: all the demo starts has
// its TMPDIR inside the folder the test gave it.
std::vector<pid_t> ProcessesWithEnvironment(const std::string& prefix) {
    std::vector<pid_t> found;
    for (const auto& proc : fs::directory_iterator("/proc")) {
        std::string name = proc.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream in(proc.path() / "environ", std::ios::binary);
        for (std::string entry; std::getline(in, entry, '\0');) {
            if (entry.starts_with(prefix)) {
                found.push_back(static_cast<pid_t>(std::stol(name)));
                break;
            }
        }
    }
    return found;
}

TEST(DemoTest, ShowsTheHostsGameAndLeavesNothingBehindHoweverItEnds) {
    if (IrcuServer::BinaryPath().empty()) GTEST_SKIP() << "ircd-ircu is not installed";
    const struct {
        const char* name;
        int signal;           // 0: the newcomer quits
        int lowest, highest;  // its exit code; terminated, it cleans up instead of dying
    } rows[] = {{"quit", 0, 0, 0},
                {"terminated", SIGTERM, 0, 255},
                {"killed", SIGKILL, -SIGKILL, -SIGKILL}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir tmp{"khub-demo-test"};
        // ircd-ircu runs as "irc" when the test runs as root and must reach the folder.
        ::chmod(tmp.path().c_str(), 0755);
        const std::string marker = "TMPDIR=" + tmp.path().string();
        CliProcess demo({"/usr/bin/env", marker, KHUB_BUILD_DIR "/k-hub-demo", "--front-end=cli"});
        ASSERT_TRUE(demo.WaitForGame("K-Hub Demo Game\tDemoHost\t1/2", 30s)) << demo.OutputText();
        // Server, host, newcomer and the guardian are up meanwhile, all under the folder.
        EXPECT_GE(ProcessesWithEnvironment(marker).size(), 4u);

        if (row.signal) {
            demo.Kill(row.signal);  // killed, it gets no chance: its guardian ends the rest
        } else {
            demo.Send("quit");
        }
        auto code = demo.WaitForExit(20s);
        ASSERT_TRUE(code.has_value());
        EXPECT_TRUE(*code >= row.lowest && *code <= row.highest) << *code;
        auto gone = [&] {
            return ProcessesWithEnvironment(marker).empty() && fs::is_empty(tmp.path());
        };
        EXPECT_TRUE(WaitUntil(gone, 10s, 50ms))
            << "left: " << ProcessesWithEnvironment(marker).size();
    }
}

}  // namespace
}  // namespace khub::test

// The demo lobby (k-hub-demo) with the terminal front end as the newcomer: the demo host's
// game shows in the newcomer's list, and whether the newcomer quits or the demo is killed
// outright, no process it started and nothing of its temporary folder stays behind.

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "ircu/IrcuServer.h"
#include "ircu/TempDir.h"
#include "support/ChildProcess.h"

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
        std::string env(std::istreambuf_iterator<char>(in), {});
        for (std::size_t pos = 0; pos < env.size();) {
            std::size_t end = env.find('\0', pos);
            if (end == std::string::npos) end = env.size();
            if (env.compare(pos, std::min(end - pos, prefix.size()), prefix) == 0) {
                found.push_back(static_cast<pid_t>(std::stol(name)));
                break;
            }
            pos = end + 1;
        }
    }
    return found;
}

class DemoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (IrcuServer::BinaryPath().empty()) GTEST_SKIP() << "ircd-ircu is not installed";
        // ircd-ircu runs as "irc" when the test runs as root and must reach the folder.
        ::chmod(tmp.path().c_str(), 0755);
        demo = std::make_unique<ChildProcess>(
            std::vector<std::string>{std::string(KHUB_BUILD_DIR) + "/k-hub-demo",
                                     "--front-end=cli"},
            std::map<std::string, std::string>{{"TMPDIR", tmp.path().string()}});
    }

    // Asks for the list until the demo host's game is in it.
    bool GameListed(std::chrono::seconds timeout) {
        auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            std::size_t from = demo->LineCount();
            demo->WriteLine("games");
            auto line = demo->WaitForLine(
                [](const std::string& l) { return l.rfind("games: ", 0) == 0; }, 5s, from);
            for (const auto& l : demo->Lines()) {
                if (l == "game: K-Hub Demo Game\tDemoHost\t1/2") return true;
            }
            if (!line && !demo->Running()) return false;
            std::this_thread::sleep_for(200ms);
        }
        return false;
    }

    // True once nothing of the demo runs and its folder is gone, within timeout.
    bool AllGone(std::chrono::seconds timeout) {
        auto end = std::chrono::steady_clock::now() + timeout;
        do {
            if (ProcessesWithEnvironment(marker()).empty() && fs::is_empty(tmp.path())) return true;
            std::this_thread::sleep_for(50ms);
        } while (std::chrono::steady_clock::now() < end);
        return false;
    }

    std::string marker() const { return "TMPDIR=" + tmp.path().string(); }
    std::string Output() const {
        std::string text;
        for (const auto& l : demo->Lines()) text += l + "\n";
        return text;
    }

    TempDir tmp{"khub-demo-test"};
    std::unique_ptr<ChildProcess> demo;
};

TEST_F(DemoTest, ShowsTheHostsGameAndLeavesNothingWhenTheNewcomerQuits) {
    ASSERT_TRUE(GameListed(30s)) << Output();
    // Server, host, newcomer and the guardian are up meanwhile, all under the folder.
    EXPECT_GE(ProcessesWithEnvironment(marker()).size(), 4u);
    demo->WriteLine("quit");
    auto status = demo->Wait(20s);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
    EXPECT_TRUE(AllGone(10s)) << "left: " << ProcessesWithEnvironment(marker()).size();
}

TEST_F(DemoTest, StopsEverythingWhenKilledOutright) {
    ASSERT_TRUE(GameListed(30s)) << Output();
    // The demo gets no chance to clean up; its guardian has to end the rest.
    demo->Kill(SIGKILL);
    ASSERT_TRUE(demo->Wait(5s).has_value());
    EXPECT_TRUE(AllGone(10s)) << "left: " << ProcessesWithEnvironment(marker()).size();
}

TEST_F(DemoTest, CleansUpWhenTerminated) {
    ASSERT_TRUE(GameListed(30s)) << Output();
    demo->Kill(SIGTERM);
    auto status = demo->Wait(20s);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status)) << *status;  // it cleaned up instead of dying
    EXPECT_TRUE(AllGone(10s)) << "left: " << ProcessesWithEnvironment(marker()).size();
}

}  // namespace
}  // namespace khub::test

#pragma once
// A lobby on the program harness: a user list of our own, the emulator's starts recorded,
// and a ROM folder in the temporary folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "irc/IrcLine.h"
#include "lobby/Lobby.h"
#include "lobby/LobbyHooks.h"
#include "platform/Process.h"
#include "support/IrcHarness.h"

namespace khub::testing {

using khub::test::TempDir;

inline void WriteFile(const std::filesystem::path& path, const std::string& content) {
    test::WriteFileBytes(path.string(), content);
}

inline std::string ReadFile(const std::filesystem::path& path) {
    return test::ReadFileBytes(path.string());
}

struct LobbyHarness : test::IrcHarness, Process {
    LobbyHarness() {
        std::filesystem::create_directories(romDir);
        CIni settings = program->Settings();
        settings.SetString("options", "rompath", romDir.string());
        settings.SetString("options", "programpath", "/opt/emu/VOLTAW");
        program->conn.ownNick = "Me";
        program->ownIpText = "10.0.0.1";
        program->links.userLevel = [this](const std::string& nick) {
            auto it = levels.find(nick);
            return it == levels.end() ? 1 : it->second;
        };
        program->links.offerRomByDcc = [this](const std::string& nick) { offers.push_back(nick); };
        program->links.runWorker = [this](std::function<void()> job) {
            if (holdWorkerJobs) return heldJobs.push_back(std::move(job));
            job();
        };
        program->links.process = this;  // the emulator's starts are recorded
    }

    // A NOTICE as the dispatcher hands it over; to "Me" runs the private rules.
    bool Notice(const std::string& from, const std::string& target, const std::string& text) {
        IrcLineParts parts{from + "!u@127.0.0.1", from, "NOTICE", target, text, {}};
        bool taken = target.find('#') != std::string::npos
                         ? lobby::HandleChannelNotice(*program, parts)
                         : lobby::HandlePrivateNotice(*program, parts);
        loop.RunPending();
        return taken;
    }
    bool Private(const std::string& from, const std::string& text) {
        return Notice(from, "Me", text);
    }
    bool Channel(const std::string& from, const std::string& text) {
        return Notice(from, "@#K-HubI", "+ " + text);
    }

    bool Spawn(const std::string&, const std::vector<std::string>& argv, const std::string&,
               std::string*) override {
        spawns.push_back(argv);
        return true;
    }

    std::vector<std::string> Chat(WindowId window) const {
        return ui.Lines(
            window, window == WindowId::HostGame ? control::kHostChatLog : control::kJoinChatLog);
    }
    bool Enabled(WindowId window, int id) const { return ui.ControlEnabled(window, id); }
    void Advance(int ms) { loop.AdvanceBy(std::chrono::milliseconds(ms)); }

    // A hosted game "Mario Kart" with the Host Game window open.
    void HostGame(const std::string& name = "Mario Kart") {
        lobby::OpenCreateGame(*program);
        ASSERT_TRUE(lobby::CreateGameOk(*program, name, false));
        sent.clear();
    }
    // A row hosted by host, joined and accepted.
    void JoinGame(const std::string& host = "Hoster") {
        Channel(host, "K-Hub-3|HOST|Zelda");
        lobby::GameListClick(*program, program->games.FindGameRow(host), true);
        Channel(host, "K-Hub-3|HOST|Zelda|Me");
        sent.clear();
    }

    std::filesystem::path romDir = dir.path() / "roms";
    std::vector<std::vector<std::string>> spawns;  // each start's arguments
    std::vector<std::string> offers;
    bool holdWorkerJobs = false;  // worker jobs (the ROM folder scan) wait in heldJobs
    std::vector<std::function<void()>> heldJobs;
    std::map<std::string, int> levels;  // by nick; the others are voiced
};

struct LobbyTest : ::testing::Test {
    LobbyHarness h;
};

}  // namespace khub::testing

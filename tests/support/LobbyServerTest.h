#pragma once
// A test that runs on a real IRC server, or on each one the lobby plays on: ircd-ircu, ngircd,
// InspIRCd and ircd-hybrid. The operator "Ivan" is in #K-HubI before any player, so each server
// makes him its channel operator; he voices players (OPMODE as an IRC operator on ircu, MODE as the
// channel's operator elsewhere). The players are k-hub-cli copies with ROM folders of their own
// and an emulator stand-in that writes down its arguments, its working folder and its ROM.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ircu/IrcTestClient.h"
#include "ircu/LoopbackPort.h"
#include "lobby/EmulatorCommand.h"
#include "support/CliProcess.h"
#include "support/PackagedIrcd.h"

namespace khub::test {

// The emulator stand-in: it writes its command line into its folder ("argv", a line each,
// its own path first). With windowsExe, a copy of the Windows stand-in, which writes the
// arguments as Windows splits them, and its working folder ("cwd") and ROM ("rom") too.
struct FakeEmulator {
    explicit FakeEmulator(const std::string& windowsExe = "") : script(dir / "VOLTAW.EXE") {
        if (!windowsExe.empty()) {
            std::filesystem::copy_file(windowsExe, script);
            return;
        }
        script = dir.Write("VOLTAW",
                           "#!/bin/sh\nd=\"$(dirname \"$0\")\"\n"
                           "printf '%s\\n' \"$0\" \"$@\" > \"$d/argv.tmp\"\n"
                           "mv \"$d/argv.tmp\" \"$d/argv\"\n");
        ::chmod(script.c_str(), 0755);
    }
    // Waits for the stand-in of a launch that was already logged.
    bool WaitRan(std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
        return WaitUntil([&] { return std::filesystem::exists(dir / "argv"); }, timeout);
    }
    std::vector<std::string> Lines(const std::string& file) const {
        std::ifstream in(dir / file);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    TempDir dir{"khub-emu"};
    std::string script;
};

// The Windows programs of a Windows build (scripts/build-windows.sh) and what runs them.
struct WindowsPrograms {
    std::string cliExe, emulatorExe, wineRun;
};

struct Player {
    // With windows, the emulator is the Windows stand-in: on Linux started through wine, or by
    // k-hub-cli.exe itself when windowsCli (under wine, so its paths are wine's Z:\...).
    Player(const std::string& nick, int port, const WindowsPrograms* windows = nullptr,
           bool windowsCli = false)
        : nick(nick),
          windowsCli(windowsCli),
          emulator(windows ? windows->emulatorExe : ""),
          cli(windowsCli ? CliProcess(Settings(port), windows->cliExe, windows->wineRun)
                         : CliProcess(Settings(port, windows ? windows->wineRun : ""))) {}
    // A file of the ROM folder as this player's program names it.
    std::string RomPath(const std::string& file) const { return Own(roms.File(file)); }
    std::string nick;
    bool windowsCli = false;
    TempDir roms{"khub-roms"};
    FakeEmulator emulator;
    CliProcess cli;

  private:
    std::string Own(const std::string& path) const { return windowsCli ? WinePath(path) : path; }
    // Its paths, and a DCC port range of one free port for when it sends a file.
    CliProcess::Ini Settings(int port, const std::string& launcher = "") {
        std::string dcc = std::to_string(FreeLoopbackPort());
        CliProcess::Ini own{{"options", {{"startport", dcc}, {"endport", dcc}}}};
        own["options"]["programpath"] = Own(emulator.script);
        own["options"]["rompath"] = Own(roms.path().string());
        if (!launcher.empty()) own["options"]["launcher"] = launcher;
        return CliProcess::PlayerSettings(nick, port, own);
    }
};

class LobbyServerTest : public ::testing::TestWithParam<IrcdKind> {
  protected:
    // Skips the test when the server cannot be had here.
    void StartServer(IrcdKind kind) {
        kind_ = kind;
        server_ = std::make_unique<PackagedIrcd>(kind);
        if (server_->unavailable()) GTEST_SKIP() << server_->error();
        ASSERT_TRUE(server_->ok()) << server_->error();
        op.awaitIdentNotice = server_->sendsIdentNotice();
        ASSERT_TRUE(op.Connect(port()));
        ASSERT_TRUE(op.Register("Ivan"));
        ASSERT_TRUE(kind != IrcdKind::Ircu || op.Oper());
        ASSERT_TRUE(op.Join());
    }

    int port() const { return server_->port(); }

    // A line of cli's output that starts with text, or a failure that shows all of it.
    static ::testing::AssertionResult Printed(
        CliProcess& cli, const std::string& text,
        std::chrono::milliseconds timeout = CliProcess::kDefaultTimeout) {
        if (cli.WaitForLine(text, timeout)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "no \"" << text << "\" in:\n" << cli.OutputText();
    }

    // Whether op sees a line of p's that holds text (its user@host differs between servers).
    // A copy under wine may take a while on a loaded machine: its first start makes the prefix.
    bool OpSees(const Player& p, const std::string& text) {
        return op
            .WaitFor(
                [&](const std::string& l) {
                    return l.starts_with(":" + p.nick + "!") && l.find(text) != std::string::npos;
                },
                p.windowsCli ? std::chrono::seconds(60) : IrcTestClient::kDefaultTimeout)
            .has_value();
    }

    // Connects the player and waits until it is in the lobby and has voice.
    void Enter(Player& p) {
        p.cli.Send("connect");
        ASSERT_TRUE(OpSees(p, " JOIN ")) << p.cli.OutputText();
        ASSERT_TRUE(p.cli.WaitForText("users online")) << p.cli.OutputText();
        ASSERT_TRUE(kind_ == IrcdKind::Ircu ? op.OpMode("#K-HubI", "+v", p.nick)
                                            : op.ChannelMode("#K-HubI", "+v", p.nick));
        ASSERT_TRUE(p.cli.WaitForText("+v " + p.nick)) << p.cli.OutputText();
    }

    // The host opens game on rom (bytes, which the client lacks), the client joins it from
    // the list, they greet each other with hello, and the client downloads the ROM.
    void JoinAndDownload(Player& host, Player& client, const std::string& game,
                         const std::string& rom, const std::string& bytes,
                         const std::string& hello) {
        host.roms.Write(rom, bytes);
        host.cli.Send("create " + game + " --rom " + host.RomPath(rom));
        ASSERT_TRUE(Printed(host.cli, "window: open host"));
        ASSERT_TRUE(
            client.cli.WaitForGame(game + "\t" + host.nick + "\t1/2", std::chrono::seconds(20)))
            << client.cli.OutputText();
        client.cli.Send("join " + host.nick);
        ASSERT_TRUE(Printed(client.cli, "window: open join"));
        ASSERT_TRUE(Printed(host.cli, "chat: " + client.nick + " has joined."));
        ASSERT_TRUE(Printed(host.cli, "log: Match: NO"));
        ASSERT_TRUE(
            client.cli.WaitForGame(game + "\t" + host.nick + "\t2/2", std::chrono::seconds(10)))
            << client.cli.OutputText();
        for (Player* p : {&host, &client}) {
            Player& other = p == &host ? client : host;
            p->cli.Send("say " + hello);
            ASSERT_TRUE(Printed(other.cli, "chat: <" + p->nick + "> " + hello));
        }
        client.cli.Send("download");
        ASSERT_TRUE(Printed(client.cli, "log: Finished.", std::chrono::seconds(60)));
        EXPECT_TRUE(ReadFileBytes(client.roms.File(rom)) == bytes);
        ASSERT_TRUE(Printed(host.cli, "log: Match: YES"));
    }

    IrcTestClient op;

  private:
    IrcdKind kind_ = IrcdKind::Ircu;
    std::unique_ptr<PackagedIrcd> server_;
};

}  // namespace khub::test

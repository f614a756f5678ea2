// The host's side of a game: chat with the client, the ROM choice, Start, Kick, and the
// reactions to the client's messages.

#include "Lobby.h"
#include "RomCatalogue.h"
#include "app/Program.h"
#include "transfer/Transfer.h"

namespace khub::lobby {

namespace {

void SetHostTitle(Program& program) {
    program.ui.SetWindowTitle(WindowId::HostGame,
                              "Host Game [" + program.host.hostedGameName + "]");
}

void EndHostTimers(Program& program) {
    program.loop.Cancel(program.lobby.selectCooldown);
    program.loop.Cancel(program.lobby.reannounce);
    program.lobby.selectCooldown = 0;
    program.lobby.reannounce = 0;
    program.host.selectCooldownActive = false;
}

}  // namespace

void OpenHostWindow(Program& program) {
    if (program.windows.host || program.windows.client) return;
    ++program.lobby.hostGeneration;
    EndHostTimers(program);
    program.windows.host = true;
    program.lobby.selectOpen = false;
    program.lobby.hostControls.clear();
    program.ui.OpenWindow(WindowId::HostGame);
    SetHostTitle(program);
    EnableHostControl(program, control::kSelect, true);
    EnableHostControl(program, control::kStart, false);
    EnableHostControl(program, control::kKick, false);
    EnableHostControl(program, control::kSend, true);
    EnableHostControl(program, control::kHostChatEdit, true);
    program.log.DebugLog("Title \t\t= %s\r\n", program.host.hostedGameName.c_str());
    program.log.DebugLog("Disable Download \t= %i\r\n", program.host.disableDownload ? 1 : 0);
    program.log.DebugLog("IP Address \t= %s\r\n", program.ownIpText.c_str());
}

void HostChatChanged(Program& program, const std::string& text) {
    if (program.windows.host) EnableHostControl(program, control::kSend, !text.empty());
}

void HostSend(Program& program, const std::string& rawText) {
    if (!program.windows.host) return;
    std::string text = rawText.substr(0, 1023);
    SendLine(program, FormatChatLine(program.host.joinedClientNick, text));
    HostWindowLog(program, "%s", ChatPaneLine(program, program.conn.ownNick, text).c_str());
    program.ui.SetControlText(WindowId::HostGame, control::kHostChatEdit, "");
    EnableHostControl(program, control::kSend, false);
}

void HostSelectBegin(Program& program) {
    if (!program.windows.host) return;
    LobbyRuntime& r = program.lobby;
    if (r.selectOpen) return;
    r.selectOpen = true;
    r.selectStartWasEnabled = r.hostControls[control::kStart];
    EnableHostControl(program, control::kStart, false);
    // Download requests that arrive while the chooser is open are refused.
    r.selectSavedDisableDownload = program.host.disableDownload;
    program.host.disableDownload = true;
}

void HostSelectEnd(Program& program, const std::string& path) {
    LobbyRuntime& r = program.lobby;
    if (!r.selectOpen) return;
    r.selectOpen = false;
    if (!program.windows.host) return;
    program.host.disableDownload = r.selectSavedDisableDownload;
    // A refused ROM leaves the game as a cancelled chooser does.
    auto file = path.empty() ? std::nullopt : ChosenRomFile(program, path);
    if (!file) {
        if (!program.host.hostRomFile.empty() && r.selectStartWasEnabled) {
            EnableHostControl(program, control::kStart, true);
        }
        return;
    }
    program.host.hostRomFile = *file;
    program.host.hostRomCrc = rom::CrcTextOfFile(path);
    program.host.hostedGameName = GameNameOfRomFile(*file);
    SetHostTitle(program);

    const std::string& client = program.host.joinedClientNick;
    if (!client.empty()) {
        SendLine(program, FormatGameNotice(client, program.host.hostRomFile,
                                           program.host.hostRomCrc, program.host.disableDownload));
        EnableHostControl(program, control::kSelect, false);
    }
    PutGameRow(program, program.host.hostedGameName, program.conn.ownNick, !client.empty());
    HostWindowLog(program, "The selected game is: %s\r\n", program.host.hostRomFile.c_str());

    program.host.selectCooldownActive = true;
    EnableHostControl(program, control::kSelect, false);
    program.loop.Cancel(program.lobby.selectCooldown);
    std::uint64_t generation = program.lobby.hostGeneration;
    program.lobby.selectCooldown =
        program.loop.PostDelayed(std::chrono::seconds(10), [&program, generation] {
            program.lobby.selectCooldown = 0;
            if (!program.windows.host || program.lobby.hostGeneration != generation) return;
            EnableHostControl(program, control::kSelect, true);
            program.host.selectCooldownActive = false;
        });
    AnnounceHost(program, false);
}

void HostStart(Program& program) {
    if (!program.windows.host) return;
    program.netplayProtocol = ReadNetplayProtocol(program);
    LaunchEmulator(program, 'S', program.host.hostRomFile, "");
    SendLine(program, FormatStartNotice(program.host.joinedClientNick, program.ownIpText,
                                        program.netplayProtocol == "T"));
}

void HostKick(Program& program) {
    if (!program.windows.host) return;
    std::string client = program.host.joinedClientNick;
    SendLine(program, FormatKickNotice(client));
    program.log.DebugLog("Client kicked.\r\n");
    HostWindowLog(program, "%s has left.\r\n", client.c_str());
    program.host.joinedClientNick.clear();
    AnnounceHost(program, false);
    PutGameRow(program, program.host.hostedGameName, program.conn.ownNick, false);
    EnableHostControl(program, control::kStart, false);
    EnableHostControl(program, control::kKick, false);
}

void HostCancel(Program& program) {
    if (!program.windows.host) return;
    program.log.DebugLog("Host window closed.\r\n");
    SendLine(program, FormatDoneToChannel(Carrier(program), program.conn.channelName));
    transfer::EndTransferWithGame(program);
    EndHostTimers(program);
    ++program.lobby.hostGeneration;
    program.windows.host = false;
    program.host.joinedClientNick.clear();
    program.host.hostedGameName.clear();
    program.host.hostRomFile.clear();
    program.host.hostRomCrc.clear();
    program.host.disableDownload = false;
    RemoveGameRow(program, program.conn.ownNick);
    program.ui.SetMenuItem(menu::kCreate, "", true);
    program.ui.CloseWindow(WindowId::HostGame);
}

void HostGotClient(Program& program, const std::string& nick) {
    program.log.DebugLog("Client found.\r\n");
    HostWindowLog(program, "%s has joined.\r\n", nick.c_str());
    if (program.playJoinSound) {
        std::string file = program.Settings().GetStringCut("host", "soundfile", 2048);
        if (!file.empty()) program.ui.PlaySound(file);
    }
    program.host.joinedClientNick = nick;
    AnnounceHost(program, false);
    PutGameRow(program, program.host.hostedGameName, program.conn.ownNick, true);
    if (!program.host.hostRomFile.empty() && !program.host.hostRomCrc.empty()) {
        SendLine(program, FormatGameNotice(nick, program.host.hostRomFile, program.host.hostRomCrc,
                                           program.host.disableDownload));
        EnableHostControl(program, control::kSelect, false);
    }
    EnableHostControl(program, control::kKick, UserLevel(program, nick) < 3);
}

void HostClientLeft(Program& program, const std::string& nick, bool delayedAnnounce) {
    transfer::EndTransferWithGame(program);
    if (delayedAnnounce) program.log.DebugLog("Client left.\r\n");
    HostWindowLog(program, "%s has left.\r\n", nick.c_str());
    program.host.joinedClientNick.clear();
    AnnounceHost(program, delayedAnnounce);
    PutGameRow(program, program.host.hostedGameName, program.conn.ownNick, false);
    EnableHostControl(program, control::kSelect, true);
    EnableHostControl(program, control::kStart, false);
    EnableHostControl(program, control::kKick, false);
}

void HostGotMatch(Program& program, const std::string& answer) {
    program.log.DebugLog("Match: %s\r\n", answer.c_str());
    if (answer == "YES") EnableHostControl(program, control::kStart, true);
    if (!program.host.selectCooldownActive) EnableHostControl(program, control::kSelect, true);
}

}  // namespace khub::lobby

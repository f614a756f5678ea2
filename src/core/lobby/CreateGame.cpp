// The Create Game dialog: a name (typed, or taken from a ROM file), the download flag,
// and OK announces the game and opens the Host Game window.

#include "Lobby.h"
#include "RomCatalogue.h"
#include "app/Program.h"

namespace khub::lobby {

void OpenCreateGame(Program& program) {
    if (program.windows.host || program.windows.client || program.windows.createGame) return;
    program.windows.createGame = true;
    program.lobby.createRomFile.clear();
    program.lobby.createRomCrc.clear();
    program.ui.SetMenuItem(menu::kCreate, "", false);
    program.ui.OpenWindow(WindowId::CreateGame);
    std::string name = program.Settings().GetString("Host", "gamename").substr(0, 129);
    program.ui.SetControlText(WindowId::CreateGame, control::kCreateGameName, name);
    CreateGameNameChanged(program, name);
}

void CreateGameNameChanged(Program& program, const std::string& name) {
    program.ui.EnableControl(WindowId::CreateGame, control::kSend, !name.empty());
}

std::string CreateGameChooseRom(Program& program, const std::string& path) {
    if (!program.windows.createGame || path.empty()) return {};
    auto file = ChosenRomFile(program, path);
    if (!file) return {};
    // Kept aside until OK: a cancelled dialog must not leave a ROM for the next game.
    program.lobby.createRomFile = *file;
    program.lobby.createRomCrc = rom::CrcTextOfFile(path);
    std::string name = GameNameOfRomFile(*file);
    program.ui.SetControlText(WindowId::CreateGame, control::kCreateGameName, name);
    program.ui.EnableControl(WindowId::CreateGame, control::kSend, true);
    return name;
}

bool CreateGameOk(Program& program, const std::string& typedName, bool disallowDownload) {
    if (!program.windows.createGame) return false;
    // A player is in one game at a time. The joined game is real (its host has seated us),
    // while the dialog is only a draft, so the draft waits: it stays open with its name.
    if (program.windows.client) {
        program.ui.ShowMessage(
            "You are in a game you joined. Close its Join Game window before you create a game.",
            BoxIcon::Information);
        return false;
    }
    std::string name = typedName.substr(0, 199);
    if (name.empty()) return false;
    if (name.find_first_of("\\/:*?\"<>|") != std::string::npos) {
        program.ui.ShowMessage(
            "ERROR: Invalid character(s) in room name. ( Invalid Charaters: \\/:*?\"<>| )",
            BoxIcon::Information);
        return false;
    }
    if (name.size() <= 3) return false;

    program.host.hostedGameName = name;
    program.host.hostRomFile = program.lobby.createRomFile;
    program.host.hostRomCrc = program.lobby.createRomCrc;
    program.host.joinedClientNick.clear();
    SendLine(program, FormatHostToChannel(Carrier(program), program.conn.channelName, name, ""));
    PutGameRow(program, name, program.conn.ownNick, false);
    program.host.disableDownload = disallowDownload;
    std::string ip = program.Settings().GetStringCut("host", "IP", 16);
    if (!ip.empty()) program.ownIpText = ip;

    program.windows.createGame = false;
    program.lobby.createRomFile.clear();
    program.lobby.createRomCrc.clear();
    program.ui.CloseWindow(WindowId::CreateGame);
    OpenHostWindow(program);
    return true;
}

void CreateGameCancel(Program& program) {
    if (!program.windows.createGame) return;
    program.windows.createGame = false;
    program.lobby.createRomFile.clear();
    program.lobby.createRomCrc.clear();
    program.ui.SetMenuItem(menu::kCreate, "", true);
    program.ui.CloseWindow(WindowId::CreateGame);
}

}  // namespace khub::lobby

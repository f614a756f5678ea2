// The lobby's terminal commands: each does what its menu item or button does, and is
// refused when that item or button is disabled or its window is not open.

#include "CliApp.h"
#include "CliCommands.h"
#include "lobby/Lobby.h"
#include "platform/Files.h"

namespace khub {

namespace {

std::string Trim(const std::string& s) {
    std::size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    std::size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

bool IsPlainFile(const std::string& path) {
    auto info = platform::StatPath(path);
    return info && info->regular;
}

// create NAME [--rom PATH] [--no-download]: the name is every word before the options; the
// path runs to the end of the line (or to --no-download), blanks included.
struct CreateArgs {
    std::string name, rom;
    bool noDownload = false;
};

CreateArgs ParseCreate(std::string args) {
    CreateArgs out;
    const std::string flag = "--no-download";
    for (std::size_t at; (at = args.find(flag)) != std::string::npos;) {
        bool wordStart = at == 0 || args[at - 1] == ' ';
        bool wordEnd = at + flag.size() == args.size() || args[at + flag.size()] == ' ';
        if (!wordStart || !wordEnd) break;
        out.noDownload = true;
        args.erase(at, flag.size());
    }
    std::size_t rom = args.find("--rom");
    if (rom != std::string::npos && (rom == 0 || args[rom - 1] == ' ')) {
        out.rom = Trim(args.substr(rom + 5));
        args = args.substr(0, rom);
    }
    out.name = Trim(args);
    return out;
}

}  // namespace

void AddLobbyCommands(CliApp& app) {
    Program& program = app.program();
    RecordingUi& ui = app.ui();

    app.AddCommand(
        "games",
        [&app, &program](const std::string&) {
            for (const auto& row : program.games.Rows()) {
                app.PrintLine("game: " + row.gameName + "\t" + row.host + "\t" + row.players);
            }
            app.PrintLine("games: " + std::to_string(program.games.Size()));
        },
        "list the games: name, host and players, tab-separated");

    app.AddCommand(
        "join",
        [&app, &program](const std::string& args) {
            std::string nick = Trim(args);
            int row = program.games.FindGameRow(nick);
            if (nick.empty()) return app.Refuse("join", "name the host: join NICK");
            if (row < 0) return app.Refuse("join", "no game is hosted by " + nick);
            if (program.windows.host || program.windows.client) {
                return app.Refuse("join", "a game window is open");
            }
            if (program.games.Rows()[static_cast<std::size_t>(row)].Full()) {
                return app.Refuse("join", "the game is full");
            }
            lobby::GameListClick(program, row, true);
        },
        "NICK  join the game hosted by NICK (a double click on its row)");

    app.AddCommand(
        "create",
        [&app, &program, &ui](const std::string& args) {
            if (!ui.MenuEnabled(menu::kCreate) || program.windows.createGame) {
                return app.Refuse("create", "Game > Create is disabled");
            }
            if (program.windows.host || program.windows.client) {
                return app.Refuse("create", "a game window is open");
            }
            CreateArgs a = ParseCreate(args);
            if (!a.rom.empty() && !IsPlainFile(a.rom)) {
                return app.Refuse("create", "no such file: " + a.rom);
            }
            lobby::OpenCreateGame(program);
            std::string name = a.name;
            if (!a.rom.empty()) {
                std::string derived = lobby::CreateGameChooseRom(program, a.rom);
                if (program.lobby.createRomFile.empty()) {  // the core's box says why
                    lobby::CreateGameCancel(program);
                    return app.Refuse("create", "the ROM was refused");
                }
                if (name.empty()) name = derived;
            }
            if (lobby::CreateGameOk(program, name, a.noDownload)) return;
            // The dialog would stay open for another try; the terminal closes it instead.
            lobby::CreateGameCancel(program);
            if (name.size() <= 3 && name.find_first_of("\\/:*?\"<>|") == std::string::npos) {
                app.Refuse("create", "the game name needs at least 4 characters");
            } else {
                app.Refuse("create", "the game name has a character out of \\/:*?\"<>|");
            }
        },
        "NAME [--rom PATH] [--no-download]  host a game (Game > Create...)");

    app.AddCommand(
        "select",
        [&app, &program, &ui](const std::string& args) {
            std::string path = Trim(args);
            if (!program.windows.host) return app.Refuse("select", "no Host Game window");
            if (!ui.ControlEnabled(WindowId::HostGame, control::kSelect)) {
                return app.Refuse("select", "Select is disabled");
            }
            if (!IsPlainFile(path)) return app.Refuse("select", "no such file: " + path);
            lobby::HostSelectBegin(program);
            lobby::HostSelectEnd(program, path);
        },
        "PATH  choose the ROM to play (Host Game: Select)");

    auto hostButton = [&app, &program, &ui](const char* name, int id, const char* label,
                                            void (*action)(Program&)) {
        app.AddCommand(
            name,
            [&app, &program, &ui, name, id, label, action](const std::string&) {
                if (!program.windows.host) return app.Refuse(name, "no Host Game window");
                if (!ui.ControlEnabled(WindowId::HostGame, id)) {
                    return app.Refuse(name, std::string(label) + " is disabled");
                }
                action(program);
            },
            std::string("Host Game: ") + label);
    };
    hostButton("start", control::kStart, "Start", &lobby::HostStart);
    hostButton("kick", control::kKick, "Kick", &lobby::HostKick);

    app.AddCommand(
        "say",
        [&app, &program, &ui](const std::string& args) {
            if (program.windows.host) {
                if (args.empty()) return app.Refuse("say", "Send is disabled");
                lobby::HostChatChanged(program, args);
                lobby::HostSend(program, args);
            } else if (program.windows.client) {
                if (!ui.ControlEnabled(WindowId::JoinGame, control::kJoinChatEdit)) {
                    return app.Refuse("say", "the chat line is disabled");
                }
                if (args.empty()) return app.Refuse("say", "Send is disabled");
                lobby::JoinChatChanged(program, args);
                lobby::JoinSend(program, args);
            } else {
                app.Refuse("say", "no game window is open");
            }
        },
        "TEXT  chat in the open game window");

    app.AddCommand(
        "close",
        [&app, &program](const std::string&) {
            if (program.windows.host) {
                lobby::HostCancel(program);
            } else if (program.windows.client) {
                lobby::JoinCancel(program);
            } else if (program.windows.createGame) {
                lobby::CreateGameCancel(program);
            } else {
                app.Refuse("close", "no game window is open");
            }
        },
        "close the open Host Game or Join Game window");
}

}  // namespace khub

// The transfer's terminal commands: the Join Game window's Download and closing the File
// Transfer window. Progress lines come from the Ui's progress positions.

#include "CliApp.h"
#include "CliCommands.h"
#include "lobby/Lobby.h"
#include "transfer/Transfer.h"

namespace khub {

void AddTransferCommands(CliApp& app) {
    Program& program = app.program();
    RecordingUi& ui = app.ui();

    app.AddCommand(
        "download",
        [&app, &program, &ui](const std::string&) {
            if (!program.windows.client) return app.Refuse("download", "no Join Game window");
            if (!ui.ControlEnabled(WindowId::JoinGame, control::kDownload)) {
                return app.Refuse("download", "Download is disabled");
            }
            lobby::JoinDownload(program);
        },
        "Join Game: Download (ask the host for its ROM)");

    app.AddCommand(
        "close-transfer",
        [&app, &program](const std::string&) {
            if (!program.windows.transfer) {
                return app.Refuse("close-transfer", "no File Transfer window");
            }
            transfer::CloseTransferWindow(program);
        },
        "close the File Transfer window (ends a running transfer)");
}

}  // namespace khub

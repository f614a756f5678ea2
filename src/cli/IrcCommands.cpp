#include "CliApp.h"
#include "CliCommands.h"
#include "irc/Connection.h"

namespace khub {

void AddIrcCommands(CliApp& app) {
    app.AddCommand(
        "connect",
        [&app](const std::string&) {
            Program& p = app.program();
            if (p.conn.receiveThreadRunning) return app.Refuse("connect", "already connected");
            if (!p.conn.connectItemEnabled) return app.Refuse("connect", "connecting");
            ToggleConnection(p);
        },
        "File > Connect: connect to the server and join the lobby");
    app.AddCommand(
        "disconnect",
        [&app](const std::string&) {
            Program& p = app.program();
            if (!p.conn.receiveThreadRunning) return app.Refuse("disconnect", "not connected");
            if (!p.conn.connectItemEnabled) {
                return app.Refuse("disconnect", "not in the lobby yet");
            }
            ToggleConnection(p);
        },
        "File > Disconnect");
    app.AddCommand(
        "raw",
        [&app](const std::string& line) {
            Program& p = app.program();
            if (!p.conn.receiveThreadRunning) return app.Refuse("raw", "not connected");
            if (line.empty()) return app.Refuse("raw", "no line given");
            SendIrcLine(p, line + "\r\n");
        },
        "LINE  send LINE to the server as it stands (the debug window's Send)");
    // Replaces the plain quit: the farewell QUIT goes out before the loop ends.
    app.AddCommand(
        "quit",
        [&app](const std::string&) {
            RunExitSequence(app.program());
            app.Quit();
        },
        "leave the program (File > Exit, with a farewell to the server); end of input does the "
        "same");
}

}  // namespace khub

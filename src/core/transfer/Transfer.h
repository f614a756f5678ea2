#pragma once
// The ROM transfer as the rest of the program sees it: the host offers its ROM, the File
// Transfer window opens and closes. Everything here runs on the lobby thread.

#include <string>

namespace khub {
struct Program;
}

namespace khub::transfer {

// Answer to an honoured GET: offer the host's ROM to nick and wait for it to connect.
void OfferRomByDcc(Program& program, const std::string& nick);

// The File Transfer window. Opening locks Download (Join Game) or Select (Host Game);
// closing unlocks it, clears that side's transfer fields and ends a running transfer.
void OpenTransferWindow(Program& program);
void CloseTransferWindow(Program& program);

// The game window closing or the partner leaving: ends the transfer in whatever phase it
// is, including an offer nobody has connected to yet (no File Transfer window then).
void EndTransferWithGame(Program& program);

// Sends one complete IRC line (with its CR LF) to the server.
void SendDccLine(Program& program, const std::string& line);

}  // namespace khub::transfer

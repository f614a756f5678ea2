// The client's side of a game: joining from the game list, the wait for the host's
// acceptance, the ROM check, the download request, the start and the end of the game.

#include <thread>

#include "Lobby.h"
#include "LobbyHooks.h"
#include "RomCatalogue.h"
#include "app/ColorText.h"
#include "app/Program.h"
#include "transfer/Transfer.h"

namespace khub::lobby {

namespace {

using std::chrono::seconds;

bool ClientGameIs(Program& program, std::uint64_t generation) {
    return program.windows.client && program.lobby.clientGeneration == generation;
}

void StopScan(Program& program) {
    if (program.lobby.scan) {
        program.lobby.scan->cancel = true;
        program.lobby.scan.reset();
    }
}

// A rename that never replaces a file; the reason is logged when it cannot be done.
bool RenameLogged(Program& program, const std::string& from, const std::string& to) {
    program.log.DebugLog("Renaming \"%s\" to \"%s\".\r\n", from.c_str(), to.c_str());
    std::string error;
    if (rom::RenameNoReplace(from, to, &error)) return true;
    program.log.DebugLog(
        KHUB_COLORED(4, "Could not rename \"%s\" to \"%s\": %s. Both files stay as they are.\r\n"),
        from.c_str(), to.c_str(), error.c_str());
    return false;
}

// Gives the files their own names back at once (a start that did not happen).
void UndoRenamesNow(Program& program) {
    LobbyRuntime& r = program.lobby;
    if (r.romRenamed && RenameLogged(program, r.romWantedPath, r.romLocalPath)) {
        r.romRenamed = false;
    }
    if (r.romParked && !r.romRenamed && RenameLogged(program, r.romTempPath, r.romWantedPath)) {
        r.romParked = false;
    }
}

void RestoreParkedFile(Program& program) {
    LobbyRuntime& r = program.lobby;
    r.restoreTemp = 0;
    // Only once the ROM has its own name back does the parked file get its name.
    if (r.romRenamed) {
        program.log.DebugLog(KHUB_COLORED(4,
                                          "\"%s\" still holds the game; \"%s\" keeps its "
                                          "temporary name.\r\n"),
                             r.romWantedPath.c_str(), r.romTempPath.c_str());
        return;
    }
    if (RenameLogged(program, r.romTempPath, r.romWantedPath)) r.romParked = false;
}

void ScheduleRestore(Program& program) {
    LobbyRuntime& r = program.lobby;
    if (r.romRenamed) {
        program.log.DebugLog("Waiting %i seconds (%ims) to rename.\r\n", 30, 30000);
        r.restoreLocal = program.loop.PostDelayed(seconds(30), [&program] {
            LobbyRuntime& r = program.lobby;
            r.restoreLocal = 0;
            if (RenameLogged(program, r.romWantedPath, r.romLocalPath)) r.romRenamed = false;
        });
    }
    if (r.romParked && rom::FileExists(r.romTempPath)) {
        program.log.DebugLog("Restoring temp file. Renaming \"%s\" to \"%s\".\r\n",
                             r.romTempPath.c_str(), r.romWantedPath.c_str());
        program.log.DebugLog("Waiting %i seconds (%ims) to rename.\r\n", 31, 31000);
        r.restoreTemp =
            program.loop.PostDelayed(seconds(31), [&program] { RestoreParkedFile(program); });
    }
}

// The names an earlier start lent out come back now rather than 30 s after that start:
// the folder must show every file under its own name before it is searched again or a new
// start renames. False when a file still carries a borrowed name.
bool FinishPendingRestore(Program& program) {
    LobbyRuntime& r = program.lobby;
    if (r.restoreLocal == 0 && r.restoreTemp == 0) return true;
    program.loop.Cancel(r.restoreLocal);
    program.loop.Cancel(r.restoreTemp);
    r.restoreLocal = 0;
    r.restoreTemp = 0;
    UndoRenamesNow(program);
    return !r.romRenamed && !r.romParked;
}

void StopClientStart(Program& program) {
    LobbyRuntime& r = program.lobby;
    bool pending = r.clientPrepare != 0 || r.clientStart != 0;
    program.loop.Cancel(r.clientPrepare);
    program.loop.Cancel(r.clientStart);
    r.clientPrepare = 0;
    r.clientStart = 0;
    r.heldHostNotices.clear();
    if (pending) UndoRenamesNow(program);
}

void RefuseStart(Program& program) {
    program.ui.ShowMessage(
        "ERROR: The game could not be given the host's file name, so it was not started.",
        BoxIcon::Error);
}

void EndClientTimers(Program& program) {
    program.loop.Cancel(program.lobby.joinWatchdog);
    program.loop.Cancel(program.lobby.clientClose);
    program.lobby.joinWatchdog = 0;
    program.lobby.clientClose = 0;
    StopClientStart(program);
    StopScan(program);
}

void CloseClientAfter11s(Program& program) {
    program.loop.Cancel(program.lobby.clientClose);
    std::uint64_t generation = program.lobby.clientGeneration;
    program.lobby.clientClose = program.loop.PostDelayed(seconds(11), [&program, generation] {
        program.lobby.clientClose = 0;
        if (ClientGameIs(program, generation)) JoinCancel(program);
    });
}

void ClearMatchState(Program& program) {
    ClientGameState& c = program.client;
    c.wantedRomFile.clear();
    c.localRomFile.clear();
    c.wantedRomCrc.clear();
    c.downloadDisallowed = false;
}

bool IsCrcText(const std::string& text) {
    if (text.size() != 8) return false;
    for (char ch : text) {
        if (!((ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F'))) return false;
    }
    return true;
}

void AnswerMatch(Program& program, const std::string& host, bool found) {
    SendLine(program, FormatMatchNotice(host, found));
    if (found) {
        EnableJoinControl(program, control::kDownload, false);
    } else if (!program.client.downloadDisallowed) {
        EnableJoinControl(program, control::kDownload, true);
    }
}

void TakeJoinFields(ClientGameState& c, const GameRow& row) {
    c.selectedPlayersText = row.players.substr(0, 5);
    c.joinedHostNick = row.host.substr(0, 29);
    c.joinGameTitle = row.gameName.substr(0, 199);
}

void Launch(Program& program, std::string file, std::string address) {
    program.lobby.clientStart = 0;
    LaunchEmulator(program, 'C', file, address);
    ScheduleRestore(program);
    ReplayHeldHostNotices(program);
}

}  // namespace

void UpdateJoinItem(Program& program) {
    auto selected = program.games.ReadSelectedGameRow();
    bool joinable =
        selected && !selected->Full() && !program.windows.host && !program.windows.client;
    program.ui.SetMenuItem(menu::kJoin, "", joinable);
}

bool ClientBusyWithHost(const Program& program) {
    const LobbyRuntime& r = program.lobby;
    return r.scan != nullptr || r.clientPrepare != 0 || r.clientStart != 0;
}

void GameListClick(Program& program, int row, bool doubleClick) {
    program.games.Select(row);
    int index = program.games.SelectedIndex();
    auto selected = program.games.ReadSelectedGameRow();
    if (!selected || program.windows.host || program.windows.client) {
        program.log.DebugLog("Nothing selected. %i.\r\n", index);
        program.ui.SetMenuItem(menu::kJoin, "", false);
        return;
    }
    program.log.DebugLog(doubleClick ? "Double click with line selected. %i.\r\n"
                                     : "Single click with line selected. %i.\r\n",
                         index);
    ClientGameState& c = program.client;
    TakeJoinFields(c, *selected);
    program.log.DebugLog("%s %i\r\n", c.joinedHostNick.c_str(), index);
    program.log.DebugLog("%s %i\r\n", c.joinGameTitle.c_str(), index);
    program.log.DebugLog("%s %i\r\n", c.selectedPlayersText.c_str(), index);
    UpdateJoinItem(program);
    if (doubleClick) JoinAction(program);
}

void JoinAction(Program& program) {
    if (program.windows.host || program.windows.client) return;
    // The join goes to the row the list shows selected now, whatever was clicked before.
    auto target = program.games.ReadSelectedGameRow();
    if (!target) {
        program.log.DebugLog("Nothing selected. -1.\r\n");
        UpdateJoinItem(program);
        return;
    }
    if (target->Full()) {
        // Joining would push the other client out of the host's game.
        program.log.DebugLog("Not joining %s: the game is full.\r\n", target->host.c_str());
        program.ui.ShowMessage("The game \"" + target->gameName + "\" of " + target->host +
                                   " is full: both seats are taken.",
                               BoxIcon::Information);
        UpdateJoinItem(program);
        return;
    }
    ClientGameState& c = program.client;
    TakeJoinFields(c, *target);
    SendLine(program, FormatClientNotice(c.joinedHostNick));

    ++program.lobby.clientGeneration;
    EndClientTimers(program);
    program.windows.client = true;
    program.lobby.joinControls.clear();
    program.ui.OpenWindow(WindowId::JoinGame);
    program.ui.SetWindowTitle(WindowId::JoinGame, "Join Game [" + c.joinGameTitle + "]");
    EnableJoinControl(program, control::kJoinChatEdit, false);
    EnableJoinControl(program, control::kSend, false);
    EnableJoinControl(program, control::kDownload, false);
    program.ui.ShowProgress(WindowId::JoinGame, control::kJoinProgress, false);
    c.joinAccepted = false;
    c.joinConfirmed = false;
    c.downloadRequested = false;
    ClearMatchState(program);

    std::uint64_t generation = program.lobby.clientGeneration;
    program.lobby.joinWatchdog = program.loop.PostDelayed(seconds(5), [&program, generation] {
        program.lobby.joinWatchdog = 0;
        if (!ClientGameIs(program, generation) || program.client.joinConfirmed) return;
        JoinCancel(program);
        program.ui.ShowMessage("Your attempt to join was ignored.", BoxIcon::Error);
    });
    program.ui.SetMenuItem(menu::kJoin, "", false);
}

void JoinChatChanged(Program& program, const std::string& text) {
    if (program.windows.client) EnableJoinControl(program, control::kSend, !text.empty());
}

void JoinSend(Program& program, const std::string& rawText) {
    if (!program.windows.client) return;
    std::string text = rawText.substr(0, 1023);
    SendLine(program, FormatChatLine(program.client.joinedHostNick, text));
    JoinWindowLog(program, "%s", ChatPaneLine(program, program.conn.ownNick, text).c_str());
    program.ui.SetControlText(WindowId::JoinGame, control::kJoinChatEdit, "");
    EnableJoinControl(program, control::kSend, false);
}

void JoinDownload(Program& program) {
    if (!program.windows.client) return;
    program.client.downloadRequested = true;
    SendLine(program, FormatGetNotice(program.client.joinedHostNick));
}

void JoinCancel(Program& program) {
    if (!program.windows.client) return;
    ClientGameState& c = program.client;
    if (c.joinConfirmed) SendLine(program, FormatLeftNotice(c.joinedHostNick));
    program.log.DebugLog("Closeing client window.\r\n");
    transfer::EndTransferWithGame(program);
    EndClientTimers(program);
    ++program.lobby.clientGeneration;
    program.windows.client = false;
    c.joinedHostNick.clear();
    ClearMatchState(program);
    c.joinConfirmed = false;
    c.joinAccepted = false;
    c.downloadRequested = false;
    UpdateJoinItem(program);
    program.ui.CloseWindow(WindowId::JoinGame);
}

void ClientGotHost(Program& program, const std::string& sender, const std::string& client) {
    if (client.empty() || client != program.conn.ownNick) return;
    if (!program.windows.client || sender != program.client.joinedHostNick) {
        program.log.DebugLog("Ignored an acceptance from %s: not the host of a game we joined.\r\n",
                             sender.c_str());
        return;
    }
    program.client.joinAccepted = true;
    EnableJoinControl(program, control::kJoinChatEdit, true);
    if (!program.client.joinConfirmed) {
        program.client.joinConfirmed = true;
        program.loop.Cancel(program.lobby.joinWatchdog);
        program.lobby.joinWatchdog = 0;
    }
}

void ClientGotGame(Program& program, const std::string& sender, const std::string& file,
                   const std::string& crc, bool downloadDisallowed) {
    program.log.DebugLog("Host has chosen a game.\r\n");
    ClientGameState& c = program.client;
    StopScan(program);
    c.localRomFile.clear();
    FinishPendingRestore(program);
    if (!IsSafeRomFileName(file) || file.size() > 199) {
        program.log.DebugLog(
            KHUB_COLORED(4,
                         "Refused the game file name \"%s\": it must name a file inside the ROM "
                         "folder.\r\n"),
            file.c_str());
        c.wantedRomFile.clear();
        c.wantedRomCrc.clear();
        c.downloadDisallowed = true;
        EnableJoinControl(program, control::kDownload, false);
        SendLine(program, FormatMatchNotice(sender, false));
        return;
    }
    c.wantedRomFile = file;
    c.wantedRomCrc = crc.substr(0, 11);
    c.downloadDisallowed = downloadDisallowed;
    JoinWindowLog(program, "The selected game is: %s\r\n", file.c_str());
    std::size_t dot = file.find_last_of('.');
    c.joinGameTitle = dot == std::string::npos ? file : file.substr(0, dot);
    program.ui.SetWindowTitle(WindowId::JoinGame, "Join Game [" + c.joinGameTitle + "]");

    if (!IsCrcText(c.wantedRomCrc)) {
        program.log.DebugLog(KHUB_COLORED(4, "The host's CRC \"%s\" is not a CRC text.\r\n"),
                             c.wantedRomCrc.c_str());
        AnswerMatch(program, sender, false);
        return;
    }

    auto job = std::make_shared<ScanJob>();
    job->generation = program.lobby.clientGeneration;
    program.lobby.scan = job;
    std::string folder = program.Settings().GetStringCut("options", "rompath", 2048);
    // The scan below then finds nothing; the person should learn why.
    bool folderReported = ReportMissingRomFolder(
        program, folder, "the host's game can be neither found nor downloaded");
    std::string cachePath = rom::CrcCachePathFor(program.settingsFilePath);
    EventLoop& loop = program.loop;
    // Answers from the worker count only while this scan is still the lobby's.
    auto current = [&program, job] {
        return program.lobby.scan == job && ClientGameIs(program, job->generation);
    };
    auto work = [&program, &loop, job, current, folder, folderReported, cachePath, file,
                 crc = c.wantedRomCrc, host = sender] {
        rom::CrcCache cache(cachePath);
        cache.Load();
        rom::ScanCallbacks cb;
        cb.cancel = &job->cancel;
        cb.showProgress = [&loop, &program, current](bool visible) {
            loop.Post([&program, current, visible] {
                if (current())
                    program.ui.ShowProgress(WindowId::JoinGame, control::kJoinProgress, visible);
            });
        };
        cb.progress = [&loop, &program, current](int position) {
            loop.Post([&program, current, position] {
                if (current())
                    program.ui.SetProgress(WindowId::JoinGame, control::kJoinProgress, position);
            });
        };
        auto log = [&loop, &program](const std::string& line) {
            loop.Post([&program, line] {
                program.log.AppendFormatted(WindowId::Debug, control::kDebugLog, line);
            });
        };
        rom::WantedRom result = rom::CheckWantedRom(folder, file, crc, cache, cb, log);
        if (!job->cancel) cache.Save();
        loop.Post([&program, job, current, result, host, folder, folderReported] {
            if (!current()) return;
            program.lobby.scan.reset();
            program.client.localRomFile = result.localRomFile;
            if (!result.folderError.empty()) {
                // A folder missing from the start has its log line and box already.
                if (!folderReported) {
                    program.log.DebugLog(
                        KHUB_COLORED(4, "ERROR: Cannot read the ROM folder \"%s\": %s.\r\n"),
                        folder.c_str(), result.folderError.c_str());
                }
                JoinWindowLog(program, "Cannot read the ROM folder \"%s\": %s.\r\n", folder.c_str(),
                              result.folderError.c_str());
            }
            AnswerMatch(program, host, result.found);
            ReplayHeldHostNotices(program);
        });
    };
    if (program.links.runWorker) {
        program.links.runWorker(std::move(work));
    } else {
        // The previous scan was cancelled above and stops at its next read.
        if (program.lobby.scanThread.joinable()) program.lobby.scanThread.join();
        program.lobby.scanThread = std::thread(std::move(work));
    }
}

void ClientGotKick(Program& program, const std::string& sender) {
    transfer::EndTransferWithGame(program);
    program.log.DebugLog("You have been kicked by the host.\r\n");
    JoinWindowLog(program, "%s has kicked you.\r\n", sender.c_str());
    EnableJoinControl(program, control::kJoinChatEdit, false);
    program.client.joinedHostNick.clear();
    ClearMatchState(program);
    program.client.joinConfirmed = false;
    StopScan(program);
    StopClientStart(program);
    CloseClientAfter11s(program);
}

void ClientHostGone(Program& program, const std::string& sender) {
    transfer::EndTransferWithGame(program);
    program.client.joinedHostNick.clear();
    program.client.joinConfirmed = false;
    EnableJoinControl(program, control::kDownload, false);
    EnableJoinControl(program, control::kJoinChatEdit, false);
    JoinWindowLog(program, "%s has left.\r\n", sender.c_str());
    StopScan(program);
    StopClientStart(program);
    CloseClientAfter11s(program);
}

void StartClientGame(Program& program, const std::string& hostAddress, bool fourthField) {
    if (!IsDottedIpv4(hostAddress)) {
        program.log.DebugLog(KHUB_COLORED(4, "Refused START: \"%s\" is not an IPv4 address.\r\n"),
                             hostAddress.c_str());
        return;
    }
    LobbyRuntime& r = program.lobby;
    std::string protocol = ReadNetplayProtocol(program);
    if (fourthField && protocol == "U") protocol = "T";
    if (!fourthField && protocol == "T") protocol = "U";
    program.netplayProtocol = protocol;

    ClientGameState& c = program.client;
    std::string file = c.wantedRomFile;
    if (!IsSafeRomFileName(file)) {
        program.log.DebugLog(KHUB_COLORED(4, "Refused START: no game has been agreed.\r\n"));
        return;
    }
    auto launchLater = [&program, file, hostAddress] {
        program.lobby.clientStart = program.loop.PostDelayed(
            seconds(6), [&program, file, hostAddress] { Launch(program, file, hostAddress); });
    };
    if (!FinishPendingRestore(program)) {
        RefuseStart(program);
        return;
    }
    if (c.localRomFile.empty()) {
        launchLater();
        return;
    }
    std::string folder = program.Settings().GetStringCut("options", "rompath", 2048);
    r.romLocalPath = rom::JoinPath(folder, c.localRomFile);
    r.romWantedPath = rom::JoinPath(folder, file);
    r.romTempPath = rom::JoinPath(folder, "K-HUB_TEMPFILE");
    auto takeHostName = [&program, launchLater] {
        LobbyRuntime& r = program.lobby;
        r.clientPrepare = 0;
        if (!RenameLogged(program, r.romLocalPath, r.romWantedPath)) {
            UndoRenamesNow(program);
            RefuseStart(program);
            ReplayHeldHostNotices(program);
            return;
        }
        r.romRenamed = true;
        launchLater();
    };
    if (rom::FileExists(r.romWantedPath)) {
        program.log.DebugLog("A game with that name already exists.\r\n");
        if (!RenameLogged(program, r.romWantedPath, r.romTempPath)) {
            RefuseStart(program);
            return;
        }
        r.romParked = true;
        r.clientPrepare = program.loop.PostDelayed(seconds(1), takeHostName);
        return;
    }
    takeHostName();
}

}  // namespace khub::lobby

#include <cstdarg>

#include "Lobby.h"
#include "LobbyHooks.h"
#include "RomCatalogue.h"
#include "app/ColorText.h"
#include "app/Program.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/Utf8Path.h"
#include "settings/SettingHints.h"

namespace khub {

LobbyRuntime::~LobbyRuntime() {
    if (scan) scan->cancel = true;
    if (scanThread.joinable()) scanThread.join();
    if (romRenamed && rom::RenameNoReplace(romWantedPath, romLocalPath, nullptr)) {
        romRenamed = false;
    }
    if (romParked && !romRenamed) rom::RenameNoReplace(romTempPath, romWantedPath, nullptr);
}

}  // namespace khub

namespace khub::lobby {

bool SendLine(Program& program, const std::string& line) {
    if (!program.links.sendLine) {
        program.log.DebugLog(KHUB_COLORED(4, "Not connected: \"%s\" was not sent.\r\n"),
                             line.substr(0, line.find('\r')).c_str());
        return false;
    }
    if (line.rfind("WALLVOICES ", 0) == 0 && !program.lobby.noWallvoices) {
        auto& sent = program.lobby.unansweredWallvoices;
        sent.push_back(line);
        if (sent.size() > 8) sent.pop_front();
    }
    return program.links.sendLine(line);
}

int UserLevel(Program& program, const std::string& nick) {
    return program.links.userLevel ? program.links.userLevel(nick) : -1;
}

std::optional<std::string> ChosenRomFile(Program& program, const std::string& path) {
    std::size_t sep = path.find_last_of(kPathSeparators);
    std::string file = sep == std::string::npos ? path : path.substr(sep + 1);
    if (file.size() > 199) file.resize(199);
    if (IsSendableRomFileName(file)) return file;
    program.log.DebugLog(KHUB_COLORED(4, "Refused the ROM \"%s\": its name cannot be sent.\r\n"),
                         file.c_str());
    program.ui.ShowMessage("ERROR: The ROM's file name \"" + file +
                               "\" cannot be sent to other players: a file name must not "
                               "contain | or \" (or a control character). Rename the file and "
                               "choose it again.",
                           BoxIcon::Error);
    return std::nullopt;
}

std::string GameNameOfRomFile(const std::string& file) {
    std::size_t dot = file.find_last_of('.');
    return dot == std::string::npos ? file : file.substr(0, dot);
}

std::string ChatPaneLine(Program& program, const std::string& nick, const std::string& text) {
    if (UserLevel(program, nick) >= 3) {
        return KHUB_COLOR_BACK "<" KHUB_COLORED(4, "[MOD]") KHUB_COLOR_BACK " " + nick + "> " +
               text + "\r\n";
    }
    return "<" + nick + "> " + text + "\r\n";
}

namespace {
// A game window's chat only takes text while that window is open.
void ChatLogV(Program& program, bool open, WindowId window, int chatLog, const char* format,
              std::va_list args) {
    std::string text = FormatTextV(format, args);
    if (open) program.log.AppendFormatted(window, chatLog, text);
}
}  // namespace

void HostWindowLog(Program& program, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    ChatLogV(program, program.windows.host, WindowId::HostGame, control::kHostChatLog, format,
             args);
    va_end(args);
}

void JoinWindowLog(Program& program, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    ChatLogV(program, program.windows.client, WindowId::JoinGame, control::kJoinChatLog, format,
             args);
    va_end(args);
}

void PutGameRow(Program& program, const std::string& game, const std::string& host, bool full) {
    int row = program.games.FindGameRow(host);
    if (row < 0) {
        program.log.DebugLog("AddItem: Text=%s Line=%i Column=0\r\n", game.c_str(),
                             program.games.Size());
    } else {
        program.log.DebugLog("SetItem: Text=%s Line=%i Column=0\r\n", game.c_str(), row);
    }
    const char* players = full ? "2/2" : "1/2";
    row = program.games.PutGameRow(GameRow{game, host, players});
    program.log.DebugLog("SetSubItem: Text=%s Line=%i Column=%i\r\n", host.c_str(), row, 1);
    program.log.DebugLog("SetSubItem: Text=%s Line=%i Column=%i\r\n", players, row, 2);
}

void RemoveGameRow(Program& program, const std::string& host) {
    program.games.RemoveGameRow(host);
}

void EnableHostControl(Program& program, int id, bool on) {
    program.lobby.hostControls[id] = on;
    program.ui.EnableControl(WindowId::HostGame, id, on);
}

void EnableJoinControl(Program& program, int id, bool on) {
    program.lobby.joinControls[id] = on;
    program.ui.EnableControl(WindowId::JoinGame, id, on);
}

ChannelCarrier Carrier(Program& program) {
    // A server that listed its features without WALLVOICES would only refuse it: go straight
    // to the notice instead of waiting for its 421 (ngircd holds each refused command).
    const auto& features = program.conn.features;
    if (features.listed && !features.wallvoices) MarkNoWallvoices(program);
    return program.lobby.noWallvoices ? ChannelCarrier::Notice : ChannelCarrier::Wallvoices;
}

bool IsPlayerFiltered(Program& program, const std::string& nick) {
    CIni settings = program.Settings();
    std::string black = settings.GetStringCut("options", "blacklist", 2048);
    std::string white = settings.GetStringCut("options", "whitelist", 2048);
    bool whitelistMode = settings.GetInt("options", "ignorelist", 0) != 0;
    const std::string& list = whitelistMode ? white : black;
    bool listed = !nick.empty() && list.find(nick) != std::string::npos;
    if (whitelistMode == listed) return false;
    // Operators are never refused.
    return UserLevel(program, nick) < 3;
}

void AnnounceHost(Program& program, bool wait) {
    if (wait) {
        program.loop.Cancel(program.lobby.reannounce);
        std::uint64_t generation = program.lobby.hostGeneration;
        program.lobby.reannounce =
            program.loop.PostDelayed(std::chrono::seconds(3), [&program, generation] {
                program.lobby.reannounce = 0;
                if (program.windows.host && program.lobby.hostGeneration == generation) {
                    AnnounceHost(program, false);
                }
            });
        return;
    }
    if (program.host.hostedGameName.empty() || !program.windows.host) return;
    SendLine(program,
             FormatHostToChannel(Carrier(program), program.conn.channelName,
                                 program.host.hostedGameName, program.host.joinedClientNick));
}

void AnnounceHostTo(Program& program, const std::string& nick) {
    if (program.host.hostedGameName.empty() || !program.windows.host) return;
    SendLine(program,
             FormatHostToNick(nick, program.host.hostedGameName, program.host.joinedClientNick));
}

void ShowAnnouncement(Program& program, const std::string& header, const std::string& text) {
    program.log.DebugLog("K-Hub Announcement recieved.\r\n");
    program.ui.ShowMessage(AnnouncementText(header, text), BoxIcon::Information);
}

std::vector<std::string> EmulatorArguments(const std::string& programPath,
                                           const std::string& protocol, char role,
                                           const std::string& nick, const std::string& romFolder,
                                           const std::string& romFile, const std::string& peer) {
    std::vector<std::string> argv{programPath, "/" + protocol + role + "LQ2", nick,
                                  rom::JoinPath(romFolder, romFile)};
    if (!peer.empty()) argv.push_back(peer);
    return argv;
}

std::string ReadNetplayProtocol(Program& program) {
    std::string letter = program.Settings().GetStringCut("options", "protocol", 2, "U");
    return letter == "T" ? "T" : "U";
}

namespace {

bool IsFolder(const std::string& path) {
    if (path.empty()) return false;
    auto info = platform::StatPath(path);
    return info && info->directory;
}

// Why the emulator program cannot run, in words a person can act on; empty when nothing
// about the file itself is wrong.
std::string EmulatorFileProblem(const std::string& path) {
    if (path.empty()) return "no emulator program is set";
    auto info = platform::StatPath(path);
    if (!info) return "the file does not exist";
    if (info->directory) return "it is a folder, not a program";
    if (!platform::MayExecute(path)) return "the file is not executable";
    return {};
}

}  // namespace

bool ReportMissingRomFolder(Program& program, const std::string& folder,
                            const std::string& consequence) {
    if (IsFolder(folder)) return false;
    std::string what = folder.empty() ? std::string("No ROM folder is set")
                                      : "The ROM folder \"" + folder + "\" does not exist";
    program.log.DebugLog(KHUB_COLORED(4, "%s.\r\n"), what.c_str());
    program.ui.ShowMessage("ERROR: " + what + ", so " + consequence + ".\n\n" +
                               HowToFixSetting(keys::kRomPath, program.settingsFilePath),
                           BoxIcon::Error);
    return true;
}

bool LaunchEmulator(Program& program, char role, const std::string& romFile,
                    const std::string& peer) {
    CIni settings = program.Settings();
    std::string programPath = settings.GetStringCut("options", "programpath", 1024);
    std::string romFolder = settings.GetStringCut("options", "rompath", 1024);
    std::vector<std::string> argv = EmulatorArguments(
        programPath, program.netplayProtocol, role, program.conn.ownNick, romFolder, romFile, peer);
    std::string shown = argv[1] + " " + argv[2] + " \"" + argv[3] + "\"";
    if (argv.size() > 4) shown += " " + argv[4];
    program.log.DebugLog("%s %s\r\n", programPath.c_str(), shown.c_str());
    Process& process = program.links.process ? *program.links.process : SystemProcess();
    std::string error;
    if (!process.Spawn(programPath, argv, romFolder, &error)) {
        program.log.DebugLog(KHUB_COLORED(4, "The emulator could not be started: %s\r\n"),
                             error.c_str());
        // The system's reason names neither the setting nor, for a missing working folder,
        // the right culprit.
        std::string problem = EmulatorFileProblem(programPath);
        if (!problem.empty()) {
            program.ui.ShowMessage(
                "ERROR: The emulator \"" + programPath + "\" could not be started: " + problem +
                    ".\n\n" + HowToFixSetting(keys::kProgramPath, program.settingsFilePath),
                BoxIcon::Error);
        } else if (romFolder.empty() ||
                   !ReportMissingRomFolder(program, romFolder,
                                           "the emulator could not be started")) {
            program.ui.ShowMessage(
                "ERROR: The emulator \"" + programPath + "\" could not be started: " + error,
                BoxIcon::Error);
        }
        return false;
    }
    return true;
}

}  // namespace khub::lobby

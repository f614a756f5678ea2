#include "MainCommands.h"

#include "app/Program.h"
#include "app/Startup.h"
#include "irc/Connection.h"
#include "lobby/Lobby.h"

namespace khub {

namespace {
bool GameWindowOpen(const Program& program) {
    return program.windows.host || program.windows.client;
}
}  // namespace

bool RunMainCommand(Program& program, int id) {
    switch (id) {
        case menu::kAbout:
            program.ui.OpenWindow(WindowId::About);
            return true;
        case menu::kRules:
            program.ui.OpenAddress(program.rulesUrl);
            return true;
        case menu::kConnect:
            ToggleConnection(program);
            return true;
        case menu::kOptions:
            program.ui.OpenWindow(WindowId::Options);
            return true;
        case menu::kCreate:
            if (!GameWindowOpen(program)) lobby::OpenCreateGame(program);
            return true;
        case menu::kJoin:
            if (!GameWindowOpen(program)) lobby::JoinAction(program);
            return true;
        case menu::kOpenTransfer:
            program.ui.OpenWindow(WindowId::FileTransfer);
            return true;
        case menu::kOpenHost:
            if (!GameWindowOpen(program)) program.ui.OpenWindow(WindowId::HostGame);
            return true;
        default:
            return false;
    }
}

void RunDesktopStartup(Program& program, const SettingsLocation& location) {
    switch (RunStartup(program, location)) {
        case StartupAction::OpenOptions:
            program.ui.OpenWindow(WindowId::Options);
            break;
        case StartupAction::Connect:
            StartConnect(program);
            break;
        case StartupAction::StayNotConnected:
            break;
    }
}

std::optional<char> KeySequenceLetter(int id) {
    static constexpr char kLetters[] = "EASTRG";
    if (id < command::kKeyE || id > command::kKeyG) return std::nullopt;
    return kLetters[id - command::kKeyE];
}

bool KeySequence::Step(char letter) {
    static constexpr char kLetters[] = "EASTEREGG";
    if (letter == kLetters[position_]) {
        if (++position_ == 9) {
            position_ = 0;
            return true;
        }
    } else {
        position_ = 0;
    }
    return false;
}

namespace about {

const char* Label(int id) {
    switch (id) {
        case kSite:
            return kSiteUrl;
        case kMirror:
            return kMirrorUrl;
        case kForum:
            return kForumLabel;
        case kEmulatorSite:
            return kEmulatorUrl;
        default:
            return "";
    }
}

bool OpenAddress(Program& program, int id) {
    switch (id) {
        case kSite:
        case kMirror:
        case kEmulatorSite:
            program.ui.OpenAddress(Label(id));
            return true;
        case kForum:
            program.ui.OpenAddress(program.forumUrl);
            return true;
        default:
            return false;
    }
}

}  // namespace about

bool SendDebugLine(Program& program, std::string line) {
    if (const std::size_t end = line.find_first_of("\r\n"); end != std::string::npos)
        line.resize(end);
    if (line.empty()) return false;
    SendIrcLine(program, line + "\r\n");
    return true;
}

}  // namespace khub

#pragma once
// What the main window's commands mean, for every desktop front end: the menu items and
// accelerators the core owns, the key sequence, the About box's addresses and the debug
// window's line. A front end keeps only what is its own: closing its window, drawing the
// key sequence's picture, opening the debug window.

#include <optional>
#include <string>

#include "platform/Ui.h"

namespace khub {

struct Program;
struct SettingsLocation;

// Accelerators without a menu item: the key sequence's letters and the debug window.
namespace command {
inline constexpr int kKeyE = 1000, kKeyA = 1001, kKeyS = 1002, kKeyT = 1003, kKeyR = 1004,
                     kKeyG = 1005;
inline constexpr int kDebugWindow = 1100;
}  // namespace command

// Runs a main-window command (connect, options, create, join, rules, about, the File
// Transfer and Host Game windows). False for ids the front end handles itself.
bool RunMainCommand(Program& program, int id);

// The start-up decision acted on, once the main window shows: Options opened, or the
// connection started.
void RunDesktopStartup(Program& program, const SettingsLocation& location);

// The windows that close with the main window, in this order (the game windows' own Cancel
// runs first), before the exit sequence.
inline constexpr WindowId kWindowsClosedOnExit[] = {
    WindowId::FileTransfer, WindowId::HostGame, WindowId::JoinGame, WindowId::CreateGame,
    WindowId::Options,      WindowId::About,    WindowId::Debug};

// The letter of a key-sequence command, nullopt for any other id.
std::optional<char> KeySequenceLetter(int id);

// A nine-letter sequence typed with Shift in the main window: E A S T E R E G G.
class KeySequence {
  public:
    // True when this letter completes the sequence (which then starts over). A wrong
    // letter starts over without counting as a first letter.
    bool Step(char letter);
    int Position() const { return position_; }

  private:
    int position_ = 0;
};

// The About box: its lines and the four buttons that open the program's addresses.
namespace about {
inline constexpr int kSite = 500, kMirror = 501, kForum = 502, kEmulatorSite = 503;
inline constexpr const char* kSiteUrl = "https://www.k-hub.net/";
inline constexpr const char* kMirrorUrl = "https://mirror.k-hub.net/";
inline constexpr const char* kEmulatorUrl = "https://www.k-hub.net/volta/";
inline constexpr const char* kForumLabel = "Official K-Hub Forums";
// The version comes from the build, as for k-hub-cli --version.
inline constexpr const char* kLines[] = {("K-Hub I v" KHUB_VERSION), "Written by the K-Hub I team",
                                         "Contact: team@k-hub.net"};
// The label beside a button: its address, or the forum's name.
const char* Label(int id);
// Opens the button's address; false for an id that is not one of the four.
bool OpenAddress(Program& program, int id);
}  // namespace about

// Sends a line typed into the debug window to the server as it stands, up to its first
// line break (a paste may bring more). False when nothing was sent (an empty line).
bool SendDebugLine(Program& program, std::string line);

}  // namespace khub

#pragma once
// The port through which the core shows things. One method per thing a window shows or
// does; the core never touches a window system itself.
//
// Thread affinity: the core calls these from the lobby thread, except AppendText for the
// debug log, which any thread may call. Implementations must accept every call from any
// thread (the Qt front end queues them to the GUI thread, the recorder takes a lock) and
// must never block the caller waiting for a person.

#include <string>
#include <vector>

namespace khub {

// The windows the program has. Main is the frame; the others are dialogs it opens.
enum class WindowId { Main, Debug, Options, CreateGame, HostGame, JoinGame, FileTransfer, About };

const char* WindowName(WindowId id);

enum class BoxIcon { Error, Warning, Information };

// Menu items of the main frame.
namespace menu {
inline constexpr int kExit = 107;
inline constexpr int kAbout = 120;
inline constexpr int kRules = 121;
inline constexpr int kConnect = 200;
inline constexpr int kOptions = 201;
inline constexpr int kCreate = 202;
inline constexpr int kJoin = 203;
inline constexpr int kOpenTransfer = 204;
inline constexpr int kOpenHost = 205;
}  // namespace menu

// Controls of the lobby windows, by the ids the game windows share.
namespace control {
inline constexpr int kHostChatLog = 300;
inline constexpr int kJoinChatLog = 301;
inline constexpr int kHostChatEdit = 302;
inline constexpr int kJoinChatEdit = 303;
inline constexpr int kStart = 304;
inline constexpr int kSelect = 305;
inline constexpr int kDownload = 306;
inline constexpr int kKick = 307;
inline constexpr int kSend = 1;  // a dialog's OK button
inline constexpr int kCancel = 2;
inline constexpr int kJoinProgress = 308;
inline constexpr int kTransferStatus = 310;
inline constexpr int kCreateGameName = 320;  // the Create Game dialog's name field
inline constexpr int kTransferProgress = 311;
inline constexpr int kTransferDetail = 312;  // bytes done of total, rate, time left
inline constexpr int kDebugLog = 402;
}  // namespace control

// An RGB colour.
struct Rgb {
    unsigned char r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A piece of text in one colour, as the log and chat panes show it.
struct ColorStretch {
    Rgb color;
    std::string text;
    friend bool operator==(const ColorStretch&, const ColorStretch&) = default;
};

class Ui {
public:
    virtual ~Ui() = default;

    // The main window's title bar.
    virtual void SetMainTitle(const std::string& title) = 0;
    // A main-menu item's text (empty text keeps the current one) and enabled state.
    virtual void SetMenuItem(int menuId, const std::string& text, bool enabled) = 0;

    // Show a window; it starts with its controls in their initial states.
    virtual void OpenWindow(WindowId window) = 0;
    // Close the visible window. The core has already run the window's Cancel steps.
    virtual void CloseWindow(WindowId window) = 0;
    virtual void SetWindowTitle(WindowId window, const std::string& title) = 0;

    virtual void EnableControl(WindowId window, int controlId, bool enabled) = 0;
    virtual void SetControlText(WindowId window, int controlId, const std::string& text) = 0;

    // Append coloured text to a read-only text pane (the debug log, a chat log) and keep
    // its last line in view.
    virtual void AppendText(WindowId window, int controlId,
                            const std::vector<ColorStretch>& stretches) = 0;

    // A progress bar: shown or hidden, and its position 0..100.
    virtual void ShowProgress(WindowId window, int controlId, bool visible) = 0;
    virtual void SetProgress(WindowId window, int controlId, int position) = 0;

    // A message box with caption "K-Hub I". It must not block the lobby: the front end
    // shows it and returns.
    virtual void ShowMessage(const std::string& text, BoxIcon icon) = 0;

    virtual void PlaySound(const std::string& file) = 0;
    virtual void OpenAddress(const std::string& url) = 0;
};

}  // namespace khub

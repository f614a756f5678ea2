#pragma once
// A Ui that remembers what the windows would show: the terminal front end prints from
// it and the tests assert on it ("Start is disabled", "this box was shown").
// Every method takes a lock, so any thread may call it.

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Ui.h"

namespace khub {

// Joins stretches into their plain text (colours dropped).
std::string PlainText(const std::vector<ColorStretch>& stretches);

class RecordingUi : public Ui {
public:
    // One thing the Ui was asked to do, in a form a line printer or a test can read:
    // kind is "title", "menu", "open", "close", "wtitle", "enable", "text", "append",
    // "progress-show", "progress", "box", "sound", "url".
    struct Event {
        std::string kind;
        WindowId window = WindowId::Main;
        int id = 0;
        std::string text;
        int value = 0;
    };
    using Listener = std::function<void(const Event&)>;

    // Called for every event, under no lock of ours, on the calling thread.
    void SetListener(Listener listener);
    // A long-running front end keeps states but not the history of panes and events,
    // so memory stays bounded however much the server sends.
    void SetKeepHistory(bool keep);

    void SetMainTitle(const std::string& title) override;
    void SetMenuItem(int menuId, const std::string& text, bool enabled) override;
    void OpenWindow(WindowId window) override;
    void CloseWindow(WindowId window) override;
    void SetWindowTitle(WindowId window, const std::string& title) override;
    void EnableControl(WindowId window, int controlId, bool enabled) override;
    void SetControlText(WindowId window, int controlId, const std::string& text) override;
    void AppendText(WindowId window, int controlId,
                    const std::vector<ColorStretch>& stretches) override;
    void ShowProgress(WindowId window, int controlId, bool visible) override;
    void SetProgress(WindowId window, int controlId, int position) override;
    void ShowMessage(const std::string& text, BoxIcon icon) override;
    void PlaySound(const std::string& file) override;
    void OpenAddress(const std::string& url) override;

    // --- what a test reads back ---
    std::string MainTitle() const;
    std::string MenuText(int menuId) const;
    bool MenuEnabled(int menuId) const;
    bool IsOpen(WindowId window) const;
    std::string WindowTitle(WindowId window) const;
    // A control that was never touched reports what its window last told us; unknown → true.
    bool ControlEnabled(WindowId window, int controlId) const;
    std::string ControlText(WindowId window, int controlId) const;
    // Every appended piece of one pane, one entry per AppendText call, colours dropped.
    std::vector<std::string> Lines(WindowId window, int controlId) const;
    std::vector<std::vector<ColorStretch>> Stretches(WindowId window, int controlId) const;
    std::vector<std::pair<std::string, BoxIcon>> Boxes() const;
    std::vector<std::string> Sounds() const;
    std::vector<std::string> Addresses() const;
    std::optional<int> Progress(WindowId window, int controlId) const;
    std::vector<Event> Events() const;
    void Clear();

    // Control states that a window starts with, set by whoever knows the window's layout.
    void SetInitialControls(WindowId window, std::map<int, bool> enabled);

private:
    void Emit(const Event& e);

    mutable std::mutex mutex_;
    Listener listener_;
    bool keepHistory_ = true;
    std::string title_;
    std::map<int, std::pair<std::string, bool>> menu_;
    std::set<WindowId> open_;
    std::map<WindowId, std::string> windowTitles_;
    std::map<std::pair<WindowId, int>, bool> enabled_;
    std::map<WindowId, std::map<int, bool>> initialControls_;
    std::map<std::pair<WindowId, int>, std::string> texts_;
    std::map<std::pair<WindowId, int>, std::vector<std::vector<ColorStretch>>> panes_;
    std::map<std::pair<WindowId, int>, int> progress_;
    std::vector<std::pair<std::string, BoxIcon>> boxes_;
    std::vector<std::string> sounds_;
    std::vector<std::string> addresses_;
    std::vector<Event> events_;
};

}  // namespace khub

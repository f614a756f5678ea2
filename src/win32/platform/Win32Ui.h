#pragma once
// The core's Ui port on the Win32 API. Any thread may call it; a call from another thread
// is posted to the GUI thread, in order. Message boxes run on a thread of their own: the
// lobby never waits for a person.

#include <windows.h>
// The multimedia header names its function PlaySound by a macro; here it is the port's.
#undef PlaySound

#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/EventLoop.h"
#include "platform/Ui.h"

namespace khub::win32 {

class CDialog;

// What the Ui needs from the main frame: the windows, by id.
class WindowHost {
  public:
    virtual ~WindowHost() = default;
    virtual void SetMainTitle(const std::string& title) = 0;
    virtual void SetMenuItem(int menuId, const std::string& text, bool enabled) = 0;
    // The window if it is open, else null.
    virtual CDialog* Window(WindowId window) = 0;
    virtual void OpenWindow(WindowId window) = 0;
    virtual void CloseWindow(WindowId window) = 0;
    virtual HWND MainWindow() = 0;
};

class Win32Ui : public Ui {
  public:
    // loop runs on the GUI thread.
    explicit Win32Ui(EventLoop& loop) : loop_(loop) {}

    void SetHost(WindowHost* host) { host_ = host; }

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

    // The debug log's recent lines, kept while the debug window is closed so that
    // opening it shows what led up to now. Bounded.
    std::vector<std::vector<ColorStretch>> DebugBacklog() const;
    static constexpr std::size_t kDebugBacklog = 2000;

  private:
    // Runs f on the GUI thread: now when already there, else posted in call order.
    void OnGuiThread(std::function<void()> f);
    CDialog* Dialog(WindowId window);
    HWND FindControl(WindowId window, int controlId);

    EventLoop& loop_;
    WindowHost* host_ = nullptr;
    mutable std::mutex backlogMutex_;
    std::deque<std::vector<ColorStretch>> backlog_;
};

}  // namespace khub::win32

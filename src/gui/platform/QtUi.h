#pragma once
// The core's Ui port in Qt Widgets. Any thread may call it; a call from another thread is
// queued to the GUI thread, in order. Message boxes are shown and left open: the lobby
// never waits for a person.

#include <QObject>
#include <QPointer>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/Ui.h"

class QWidget;

namespace khub::gui {

class CDialog;
class SoundPlayer;

// What the Ui needs from the main frame: the windows, by id.
class WindowHost {
  public:
    virtual ~WindowHost() = default;
    virtual void SetMainTitle(const QString& title) = 0;
    virtual void SetMenuItem(int menuId, const QString& text, bool enabled) = 0;
    // The window if it is open, else null.
    virtual CDialog* Window(WindowId window) = 0;
    virtual void OpenWindow(WindowId window) = 0;
    virtual void CloseWindow(WindowId window) = 0;
    virtual QWidget* MainWidget() = 0;
};

class QtUi : public QObject, public Ui {
    Q_OBJECT
  public:
    explicit QtUi(QObject* parent = nullptr);
    ~QtUi() override;

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

    // Tests watch boxes, sounds and addresses. With an observer set, an address is
    // reported to it instead of being opened in the browser.
    using Observer = std::function<void(const char* what, const std::string& text)>;
    void SetObserver(Observer observer) { observer_ = std::move(observer); }

  private:
    // Runs f on the GUI thread: now when already there, else queued in call order.
    void OnGuiThread(std::function<void()> f);
    QWidget* FindControl(WindowId window, int controlId);

    WindowHost* host_ = nullptr;
    SoundPlayer* sound_;
    Observer observer_;
    mutable std::mutex backlogMutex_;
    std::deque<std::vector<ColorStretch>> backlog_;
};

}  // namespace khub::gui

#pragma once
// The main window: the game list, the File/Game/Help menus, the accelerators, and the
// windows it opens. The Ui port reaches the windows through it.

#include <QPointer>
#include <functional>
#include <map>

#include "app/MainCommands.h"
#include "framework/CFrame.h"
#include "framework/CWinApp.h"
#include "platform/QtUi.h"

namespace khub {
struct Program;
}

namespace khub::gui {

class CViewList;
class CDialog;

class CMainFrame : public CFrame, public WindowHost {
    Q_OBJECT
  public:
    CMainFrame(Program& program, QtUi& ui);
    ~CMainFrame() override;

    CViewList& ViewList() const { return *view_; }
    // Runs once the window shows (start-up decides here what happens first).
    void SetStartupHook(std::function<void()> hook) { startup_ = std::move(hook); }
    // The picture the key sequence puts behind the game list.
    static QPixmap SecretBackground();
    // The accelerator table of this window.
    static std::vector<CWinApp::Accelerator> AcceleratorTable();

    // WindowHost
    void SetMainTitle(const QString& title) override;
    void SetMenuItem(int menuId, const QString& text, bool enabled) override;
    CDialog* Window(WindowId window) override;
    void OpenWindow(WindowId window) override;
    void CloseWindow(WindowId window) override;
    QWidget* MainWidget() override { return this; }

  protected:
    void OnCreate() override;
    void BuildMenu() override;
    void OnInitialUpdate() override;
    bool OnCommand(int id) override;
    void OnDestroy() override;

  private:
    void OnListNotify(bool doubleClick);
    void KeyStep(char letter);

    Program& program_;
    QtUi& ui_;
    CViewList* view_;
    KeySequence keys_;
    std::map<WindowId, QPointer<CDialog>> windows_;
    std::function<void()> startup_;
};

}  // namespace khub::gui

#pragma once
// The main window: the game list, the File/Game/Help menus, the accelerators, and the
// windows it opens. The Ui port reaches the windows through it.

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "app/MainCommands.h"
#include "framework/CFrame.h"
#include "lobby/CViewList.h"
#include "platform/Win32Ui.h"

namespace khub {
struct Program;
}

namespace khub::win32 {

class CMainFrame : public CFrame, public WindowHost {
  public:
    CMainFrame(Program& program, Win32Ui& ui);
    ~CMainFrame() override;

    CViewList& ViewList() { return view_; }
    // Runs once the window shows and the message loop runs (start-up decides here what
    // happens first).
    void SetStartupHook(std::function<void()> hook) { startup_ = std::move(hook); }
    // The picture the key sequence puts behind the game list: a small tile repeated over
    // width x height (list views that draw a picture once still show it everywhere).
    static HBITMAP SecretBackground(int width, int height);

    // WindowHost
    void SetMainTitle(const std::string& title) override;
    void SetMenuItem(int menuId, const std::string& text, bool enabled) override;
    CDialog* Window(WindowId window) override;
    void OpenWindow(WindowId window) override;
    void CloseWindow(WindowId window) override;
    HWND MainWindow() override { return Hwnd(); }

  protected:
    void OnCreate() override;
    HWND CreateView(HWND parent) override;
    void OnInitialUpdate() override;
    bool OnCommand(int id) override;
    LRESULT OnNotify(const NMHDR& header) override;
    void OnDestroy() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

  private:
    void OnListNotify(bool doubleClick);
    void KeyStep(char letter);
    std::unique_ptr<CDialog> MakeWindow(WindowId window, bool* modal);

    Program& program_;
    Win32Ui& ui_;
    CViewList view_;
    KeySequence keys_;
    std::map<WindowId, std::unique_ptr<CDialog>> windows_;
    // Closed windows replaced by new ones; freed outside any of their own handlers.
    std::vector<std::unique_ptr<CDialog>> retired_;
    std::function<void()> startup_;
};

}  // namespace khub::win32

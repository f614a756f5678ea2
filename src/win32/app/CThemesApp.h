#pragma once
// The program: one Program object on the GUI thread (the lobby thread), its Win32 Ui and
// event loop, and the main frame.

#include <memory>

#include "framework/CWinApp.h"
#include "platform/Win32EventLoop.h"
#include "platform/Win32Ui.h"

namespace khub {
struct Program;
class SingleInstance;
}  // namespace khub

namespace khub::win32 {

class CMainFrame;

class CThemesApp : public CWinApp {
  public:
    CThemesApp();
    ~CThemesApp() override;

  protected:
    bool InitInstance() override;

  private:
    std::unique_ptr<SingleInstance> guard_;
    Win32EventLoop loop_;
    Win32Ui ui_{loop_};
    std::unique_ptr<Program> program_;
    std::unique_ptr<CMainFrame> frame_;
};

}  // namespace khub::win32

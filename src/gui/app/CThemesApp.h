#pragma once
// The program: one Program object on the GUI thread (the lobby thread), its Qt Ui and
// event loop, and the main frame.

#include <memory>
#include <string>

#include "framework/CWinApp.h"
#include "platform/QtEventLoop.h"
#include "platform/QtUi.h"

namespace khub {
struct Program;
class SingleInstance;
}  // namespace khub

namespace khub::gui {

class CMainFrame;

class CThemesApp : public CWinApp {
    Q_OBJECT
  public:
    CThemesApp(int& argc, char** argv);
    ~CThemesApp() override;

    Program* program() const { return program_.get(); }
    CMainFrame* frame() const { return frame_.get(); }

  protected:
    bool InitInstance() override;

  private:
    std::unique_ptr<SingleInstance> guard_;
    QtUi ui_;
    QtEventLoop loop_;
    std::unique_ptr<Program> program_;
    std::unique_ptr<CMainFrame> frame_;
};

}  // namespace khub::gui

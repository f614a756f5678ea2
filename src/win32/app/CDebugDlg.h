#pragma once
// "Debug output": the program's log with its colours, and a line that goes to the server
// exactly as typed.

#include <vector>

#include "framework/CDialog.h"
#include "platform/Ui.h"

namespace khub {
struct Program;
}

namespace khub::win32 {

class CDebugDlg : public CDialog {
  public:
    // backlog: what the log said before the window opened.
    CDebugDlg(Program& program, std::vector<std::vector<ColorStretch>> backlog);

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    void OnOK() override;
    void OnCancel() override;

  private:
    void SendLine();

    Program& program_;
    std::vector<std::vector<ColorStretch>> backlog_;  // until the pane shows it
};

}  // namespace khub::win32

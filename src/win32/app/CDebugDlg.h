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
    explicit CDebugDlg(Program& program);
    // What the log said before the window opened.
    void ShowBacklog(const std::vector<std::vector<ColorStretch>>& lines);

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    void OnOK() override;
    void OnCancel() override;

  private:
    void SendLine();

    Program& program_;
};

}  // namespace khub::win32

#pragma once
// "Debug output": the program's log with its colours, and a line that goes to the server
// exactly as typed.

#include <vector>

#include "framework/CDialog.h"
#include "platform/Ui.h"

namespace khub {
struct Program;
}

namespace khub::gui {

class CDebugDlg : public CDialog {
    Q_OBJECT
  public:
    static constexpr int kEdit = 400, kSendButton = 401;

    explicit CDebugDlg(Program& program);
    // What the log said before the window opened.
    void ShowBacklog(const std::vector<std::vector<ColorStretch>>& lines);

  protected:
    bool OnCommand(int id) override;
    void OnOK() override;
    void OnCancel() override;

  private:
    void SendLine();

    Program& program_;
};

}  // namespace khub::gui

#pragma once
// Join Game: waits for the host, chats, offers Download when the ROM is missing, and
// shows the ROM folder scan as a thin bar.

#include "framework/CDialog.h"

namespace khub {
struct Program;
}

namespace khub::gui {

class CJoinGameDlg : public CDialog {
    Q_OBJECT
  public:
    explicit CJoinGameDlg(Program& program);

  protected:
    bool OnCommand(int id) override;
    void OnOK() override;
    void OnCancel() override;

  private:
    Program& program_;
};

}  // namespace khub::gui

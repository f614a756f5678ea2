#pragma once
// Join Game: waits for the host, chats, offers Download when the ROM is missing, and
// shows the ROM folder scan as a thin bar.

#include "framework/CDialog.h"

namespace khub {
struct Program;
}

namespace khub::win32 {

class CJoinGameDlg : public CDialog {
  public:
    explicit CJoinGameDlg(Program& program);

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    void OnOK() override;
    void OnCancel() override;

  private:
    Program& program_;
};

}  // namespace khub::win32

#pragma once
// Host Game: chat with the client, Select a ROM, Start, Kick; closing ends the game.

#include "framework/CDialog.h"

namespace khub {
struct Program;
}

namespace khub::win32 {

class CHostGameDlg : public CDialog {
  public:
    explicit CHostGameDlg(Program& program);

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    void OnOK() override;
    void OnCancel() override;

  private:
    Program& program_;
};

}  // namespace khub::win32

#pragma once
// Host Game: chat with the client, Select a ROM, Start, Kick; closing ends the game.

#include "framework/CDialog.h"

namespace khub {
struct Program;
}

namespace khub::gui {

class CHostGameDlg : public CDialog {
    Q_OBJECT
  public:
    explicit CHostGameDlg(Program& program);

  protected:
    bool OnCommand(int id) override;
    void OnOK() override;
    void OnCancel() override;

  private:
    Program& program_;
};

}  // namespace khub::gui

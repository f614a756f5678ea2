#pragma once
// Create Game: a name typed or taken from a ROM, "Disallow downloading", OK announces.

#include "framework/CDialog.h"

namespace khub {
struct Program;
}

namespace khub::win32 {

class CCreateGameDlg : public CDialog {
  public:
    CCreateGameDlg(Program& program, HWND owner);

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    void OnOK() override;
    void OnCancel() override;

  private:
    Program& program_;
};

}  // namespace khub::win32

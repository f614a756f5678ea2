#pragma once
// About K-Hub I: version, author, and four buttons (with links beside them) that open
// the program's addresses.

#include "framework/CDialog.h"

namespace khub {
struct Program;
}

namespace khub::win32 {

class CAboutDlg : public CDialog {
  public:
    CAboutDlg(Program& program, HWND owner);

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    bool OnNotify(const NMHDR& header) override;

  private:
    Program& program_;
};

}  // namespace khub::win32

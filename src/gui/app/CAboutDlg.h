#pragma once
// About K-Hub I: version, author, and four buttons that open the program's addresses.

#include "framework/CDialog.h"

namespace khub {
struct Program;
}

namespace khub::gui {

class CAboutDlg : public CDialog {
    Q_OBJECT
  public:
    CAboutDlg(Program& program, QWidget* owner);

  protected:
    bool OnCommand(int id) override;

  private:
    Program& program_;
};

}  // namespace khub::gui

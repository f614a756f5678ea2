#pragma once
// File Transfer: the ROM's name and how much of it has moved. Closing it ends the transfer.

#include "framework/CDialog.h"

namespace khub {
struct Program;
}

namespace khub::gui {

class CFileTransferDlg : public CDialog {
    Q_OBJECT
  public:
    explicit CFileTransferDlg(Program& program);

  protected:
    void OnOK() override {}  // Enter must not close it
    void OnCancel() override;

  private:
    Program& program_;
};

}  // namespace khub::gui

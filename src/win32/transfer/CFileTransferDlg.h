#pragma once
// File Transfer: the ROM's name, how much of it has moved, the rate and the time left.
// Closing it ends the transfer.

#include "framework/CDialog.h"

namespace khub {
struct Program;
}

namespace khub::win32 {

class CFileTransferDlg : public CDialog {
  public:
    explicit CFileTransferDlg(Program& program);

  protected:
    bool OnInitDialog() override;
    void OnOK() override {}  // Enter must not close it
    void OnCancel() override;

  private:
    Program& program_;
};

}  // namespace khub::win32

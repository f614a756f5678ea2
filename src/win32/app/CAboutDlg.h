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
    ~CAboutDlg() override;

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    // The addresses show as links: blue, underlined, with the hand cursor.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;

  private:
    bool IsLink(HWND control) const;

    Program& program_;
    HFONT linkFont_ = nullptr;
};

}  // namespace khub::win32

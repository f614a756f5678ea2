#pragma once
// Options: player name, emulator, ROM folder, connect on start-up, the two sounds.

#include "framework/CDialog.h"

namespace khub {
struct Program;
}

namespace khub::win32 {

class COptionsDlg : public CDialog {
  public:
    COptionsDlg(Program& program, HWND owner);

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    void OnOK() override;

  private:
    // A sound's file and browse button follow its check box.
    void FollowCheckBox(int box, int field, int browse);
    void PutChosenPath(int field, const std::string& path);

    Program& program_;
};

}  // namespace khub::win32

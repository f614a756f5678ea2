#pragma once
// Options: player name, emulator, ROM folder, connect on start-up, the two sounds.

#include "framework/CDialog.h"

namespace khub {
struct Program;
}

namespace khub::gui {

class COptionsDlg : public CDialog {
    Q_OBJECT
  public:
    enum Id {
        kName = 1000,
        kConnectOnStartup,
        kProgram,
        kProgramBrowse,
        kRomFolder,
        kRomFolderBrowse,
        kJoinSound,
        kJoinSoundFile,
        kJoinSoundBrowse,
        kTextSound,
        kTextSoundFile,
        kTextSoundBrowse,
    };

    COptionsDlg(Program& program, QWidget* owner);

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id) override;
    void OnOK() override;

  private:
    void FollowCheckBox(int box, int field, int browse);
    void PutChosenPath(int field, const QString& path);

    Program& program_;
};

}  // namespace khub::gui

#pragma once
// Create Game: a name typed or taken from a ROM, "Disallow downloading", OK announces.

#include "framework/CDialog.h"

namespace khub {
struct Program;
}

namespace khub::gui {

class CCreateGameDlg : public CDialog {
    Q_OBJECT
  public:
    static constexpr int kBrowse = 321;
    static constexpr int kDisallowDownload = 322;

    CCreateGameDlg(Program& program, QWidget* owner);

  protected:
    bool OnCommand(int id) override;
    void OnOK() override;
    void OnCancel() override;

  private:
    Program& program_;
};

}  // namespace khub::gui

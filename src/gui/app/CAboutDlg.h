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
    static constexpr int kSite = 500, kMirror = 501, kForum = 502, kEmulatorSite = 503;
    static constexpr const char* kSiteUrl = "https://www.k-hub.net/";
    static constexpr const char* kMirrorUrl = "https://mirror.k-hub.net/";
    static constexpr const char* kEmulatorUrl = "https://www.k-hub.net/volta/";

    CAboutDlg(Program& program, QWidget* owner);

  protected:
    bool OnCommand(int id) override;

  private:
    Program& program_;
};

}  // namespace khub::gui

#include "CAboutDlg.h"

#include <commctrl.h>

#include "app/MainCommands.h"
#include "app/Program.h"
#include "resources/resource.h"

namespace khub::win32 {

CAboutDlg::CAboutDlg(Program& program, HWND owner) : CDialog(IDD_ABOUT, owner), program_(program) {}

bool CAboutDlg::OnInitDialog() {
    int line = IDC_ABOUT_LINE1;
    for (const char* text : about::kLines) SetControlText(line++, text);
    for (int id = IDC_ABOUT_SITE; id <= IDC_ABOUT_EMULATOR; ++id) {
        SetControlText(id + IDC_ABOUT_LINK_OFFSET, std::string("<a>") + about::Label(id) + "</a>");
    }
    return true;
}

bool CAboutDlg::OnCommand(int id, int code) {
    return code == BN_CLICKED && about::OpenAddress(program_, id);
}

bool CAboutDlg::OnNotify(const NMHDR& header) {
    if (header.code != NM_CLICK && header.code != NM_RETURN) return false;
    const int button = static_cast<int>(header.idFrom) - IDC_ABOUT_LINK_OFFSET;
    return about::OpenAddress(program_, button);
}

}  // namespace khub::win32

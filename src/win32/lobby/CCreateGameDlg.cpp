#include "CCreateGameDlg.h"

#include "app/Program.h"
#include "lobby/Lobby.h"
#include "platform/Choosers.h"
#include "resources/resource.h"

namespace khub::win32 {

CCreateGameDlg::CCreateGameDlg(Program& program, HWND owner)
    : CDialog(IDD_CREATE_GAME, owner), program_(program) {}

bool CCreateGameDlg::OnInitDialog() {
    LimitText(IDC_GAME_NAME, lobby::kGameNameLimit);
    return true;
}

bool CCreateGameDlg::OnCommand(int id, int code) {
    if (id == IDC_GAME_NAME && code == EN_CHANGE) {
        lobby::CreateGameNameChanged(program_, ControlText(IDC_GAME_NAME));
        return true;
    }
    if (id == IDC_GAME_BROWSE && code == BN_CLICKED) {
        const std::string romFolder = program_.Settings().GetStringCut("options", "rompath", 2048);
        lobby::CreateGameChooseRom(program_, ChooseFile(Hwnd(), RomFileFilters(), romFolder));
        return true;
    }
    return false;
}

void CCreateGameDlg::OnOK() {
    if (!IsControlEnabled(IDOK)) return;
    if (lobby::CreateGameOk(program_, ControlText(IDC_GAME_NAME),
                            IsChecked(IDC_DISALLOW_DOWNLOAD))) {
        EndDialog(IDOK);
    }
}

void CCreateGameDlg::OnCancel() {
    lobby::CreateGameCancel(program_);
    EndDialog(IDCANCEL);
}

}  // namespace khub::win32

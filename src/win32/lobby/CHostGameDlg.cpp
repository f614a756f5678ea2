#include "CHostGameDlg.h"

#include "app/Program.h"
#include "lobby/Lobby.h"
#include "platform/Choosers.h"
#include "resources/resource.h"

namespace khub::win32 {

CHostGameDlg::CHostGameDlg(Program& program) : CDialog(IDD_HOST_GAME, nullptr), program_(program) {}

bool CHostGameDlg::OnInitDialog() {
    LimitText(IDC_HOST_CHAT_EDIT, lobby::kChatLineLimit);
    SetAnchor(IDC_HOST_CHAT_LOG, kGrowX | kGrowY);
    SetAnchor(IDC_HOST_CHAT_EDIT, kMoveY | kGrowX);
    SetAnchor(IDOK, kMoveX | kMoveY);
    for (int id : {IDC_SELECT, IDC_START, IDC_KICK}) SetAnchor(id, kMoveY);
    SetAnchor(IDCANCEL, kMoveX | kMoveY);
    FocusWhenEnabled(IDC_HOST_CHAT_EDIT);
    return true;
}

bool CHostGameDlg::OnCommand(int id, int code) {
    if (id == IDC_HOST_CHAT_EDIT && code == EN_CHANGE) {
        lobby::HostChatChanged(program_, ControlText(id));
        return true;
    }
    if (code != BN_CLICKED) return false;
    switch (id) {
        case IDC_SELECT: {
            lobby::HostSelectBegin(program_);
            const std::string romFolder =
                program_.Settings().GetStringCut("options", "rompath", 2048);
            lobby::HostSelectEnd(program_, ChooseFile(Hwnd(), RomFileFilters(), romFolder));
            return true;
        }
        case IDC_START:
            lobby::HostStart(program_);
            return true;
        case IDC_KICK:
            lobby::HostKick(program_);
            return true;
        default:
            return false;
    }
}

void CHostGameDlg::OnOK() {
    // Enter in the chat line reaches here too; a disabled Send must not send.
    if (!IsControlEnabled(IDOK)) return;
    lobby::HostSend(program_, ControlText(IDC_HOST_CHAT_EDIT));
}

void CHostGameDlg::OnCancel() {
    lobby::HostCancel(program_);
    EndDialog(IDCANCEL);
}

}  // namespace khub::win32

#include "CJoinGameDlg.h"

#include <commctrl.h>

#include "app/Program.h"
#include "lobby/Lobby.h"
#include "resources/resource.h"

namespace khub::win32 {

CJoinGameDlg::CJoinGameDlg(Program& program) : CDialog(IDD_JOIN_GAME, nullptr), program_(program) {}

bool CJoinGameDlg::OnInitDialog() {
    LimitText(IDC_JOIN_CHAT_EDIT, lobby::kChatLineLimit);
    SendDlgItemMessageW(Hwnd(), IDC_JOIN_PROGRESS, PBM_SETRANGE32, 0, 100);
    SetAnchor(IDC_JOIN_CHAT_LOG, kGrowX | kGrowY);
    SetAnchor(IDC_JOIN_CHAT_EDIT, kMoveY | kGrowX);
    SetAnchor(IDOK, kMoveX | kMoveY);
    SetAnchor(IDC_JOIN_PROGRESS, kMoveY | kGrowX);
    SetAnchor(IDC_DOWNLOAD, kMoveY);
    SetAnchor(IDCANCEL, kMoveX | kMoveY);
    FocusWhenEnabled(IDC_JOIN_CHAT_EDIT);
    return true;
}

bool CJoinGameDlg::OnCommand(int id, int code) {
    if (id == IDC_JOIN_CHAT_EDIT && code == EN_CHANGE) {
        lobby::JoinChatChanged(program_, ControlText(id));
        return true;
    }
    if (id == IDC_DOWNLOAD && code == BN_CLICKED) {
        lobby::JoinDownload(program_);
        return true;
    }
    return false;
}

void CJoinGameDlg::OnOK() {
    // Enter in the chat line reaches here too; a disabled Send must not send.
    if (!IsControlEnabled(IDOK)) return;
    lobby::JoinSend(program_, ControlText(IDC_JOIN_CHAT_EDIT));
}

void CJoinGameDlg::OnCancel() {
    lobby::JoinCancel(program_);
    EndDialog(IDCANCEL);
}

}  // namespace khub::win32

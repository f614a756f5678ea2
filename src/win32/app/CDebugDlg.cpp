#include "CDebugDlg.h"

#include "app/MainCommands.h"
#include "app/Program.h"
#include "platform/ColorPane.h"
#include "resources/resource.h"

namespace khub::win32 {

CDebugDlg::CDebugDlg(Program& program, std::vector<std::vector<ColorStretch>> backlog)
    : CDialog(IDD_DEBUG, nullptr), program_(program), backlog_(std::move(backlog)) {}

bool CDebugDlg::OnInitDialog() {
    SendMessageW(Hwnd(), DM_SETDEFID, IDC_DEBUG_SEND, 0);
    SetPaneFontSize(Control(IDC_DEBUG_LOG), 12);
    SetAnchor(IDC_DEBUG_LOG, kGrowX | kGrowY);
    SetAnchor(IDC_DEBUG_EDIT, kMoveY | kGrowX);
    SetAnchor(IDC_DEBUG_SEND, kMoveX | kMoveY);
    FocusWhenEnabled(IDC_DEBUG_EDIT);
    HWND pane = Control(IDC_DEBUG_LOG);
    for (const auto& line : backlog_) AppendColored(pane, line);
    backlog_.clear();
    return true;
}

bool CDebugDlg::OnCommand(int id, int code) {
    if (id != IDC_DEBUG_SEND || code != BN_CLICKED) return false;
    SendLine();
    return true;
}

void CDebugDlg::OnOK() {
    SendLine();
}

void CDebugDlg::SendLine() {
    if (SendDebugLine(program_, ControlText(IDC_DEBUG_EDIT))) SetControlText(IDC_DEBUG_EDIT, "");
}

void CDebugDlg::OnCancel() {
    EndDialog(IDCANCEL);  // the frame's closed handler clears the open mark
}

}  // namespace khub::win32

#include "CFileTransferDlg.h"

#include <commctrl.h>

#include "app/Program.h"
#include "resources/resource.h"
#include "transfer/Transfer.h"

namespace khub::win32 {

CFileTransferDlg::CFileTransferDlg(Program& program)
    : CDialog(IDD_FILE_TRANSFER, nullptr), program_(program) {}

bool CFileTransferDlg::OnInitDialog() {
    SendDlgItemMessageW(Hwnd(), IDC_TRANSFER_PROGRESS, PBM_SETRANGE32, 0, 100);
    SendDlgItemMessageW(Hwnd(), IDC_TRANSFER_PROGRESS, PBM_SETPOS, 0, 0);
    return true;
}

void CFileTransferDlg::OnCancel() {
    transfer::CloseTransferWindow(program_);
    EndDialog(IDCANCEL);
}

}  // namespace khub::win32

#include "CWinApp.h"

#include "CDialog.h"

namespace khub::win32 {

CWinApp* CWinApp::instance_ = nullptr;

CWinApp::CWinApp() : module_(GetModuleHandleW(nullptr)) {
    instance_ = this;
}

CWinApp::~CWinApp() {
    if (instance_ == this) instance_ = nullptr;
}

void CWinApp::SetProgramIcon(int iconId) {
    auto load = [this, iconId](int metricX, int metricY) {
        return static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                             GetSystemMetrics(metricX), GetSystemMetrics(metricY),
                                             LR_DEFAULTCOLOR | LR_SHARED));
    };
    largeIcon_ = load(SM_CXICON, SM_CYICON);
    smallIcon_ = load(SM_CXSMICON, SM_CYSMICON);
}

void CWinApp::SetAccelerators(HWND frame, HACCEL table) {
    accelFrame_ = frame;
    accelerators_ = table;
}

bool CWinApp::PreTranslate(MSG& message) {
    if (!message.hwnd) return false;
    HWND root = GetAncestor(message.hwnd, GA_ROOT);
    if (accelerators_ && root == accelFrame_ && IsWindow(accelFrame_) &&
        TranslateAcceleratorW(accelFrame_, accelerators_, &message)) {
        return true;
    }
    return CDialog::FromWindow(root) && IsDialogMessageW(root, &message);
}

int CWinApp::Run() {
    if (!InitInstance()) return -1;
    MSG message;
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (got == -1) return -1;
        if (PreTranslate(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace khub::win32

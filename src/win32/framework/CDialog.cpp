#include "CDialog.h"

#include "CWinApp.h"
#include "platform/Text.h"

namespace khub::win32 {

namespace {
// Sent to itself by a dialog that should give its typing line the focus once it is active.
constexpr UINT kApplyFocus = WM_APP + 10;
}  // namespace

CDialog::CDialog(int templateId, HWND owner) : templateId_(templateId), owner_(owner) {}

CDialog::~CDialog() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
        if (modal_ && owner_) EnableWindow(owner_, TRUE);
        DestroyWindow(hwnd_);
    }
}

CDialog* CDialog::FromWindow(HWND window) {
    if (!window) return nullptr;
    wchar_t className[8] = {};
    // #32770 is the dialog class; any other window's DWLP_USER slot is not ours to read.
    if (GetClassNameW(window, className, 8) != 6 || lstrcmpW(className, L"#32770") != 0)
        return nullptr;
    return reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER));
}

void CDialog::Create() {
    if (hwnd_) return;
    CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), owner_, DialogProc,
                       reinterpret_cast<LPARAM>(this));
}

void CDialog::DoModal() {
    modal_ = true;
    Create();
    if (!hwnd_) return;
    if (owner_) EnableWindow(owner_, FALSE);
    ShowWindow(hwnd_, SW_SHOW);
}

void CDialog::DoModeless() {
    Create();
    if (hwnd_) ShowWindow(hwnd_, SW_SHOW);
}

void CDialog::EndDialog(int result) {
    if (!hwnd_ || ending_) return;
    ending_ = true;
    result_ = result;
    // The owner comes back before the dialog goes, so that it is the one activated.
    if (modal_ && owner_) EnableWindow(owner_, TRUE);
    DestroyWindow(hwnd_);
    ending_ = false;
}

std::string CDialog::ControlText(int id) const {
    HWND control = Control(id);
    return control ? WindowTextUtf8(control) : std::string();
}

void CDialog::SetControlText(int id, const std::string& text) {
    if (HWND control = Control(id)) SetWindowTextW(control, ShownText(text).c_str());
}

bool CDialog::IsChecked(int id) const {
    return hwnd_ && IsDlgButtonChecked(hwnd_, id) == BST_CHECKED;
}

void CDialog::SetChecked(int id, bool checked) {
    if (hwnd_) CheckDlgButton(hwnd_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool CDialog::IsControlEnabled(int id) const {
    HWND control = Control(id);
    return control && IsWindowEnabled(control);
}

void CDialog::EnableControl(int id, bool enabled) {
    HWND control = Control(id);
    if (!control) return;
    EnableWindow(control, enabled);
    if (enabled && id == focusWhenEnabled_) {
        // An inactive window keeps its focus until it is activated; see WM_ACTIVATE.
        if (GetActiveWindow() == hwnd_) {
            SetFocus(control);
        } else {
            pendingFocus_ = true;
        }
    }
}

void CDialog::LimitText(int id, std::size_t characters) {
    SendDlgItemMessageW(hwnd_, id, EM_LIMITTEXT, characters, 0);
}

void CDialog::SetAnchor(int id, unsigned anchor) {
    HWND control = Control(id);
    if (!control) return;
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
    anchors_.push_back({id, anchor, r});
}

void CDialog::Layout() {
    if (anchors_.empty()) return;
    RECT client;
    GetClientRect(hwnd_, &client);
    const int dx = client.right - startClient_.cx;
    const int dy = client.bottom - startClient_.cy;
    HDWP batch = BeginDeferWindowPos(static_cast<int>(anchors_.size()));
    for (const Anchored& a : anchors_) {
        RECT r = a.start;
        if (a.anchor & kMoveX) OffsetRect(&r, dx, 0);
        if (a.anchor & kMoveY) OffsetRect(&r, 0, dy);
        if (a.anchor & kGrowX) r.right += dx;
        if (a.anchor & kGrowY) r.bottom += dy;
        if (batch) {
            batch = DeferWindowPos(batch, Control(a.id), nullptr, r.left, r.top, r.right - r.left,
                                   r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    if (batch) EndDeferWindowPos(batch);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void CDialog::CentreOnOwner() {
    if (!owner_ || !IsWindowVisible(owner_)) return;
    RECT outer, self;
    GetWindowRect(owner_, &outer);
    GetWindowRect(hwnd_, &self);
    const int width = self.right - self.left, height = self.bottom - self.top;
    int x = (outer.left + outer.right - width) / 2;
    int y = (outer.top + outer.bottom - height) / 2;
    // Kept on the owner's screen, title bar reachable.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromWindow(owner_, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& work = monitor.rcWork;
        if (x + width > work.right) x = work.right - width;
        if (y + height > work.bottom) y = work.bottom - height;
        if (x < work.left) x = work.left;
        if (y < work.top) y = work.top;
    }
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->hwnd_ = window;
    }
    auto* self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!self) return FALSE;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, DWLP_USER, 0);
        self->hwnd_ = nullptr;
        if (self->closed_) self->closed_();
        return FALSE;
    }
    return self->Dispatch(message, wParam, lParam);
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            if (const CWinApp* app = CWinApp::Instance()) {
                if (HICON icon = app->ProgramIcon(false))
                    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
                if (HICON icon = app->ProgramIcon(true))
                    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
            }
            RECT client;
            GetClientRect(hwnd_, &client);
            startClient_ = {client.right, client.bottom};
            OnInitDialog();
            CentreOnOwner();
            if (HWND line = Control(focusWhenEnabled_); line && IsWindowEnabled(line)) {
                SetFocus(line);
                return FALSE;
            }
            return TRUE;
        }
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED) Layout();
            return FALSE;
        case WM_GETMINMAXINFO:
            if (startClient_.cx > 0) {
                // Never smaller than it was made.
                RECT r{0, 0, startClient_.cx, startClient_.cy};
                AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)),
                                   FALSE,
                                   static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
                auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
                info->ptMinTrackSize = {r.right - r.left, r.bottom - r.top};
                return TRUE;
            }
            return FALSE;
        case WM_ACTIVATE:
            // After the dialog manager has put back the focus it saved.
            if (LOWORD(wParam) != WA_INACTIVE && pendingFocus_)
                PostMessageW(hwnd_, kApplyFocus, 0, 0);
            return FALSE;
        case kApplyFocus:
            pendingFocus_ = false;
            if (HWND line = Control(focusWhenEnabled_);
                line && IsWindowEnabled(line) && GetActiveWindow() == hwnd_) {
                SetFocus(line);
            }
            return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const int code = HIWORD(wParam);
            if (id == IDOK && code == BN_CLICKED) {
                OnOK();
                return TRUE;
            }
            if (id == IDCANCEL && code == BN_CLICKED) {
                if (!ending_) OnCancel();
                return TRUE;
            }
            return OnCommand(id, code) ? TRUE : FALSE;
        }
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<const NMHDR*>(lParam)) ? TRUE : FALSE;
        case WM_CLOSE:
            if (!ending_) OnCancel();
            return TRUE;
        default: {
            INT_PTR result = 0;
            if (OnMessage(message, wParam, lParam, &result)) return result;
            return FALSE;
        }
    }
}

}  // namespace khub::win32

#include "CFrame.h"

#include <commctrl.h>

#include "CWinApp.h"
#include "platform/Text.h"

namespace khub::win32 {

namespace {
constexpr wchar_t kClassName[] = L"KHubFrame";
constexpr wchar_t kGroup[] = L"\\Frame Settings";

bool ReadDword(HKEY key, const wchar_t* name, DWORD* value) {
    DWORD size = sizeof *value;
    return RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) ==
               ERROR_SUCCESS &&
           size == sizeof *value;
}

void WriteDword(HKEY key, const wchar_t* name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}
}  // namespace

CFrame::CFrame() = default;

CFrame::~CFrame() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

bool CFrame::Create(int menuId) {
    HINSTANCE module = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = module;
    if (const CWinApp* app = CWinApp::Instance()) {
        wc.hIcon = app->ProgramIcon(false);
        wc.hIconSm = app->ProgramIcon(true);
    }
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);

    OnCreate();
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, width = CW_USEDEFAULT, height = CW_USEDEFAULT;
    RestorePlacement(&x, &y, &width, &height);
    HMENU menu = LoadMenuW(module, MAKEINTRESOURCEW(menuId));
    hwnd_ = CreateWindowExW(0, kClassName, L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, x, y, width,
                            height, nullptr, menu, module, this);
    if (!hwnd_) return false;
    view_ = CreateView(hwnd_);
    ShowStatusbar(useStatusbar_ && statusbarShown_);
    toolbarShown_ = toolbarShown_ && useToolbar_;
    ResizeView();
    ShowWindow(hwnd_, SW_SHOWDEFAULT);
    UpdateWindow(hwnd_);
    OnInitialUpdate();
    return true;
}

void CFrame::SetTitle(const std::string& title) {
    SetWindowTextW(hwnd_, ShownText(title).c_str());
}

void CFrame::SetMenuItemText(int id, const std::string& text) {
    HMENU menu = GetMenu(hwnd_);
    if (!menu) return;
    wchar_t old[256] = {};
    GetMenuStringW(menu, static_cast<UINT>(id), old, 256, MF_BYCOMMAND);
    std::wstring full = ShownText(text);
    if (const wchar_t* tab = wcschr(old, L'\t')) full += tab;
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = full.data();
    SetMenuItemInfoW(menu, static_cast<UINT>(id), FALSE, &info);
    DrawMenuBar(hwnd_);
}

void CFrame::EnableMenuItem(int id, bool enabled) {
    if (HMENU menu = GetMenu(hwnd_)) {
        ::EnableMenuItem(menu, static_cast<UINT>(id),
                         MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED | MF_DISABLED));
    }
}

bool CFrame::IsMenuItemEnabled(int id) const {
    HMENU menu = GetMenu(hwnd_);
    if (!menu) return false;
    const UINT state = GetMenuState(menu, static_cast<UINT>(id), MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && !(state & (MF_GRAYED | MF_DISABLED));
}

void CFrame::ShowStatusbar(bool show) {
    statusbarShown_ = show && useStatusbar_;
    if (statusbarShown_ && !statusbar_) {
        statusbar_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | SBARS_SIZEGRIP, 0, 0, 0,
                                     0, hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    if (statusbar_) ShowWindow(statusbar_, statusbarShown_ ? SW_SHOW : SW_HIDE);
    ResizeView();
}

void CFrame::ResizeView() {
    if (!hwnd_) return;
    RECT client;
    GetClientRect(hwnd_, &client);
    if (statusbar_ && statusbarShown_) {
        SendMessageW(statusbar_, WM_SIZE, 0, 0);
        RECT bar;
        GetWindowRect(statusbar_, &bar);
        client.bottom -= bar.bottom - bar.top;
    }
    if (view_) {
        MoveWindow(view_, 0, 0, client.right, client.bottom > 0 ? client.bottom : 0, TRUE);
    }
}

void CFrame::RestorePlacement(int* x, int* y, int* width, int* height) {
    if (registryKey_.empty()) return;
    HKEY key;
    const std::wstring path = L"Software\\" + registryKey_ + kGroup;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    DWORD left, top, w, h, flag;
    if (ReadDword(key, L"Left", &left) && ReadDword(key, L"Top", &top) &&
        ReadDword(key, L"Width", &w) && ReadDword(key, L"Height", &h)) {
        const int sw = static_cast<int>(w), sh = static_cast<int>(h);
        const RECT placed{static_cast<int>(left), static_cast<int>(top),
                          static_cast<int>(left) + sw, static_cast<int>(top) + sh};
        // A placement that could not be a window (hand-edited, a screen since removed) is
        // ignored; the system's default is better than an invisible frame.
        if (sw > 0 && sh > 0 && sw < 100000 && sh < 100000 &&
            MonitorFromRect(&placed, MONITOR_DEFAULTTONULL)) {
            *x = placed.left;
            *y = placed.top;
            *width = sw;
            *height = sh;
            placementRestored_ = true;
        }
    }
    if (ReadDword(key, L"Toolbar", &flag)) toolbarShown_ = flag != 0;
    if (ReadDword(key, L"Statusbar", &flag)) statusbarShown_ = flag != 0;
    RegCloseKey(key);
}

void CFrame::SavePlacement() {
    if (registryKey_.empty()) return;
    // A minimised or maximised window comes back at its normal place and size.
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(hwnd_, &placement)) return;
    const RECT& normal = placement.rcNormalPosition;
    HKEY key;
    const std::wstring path = L"Software\\" + registryKey_ + kGroup;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    WriteDword(key, L"Top", static_cast<DWORD>(normal.top));
    WriteDword(key, L"Left", static_cast<DWORD>(normal.left));
    WriteDword(key, L"Width", static_cast<DWORD>(normal.right - normal.left));
    WriteDword(key, L"Height", static_cast<DWORD>(normal.bottom - normal.top));
    WriteDword(key, L"Toolbar", toolbarShown_ ? 1 : 0);
    WriteDword(key, L"Statusbar", statusbarShown_ ? 1 : 0);
    RegCloseKey(key);
}

LRESULT CALLBACK CFrame::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<CFrame*>(create->lpCreateParams);
        self->hwnd_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CFrame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->Dispatch(message, wParam, lParam);
}

LRESULT CFrame::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (OnMessage(message, wParam, lParam, &result)) return result;
    switch (message) {
        case WM_SIZE:
            ResizeView();
            return 0;
        case WM_SETFOCUS:
            if (view_) SetFocus(view_);
            return 0;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            // An accelerator counts only while its menu item (if it has one) is enabled.
            const bool fromAccelerator = HIWORD(wParam) == 1;
            if (fromAccelerator &&
                GetMenuState(GetMenu(hwnd_), static_cast<UINT>(id), MF_BYCOMMAND) !=
                    static_cast<UINT>(-1) &&
                !IsMenuItemEnabled(id)) {
                return 0;
            }
            if (OnCommand(id)) return 0;
            break;
        }
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
        case WM_DPICHANGED: {
            // Moved to a screen of another density: the size the system suggests for it.
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                         suggested->right - suggested->left, suggested->bottom - suggested->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_CLOSE:
            if (!destroyed_) {
                destroyed_ = true;
                SavePlacement();
                OnDestroy();
            }
            DestroyWindow(hwnd_);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace khub::win32

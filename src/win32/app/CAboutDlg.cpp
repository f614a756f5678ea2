#include "CAboutDlg.h"

#include "app/MainCommands.h"
#include "app/Program.h"
#include "resources/resource.h"

namespace khub::win32 {

CAboutDlg::CAboutDlg(Program& program, HWND owner) : CDialog(IDD_ABOUT, owner), program_(program) {}

CAboutDlg::~CAboutDlg() {
    if (linkFont_) DeleteObject(linkFont_);
}

bool CAboutDlg::OnInitDialog() {
    int line = IDC_ABOUT_LINE1;
    for (const char* text : about::kLines) SetControlText(line++, text);
    LOGFONTW underlined{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Hwnd(), WM_GETFONT, 0, 0)), sizeof underlined,
               &underlined);
    underlined.lfUnderline = TRUE;
    linkFont_ = CreateFontIndirectW(&underlined);
    for (int id = IDC_ABOUT_SITE; id <= IDC_ABOUT_EMULATOR; ++id) {
        SetControlText(id + IDC_ABOUT_LINK_OFFSET, about::Label(id));
        SendDlgItemMessageW(Hwnd(), id + IDC_ABOUT_LINK_OFFSET, WM_SETFONT,
                            reinterpret_cast<WPARAM>(linkFont_), FALSE);
    }
    return true;
}

bool CAboutDlg::IsLink(HWND control) const {
    const int id = GetDlgCtrlID(control) - IDC_ABOUT_LINK_OFFSET;
    return id >= IDC_ABOUT_SITE && id <= IDC_ABOUT_EMULATOR;
}

bool CAboutDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
    if (message == WM_CTLCOLORSTATIC && IsLink(reinterpret_cast<HWND>(lParam))) {
        auto dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, RGB(0, 102, 204));  // a link's blue on every theme
        SetBkMode(dc, TRANSPARENT);
        *result = reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
        return true;
    }
    if (message == WM_SETCURSOR && IsLink(reinterpret_cast<HWND>(wParam))) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        SetWindowLongPtrW(Hwnd(), DWLP_MSGRESULT, TRUE);
        *result = TRUE;
        return true;
    }
    return false;
}

bool CAboutDlg::OnCommand(int id, int code) {
    // A button's click, or a click on the address beside it (STN_CLICKED).
    if (code != BN_CLICKED) return false;
    if (id > IDC_ABOUT_EMULATOR) id -= IDC_ABOUT_LINK_OFFSET;
    return about::OpenAddress(program_, id);
}

}  // namespace khub::win32

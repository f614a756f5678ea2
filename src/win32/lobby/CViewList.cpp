#include "CViewList.h"

#include <commctrl.h>

#include "app/Program.h"
#include "lobby/GameListAppearance.h"
#include "platform/Text.h"

namespace khub::win32 {

int ScaleForWindow(HWND window, int length) {
    HDC dc = GetDC(window);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc) ReleaseDC(window, dc);
    return MulDiv(length, dpi > 0 ? dpi : 96, 96);
}

CViewList::CViewList(Program& program) : CListView(program.games), program_(program) {}

void CViewList::OnInitialUpdate() {
    ApplyAppearance();
    SetColumns();
}

void CViewList::SetColumns() {
    CListView::SetColumns({"Game Name", "Host", "Players"}, ScaleForWindow(Hwnd(), kColumnWidth));
}

void CViewList::ApplyAppearance() {
    const GameListAppearance look = ReadGameListAppearance(program_.Settings());
    if (look.background == GameListAppearance::Background::Color && look.backgroundColor) {
        const Rgb c = *look.backgroundColor;
        ListView_SetBkColor(Hwnd(), RGB(c.r, c.g, c.b));
    } else if (look.background == GameListAppearance::Background::Image) {
        // A picture that does not load leaves the list as it was, without a word.
        std::wstring path = Wide(look.backgroundImage);
        LVBKIMAGEW image{};
        image.ulFlags = LVBKIF_SOURCE_URL | LVBKIF_STYLE_TILE;
        image.pszImage = path.data();
        SendMessageW(Hwnd(), LVM_SETBKIMAGEW, 0, reinterpret_cast<LPARAM>(&image));
    }
    if (look.textColor) {
        const Rgb c = *look.textColor;
        ListView_SetTextColor(Hwnd(), RGB(c.r, c.g, c.b));
    }
    // The background colour or picture shows through behind every row.
    ListView_SetTextBkColor(Hwnd(), CLR_NONE);
    InvalidateRect(Hwnd(), nullptr, TRUE);
}

void CViewList::SetBackgroundBitmap(HBITMAP tile) {
    if (!tile) return;
    LVBKIMAGEW image{};
    image.ulFlags = LVBKIF_SOURCE_HBITMAP | LVBKIF_STYLE_TILE;
    image.hbm = tile;
    // A control that takes the bitmap owns it from then on.
    if (!SendMessageW(Hwnd(), LVM_SETBKIMAGEW, 0, reinterpret_cast<LPARAM>(&image)))
        DeleteObject(tile);
    ListView_SetTextBkColor(Hwnd(), CLR_NONE);
    InvalidateRect(Hwnd(), nullptr, TRUE);
}

}  // namespace khub::win32

#include "ColorPane.h"

#include <richedit.h>

#include "Text.h"

namespace khub::win32 {

bool LoadRichEdit() {
    static const HMODULE library = LoadLibraryW(L"riched20.dll");
    return library != nullptr;
}

namespace {

void ReplaceSelection(HWND pane, const std::wstring& text) {
    SendMessageW(pane, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

void SelectEnd(HWND pane) {
    const int end = GetWindowTextLengthW(pane);
    SendMessageW(pane, EM_SETSEL, end, end);
}

void DropOldestLines(HWND pane) {
    const auto lines = static_cast<int>(SendMessageW(pane, EM_GETLINECOUNT, 0, 0));
    if (lines <= kMaxPaneLines) return;
    const auto cut = static_cast<int>(SendMessageW(pane, EM_LINEINDEX, lines - kMaxPaneLines, 0));
    if (cut <= 0) return;
    SendMessageW(pane, EM_SETSEL, 0, cut);
    ReplaceSelection(pane, L"");
}

}  // namespace

void AppendColored(HWND pane, const std::vector<ColorStretch>& stretches) {
    if (!pane) return;
    SendMessageW(pane, WM_SETREDRAW, FALSE, 0);
    for (const ColorStretch& s : stretches) {
        std::wstring text = ShownText(s.text);
        // Lines end in CR LF; the pane wants one paragraph break per line.
        std::erase(text, L'\r');
        SelectEnd(pane);
        CHARFORMAT2W format{};
        format.cbSize = sizeof format;
        format.dwMask = CFM_COLOR;
        format.crTextColor = RGB(s.color.r, s.color.g, s.color.b);
        SendMessageW(pane, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
        ReplaceSelection(pane, text);
    }
    DropOldestLines(pane);
    SelectEnd(pane);
    SendMessageW(pane, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(pane, nullptr, TRUE);
    SendMessageW(pane, WM_VSCROLL, SB_BOTTOM, 0);
}

void SetPaneText(HWND pane, const std::string& text) {
    if (pane) SetWindowTextW(pane, ShownText(text).c_str());
}

void SetPaneFontSize(HWND pane, int points) {
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_SIZE;
    format.yHeight = points * 20;  // twips
    SendMessageW(pane, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
}

}  // namespace khub::win32

#include "CListView.h"

#include <commctrl.h>

#include "platform/Text.h"

namespace khub::win32 {

CListView::CListView(GameList& list) : list_(list) {
    list_.SetObserver([this](GameList::Change change, int index) { OnChange(change, index); });
}

CListView::~CListView() {
    list_.SetObserver(nullptr);
}

HWND CListView::Create(HWND parent, int id) {
    hwnd_ = CreateWindowExW(
        0, WC_LISTVIEWW, L"",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 0, 0,
        0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
        nullptr);
    ListView_SetExtendedListViewStyle(hwnd_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    Reload();
    return hwnd_;
}

void CListView::SetColumns(const std::vector<std::string>& titles, int width) {
    while (ListView_DeleteColumn(hwnd_, 0)) {
    }
    for (std::size_t i = 0; i < titles.size(); ++i) {
        std::wstring title = ShownText(titles[i]);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = LVCFMT_LEFT;
        column.cx = width;
        column.pszText = title.data();
        SendMessageW(hwnd_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}

void CListView::SetRowCells(int index, const GameRow& row) {
    const std::string* cells[] = {&row.gameName, &row.host, &row.players};
    for (int column = 0; column < 3; ++column) {
        std::wstring text = ShownText(*cells[column]);
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text.data();
        SendMessageW(hwnd_, LVM_SETITEMTEXTW, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&item));
    }
}

void CListView::InsertRow(int index, const GameRow& row) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    std::wstring name = ShownText(row.gameName);
    item.pszText = name.data();
    SendMessageW(hwnd_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    SetRowCells(index, row);
    ++rows_;
}

void CListView::Reload() {
    ListView_DeleteAllItems(hwnd_);
    rows_ = 0;
    const std::vector<GameRow>& rows = list_.Rows();
    for (std::size_t i = 0; i < rows.size(); ++i) InsertRow(static_cast<int>(i), rows[i]);
}

void CListView::OnChange(GameList::Change change, int index) {
    if (!hwnd_) return;
    changing_ = true;
    switch (change) {
        case GameList::Change::Inserted:
            if (index >= 0 && index <= rows_ && list_.Row(index)) {
                InsertRow(index, *list_.Row(index));
            } else {
                Reload();
            }
            break;
        case GameList::Change::Updated:
            if (index >= 0 && index < rows_ && list_.Row(index)) {
                SetRowCells(index, *list_.Row(index));
            } else {
                Reload();
            }
            break;
        case GameList::Change::Removed:
            if (index >= 0 && index < rows_) {
                ListView_DeleteItem(hwnd_, index);
                --rows_;
            } else {
                Reload();
            }
            break;
        case GameList::Change::Cleared:
            // Cleared, or a change the mirror cannot follow row by row: take the list as is.
            Reload();
            break;
    }
    ShowListSelection();
    changing_ = false;
}

void CListView::ShowListSelection() {
    const int wanted = list_.SelectedIndex();
    const int shown = ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED);
    if (wanted == shown) return;
    const bool was = changing_;
    changing_ = true;
    if (shown >= 0) ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (wanted >= 0) {
        ListView_SetItemState(hwnd_, wanted, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
    }
    changing_ = was;
}

void CListView::OnNotify(const NMHDR& header) {
    switch (header.code) {
        case LVN_ITEMCHANGED: {
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            if (changing_ || !(change.uChanged & LVIF_STATE)) return;
            if ((change.uOldState ^ change.uNewState) & LVIS_SELECTED) {
                list_.Select(ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED));
            }
            return;
        }
        case NM_CLICK:
            if (notify_) notify_(Notification::Click);
            return;
        case NM_DBLCLK:
            if (notify_) notify_(Notification::DoubleClick);
            return;
        default:
            return;
    }
}

}  // namespace khub::win32

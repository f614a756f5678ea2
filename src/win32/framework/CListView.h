#pragma once
// A report-style list view over the core's GameList. The core list is the only store of
// the rows; the control mirrors it through the list's observer and reports clicks.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "lobby/GameList.h"

namespace khub::win32 {

class CListView {
  public:
    enum class Notification { Click, DoubleClick };
    using NotifyHandler = std::function<void(Notification)>;

    explicit CListView(GameList& list);
    virtual ~CListView();
    CListView(const CListView&) = delete;
    CListView& operator=(const CListView&) = delete;

    HWND Create(HWND parent, int id);
    HWND Hwnd() const { return hwnd_; }
    // Called by the frame once the view's window exists.
    void InitialUpdate() { OnInitialUpdate(); }
    void SetNotifyHandler(NotifyHandler handler) { notify_ = std::move(handler); }
    // The frame passes on what its view reports.
    void OnNotify(const NMHDR& header);

    GameList& List() const { return list_; }
    void SetColumns(const std::vector<std::string>& titles, int width);

  protected:
    virtual void OnInitialUpdate() {}

  private:
    void OnChange(GameList::Change change, int index);
    void InsertRow(int index, const GameRow& row);
    void SetRowCells(int index, const GameRow& row);
    void Reload();
    // Shows the core list's selection: it decides which row a join goes to.
    void ShowListSelection();

    GameList& list_;
    HWND hwnd_ = nullptr;
    NotifyHandler notify_;
    int rows_ = 0;  // rows the control holds
    bool changing_ = false;
};

}  // namespace khub::win32

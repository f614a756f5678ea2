#pragma once
// The main frame's view: the game list, three columns, colours from section "UI".

#include "framework/CListView.h"

namespace khub {
struct Program;
}

namespace khub::win32 {

class CViewList : public CListView {
  public:
    explicit CViewList(Program& program);

    static constexpr int kColumnWidth = 134;  // at 96 dots per inch

    void SetColumns();
    // A tiled background picture (the key sequence's); the control owns it from here.
    void SetBackgroundBitmap(HBITMAP tile);

  protected:
    void OnInitialUpdate() override;

  private:
    void ApplyAppearance();

    Program& program_;
};

// Scales a length given at 96 dots per inch to the window's screen.
int ScaleForWindow(HWND window, int length);

}  // namespace khub::win32

#pragma once
// The main frame's view: the game list, three columns, colours from section "UI".

#include <QPixmap>

#include "framework/CListView.h"

namespace khub {
struct Program;
}

namespace khub::gui {

class CViewList : public CListView {
    Q_OBJECT
  public:
    explicit CViewList(Program& program, QWidget* parent = nullptr);

    static constexpr int kColumnWidth = 134;

    void SetColumns();
    // A tiled background picture (the key sequence's, or the settings' image).
    void SetBackgroundImage(const QPixmap& image);

  protected:
    void OnInitialUpdate() override;

  private:
    void ApplyAppearance();

    Program& program_;
};

}  // namespace khub::gui

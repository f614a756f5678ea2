#pragma once
// A read-only text pane that shows coloured stretches and keeps its last line in view
// (the debug log and the chat logs).

#include <QTextEdit>
#include <vector>

#include "platform/Ui.h"

namespace khub::gui {

class ColorPane : public QTextEdit {
    Q_OBJECT
  public:
    explicit ColorPane(QWidget* parent = nullptr);

    void Append(const std::vector<ColorStretch>& stretches);

    // A flood from the server must not grow memory without bound: the oldest lines go.
    static constexpr int kMaxLines = 5000;
};

}  // namespace khub::gui

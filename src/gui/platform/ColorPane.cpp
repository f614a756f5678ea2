#include "ColorPane.h"

#include <QScrollBar>
#include <QTextCursor>

#include "Text.h"
#include "framework/GuiThread.h"

namespace khub::gui {

ColorPane::ColorPane(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
    setAcceptRichText(false);
    setUndoRedoEnabled(false);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    document()->setMaximumBlockCount(kMaxLines);
}

void ColorPane::Append(const std::vector<ColorStretch>& stretches) {
    AssertGuiThread("ColorPane::Append");
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    for (const ColorStretch& s : stretches) {
        QTextCharFormat format;
        format.setForeground(QColor(s.color.r, s.color.g, s.color.b));
        QString text = ToQt(s.text);
        // Lines end in CR LF; the pane wants one paragraph break per line.
        text.remove(QChar('\r'));
        cursor.insertText(text, format);
    }
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

}  // namespace khub::gui

#pragma once
// Text fields wide enough for what people typically type into them.

#include <QLineEdit>

namespace khub::gui {

// A path as one usually looks: user folder, a few levels, a file name.
inline const QString kTypicalPath =
    QStringLiteral("/home/player/Games/SNES/Emulators/Volta/VOLTAW.EXE");

// Makes field at least wide enough to show typical whole.
inline void WidenFor(QLineEdit* field, const QString& typical) {
    // The frame and the inner margins take a few pixels on each side.
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance(typical) + 16);
}

}  // namespace khub::gui

#pragma once
// Text crossing between the core (byte strings, UTF-8 where it can be) and Qt.

#include <QString>
#include <string>

namespace khub::gui {

// UTF-8 when the bytes are UTF-8; otherwise each byte as one Latin-1 character, so that
// nothing a server sends turns into a row of question marks.
QString ToQt(const std::string& text);
inline std::string FromQt(const QString& text) {
    return text.toStdString();
}

}  // namespace khub::gui

#pragma once
// The program's icon (data/k-hub.svg, the one the desktop entry installs), built in.

#include <QIcon>

namespace khub::gui {

QIcon ProgramIcon();

}  // namespace khub::gui

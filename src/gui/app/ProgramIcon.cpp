#include "ProgramIcon.h"

namespace khub::gui {

QIcon ProgramIcon() {
    return QIcon(QStringLiteral(":/k-hub.svg"));
}

}  // namespace khub::gui

#pragma once
// The chooser filter for ROM images.

#include "platform/Choosers.h"

namespace khub::gui {

inline QList<FileFilter> RomFileFilters() {
    return {{QStringLiteral("Super Nintendo Games"),
             {"*.SMC", "*.SFC", "*.SWC", "*.FIG", "*.058", "*.078", "*.1", "*.USA", "*.JAP"}}};
}

}  // namespace khub::gui

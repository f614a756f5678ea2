#pragma once
// The chooser filter for ROM images.

#include "platform/Choosers.h"

namespace khub::gui {

inline QList<FileFilter> RomFileFilters() {
    return {{QStringLiteral("Super Nintendo Games"),
             {"*.smc", "*.sfc", "*.swc", "*.fig", "*.058", "*.078", "*.1", "*.usa", "*.jap"}}};
}

}  // namespace khub::gui

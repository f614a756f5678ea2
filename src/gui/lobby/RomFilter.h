#pragma once
// The chooser filter for ROM images.

#include "lobby/RomPatterns.h"
#include "platform/Choosers.h"

namespace khub::gui {

inline QList<FileFilter> RomFileFilters() {
    QStringList patterns;
    for (const char* pattern : kRomFilterPatterns) patterns << QString::fromLatin1(pattern);
    return {{QString::fromLatin1(kRomFilterDescription), patterns}};
}

}  // namespace khub::gui

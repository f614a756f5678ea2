#pragma once
// The files of one download: the ROM's place in the folder and the partial download
// beside it. File work only; it runs on the receiving I/O thread.

#include <cstdio>
#include <string>

#include "DccMessages.h"

namespace khub::transfer {

// Both files' sizes, the CRC of the existing file when its size is the offer's, and
// whether the partial download starts with the existing file's bytes.
FolderLook LookAtFolder(const std::string& path, const std::string& partialPath,
                        std::int64_t offeredSize);

// Opens the file the bytes go into, positioned at plan.position: the partial download
// (new, continued, or first filled with a copy of path) or, for a complete file, path
// itself read-only. nullptr when that fails.
std::FILE* OpenReceiveTarget(const ReceivePlan& plan, const std::string& path,
                             const std::string& partialPath);

// The size of a file; -1 when it cannot be read.
std::int64_t FileSizeOf(const std::string& path);

}  // namespace khub::transfer

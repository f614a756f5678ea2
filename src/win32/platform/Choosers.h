#pragma once
// The open-file chooser and the folder browser, with UTF-8 paths.

#include <windows.h>

#include <string>
#include <vector>

namespace khub::win32 {

// One filter entry: a description and its patterns ("*.smc", "VOLTAW.EXE").
struct FileFilter {
    std::string description;
    std::vector<std::string> patterns;
};

// The full path of an existing file, or empty when cancelled.
std::string ChooseFile(HWND owner, const std::vector<FileFilter>& filters,
                       const std::string& initialDir = {});
// A folder, or empty when cancelled.
std::string BrowseForFolder(HWND owner, const std::string& title);

// The ROM choosers' filter.
std::vector<FileFilter> RomFileFilters();

}  // namespace khub::win32

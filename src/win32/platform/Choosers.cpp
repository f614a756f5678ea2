#include "Choosers.h"

#include <commdlg.h>
#include <shlobj.h>

#include "Text.h"
#include "lobby/RomPatterns.h"

namespace khub::win32 {

namespace {
// "Description (*.a;*.b)\0*.a;*.b\0...\0\0", or the patterns alone as the description
// when they are the description ("VOLTAW.EXE").
std::wstring FilterText(const std::vector<FileFilter>& filters) {
    std::wstring text;
    for (const FileFilter& f : filters) {
        std::string patterns;
        for (const std::string& p : f.patterns) patterns += (patterns.empty() ? "" : ";") + p;
        const std::string shown =
            f.description == patterns ? patterns : f.description + " (" + patterns + ")";
        text += Wide(shown);
        text += L'\0';
        text += Wide(patterns);
        text += L'\0';
    }
    text += L'\0';
    return text;
}
}  // namespace

std::string ChooseFile(HWND owner, const std::vector<FileFilter>& filters,
                       const std::string& initialDir) {
    const std::wstring filter = FilterText(filters);
    const std::wstring dir = Wide(initialDir);
    std::wstring file(32768, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = dir.empty() ? nullptr : dir.c_str();
    ofn.Flags =
        OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
    if (!GetOpenFileNameW(&ofn)) return {};
    file.resize(wcslen(file.c_str()));
    return Utf8(file);
}

std::string BrowseForFolder(HWND owner, const std::string& title) {
    const std::wstring wideTitle = Wide(title);
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = wideTitle.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (!chosen) return {};
    std::wstring path(MAX_PATH * 4, L'\0');
    const bool ok =
        SHGetPathFromIDListEx(chosen, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT);
    CoTaskMemFree(chosen);
    if (!ok) return {};
    path.resize(wcslen(path.c_str()));
    return Utf8(path);
}

std::vector<FileFilter> RomFileFilters() {
    FileFilter roms{kRomFilterDescription, {}};
    for (const char* pattern : kRomFilterPatterns) roms.patterns.emplace_back(pattern);
    return {roms};
}

}  // namespace khub::win32

#include "platform/Files.h"

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>

#include "WideText.h"

namespace khub::platform {

namespace {

std::int64_t Join(DWORD high, DWORD low) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
}

FileInfo InfoFrom(DWORD attributes, DWORD sizeHigh, DWORD sizeLow, const FILETIME& written) {
    FileInfo info;
    info.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.regular = !info.directory && (attributes & FILE_ATTRIBUTE_DEVICE) == 0;
    info.size = Join(sizeHigh, sizeLow);
    // 100 ns steps since 1601; only ever compared with each other.
    info.mtimeNs = Join(written.dwHighDateTime, written.dwLowDateTime) * 100;
    return info;
}

bool IsDots(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

}  // namespace

std::optional<FileInfo> StatPath(const std::string& path, std::string* error) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(win32::Wide(path).c_str(), GetFileExInfoStandard, &data)) {
        if (error) *error = win32::ErrorText(::GetLastError());
        return std::nullopt;
    }
    return InfoFrom(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow,
                    data.ftLastWriteTime);
}

bool PathExists(const std::string& path) {
    return ::GetFileAttributesW(win32::Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Windows starts any file it is given; only a folder or nothing at all is no program.
bool MayExecute(const std::string& path) {
    auto info = StatPath(path);
    return info && info->regular;
}

std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder, std::string* error) {
    std::wstring pattern = win32::Wide(folder);
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found{};
    HANDLE find = ::FindFirstFileW(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        DWORD err = ::GetLastError();
        // An empty drive root lists nothing at all; a folder lists at least "." and "..".
        if (err == ERROR_FILE_NOT_FOUND) return std::vector<FolderEntry>{};
        if (error) *error = win32::ErrorText(err);
        return std::nullopt;
    }
    std::vector<FolderEntry> entries;
    do {
        bool hidden = (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0;
        entries.push_back(
            FolderEntry{win32::Utf8(found.cFileName), hidden && !IsDots(found.cFileName)});
    } while (::FindNextFileW(find, &found));
    DWORD err = ::GetLastError();
    ::FindClose(find);
    if (err != ERROR_NO_MORE_FILES) {
        if (error) *error = win32::ErrorText(err);
        return std::nullopt;
    }
    return entries;
}

std::FILE* OpenStream(const std::string& path, const char* mode) {
    return ::_wfopen(win32::Wide(path).c_str(), win32::Wide(mode).c_str());
}

std::FILE* OpenPlainStream(const std::string& path) {
    // Folders and devices never open as files here, so a plain open cannot hang.
    auto info = StatPath(path);
    if (!info || !info->regular) return nullptr;
    std::FILE* file = OpenStream(path, "rb");
    if (!file) return nullptr;
    if (::GetFileType(reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)))) !=
        FILE_TYPE_DISK) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

std::optional<FileInfo> StatStream(std::FILE* file) {
    HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
    BY_HANDLE_FILE_INFORMATION data{};
    if (handle == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(handle, &data)) {
        return std::nullopt;
    }
    return InfoFrom(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow,
                    data.ftLastWriteTime);
}

bool SeekStream(std::FILE* file, std::int64_t offset) {
    return ::_fseeki64(file, offset, SEEK_SET) == 0;
}

bool RemoveFile(const std::string& path) {
    return ::DeleteFileW(win32::Wide(path).c_str()) != 0;
}

bool RenameNoReplace(const std::string& from, const std::string& to, std::string* error) {
    // Without MOVEFILE_REPLACE_EXISTING the move fails when to exists.
    if (::MoveFileExW(win32::Wide(from).c_str(), win32::Wide(to).c_str(), 0)) return true;
    if (error) *error = win32::ErrorText(::GetLastError());
    return false;
}

bool RenameReplacing(const std::string& from, const std::string& to, std::string* error) {
    if (::MoveFileExW(win32::Wide(from).c_str(), win32::Wide(to).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
        return true;
    }
    if (error) *error = win32::ErrorText(::GetLastError());
    return false;
}

bool ReplaceFileContent(const std::string& path, const std::string& content) {
    std::wstring target = win32::Wide(path);
    DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        return false;
    }
    static std::atomic<unsigned> counter{0};
    std::wstring temp = target + L".tmp" + std::to_wstring(::GetCurrentProcessId()) + L"." +
                        std::to_wstring(counter.fetch_add(1));
    HANDLE file = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool written = true;
    for (std::size_t done = 0; written && done < content.size();) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1 << 20));
        DWORD put = 0;
        written = ::WriteFile(file, content.data() + done, chunk, &put, nullptr) && put > 0;
        done += put;
    }
    written = written && ::FlushFileBuffers(file);
    ::CloseHandle(file);
    if (!written || !::MoveFileExW(temp.c_str(), target.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace khub::platform

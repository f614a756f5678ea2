#pragma once
// Files and folders by UTF-8 path. Only what the lobby needs: a look at a file, a folder's
// entries, streams, renames that never replace, and whole-file replacement.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace khub::platform {

struct FileInfo {
    bool regular = false;  // a plain file (not a folder, FIFO, device...)
    bool directory = false;
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;  // modification time; only compared, never shown
};

// What path names, links followed; nullopt and why (in *error) when nothing can be seen.
std::optional<FileInfo> StatPath(const std::string& path, std::string* error = nullptr);
// Whether anything at all is there, a dangling link included.
bool PathExists(const std::string& path);
// Whether the system would start path as a program, as far as the file itself tells.
bool MayExecute(const std::string& path);

struct FolderEntry {
    std::string name;
    bool hidden = false;  // a dot file, or the hidden attribute on Windows
};
// Every entry in the file system's order ("." and ".." where the system lists them);
// nullopt and why when the folder cannot be listed to the end.
std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder,
                                                   std::string* error = nullptr);

// fopen with a UTF-8 path.
std::FILE* OpenStream(const std::string& path, const char* mode);
// Opens path for reading ("rb") only when it is a plain file. Whatever else may sit under
// a file's name must not hold the caller up: a FIFO would keep the open waiting for a
// writer, a device may never end.
std::FILE* OpenPlainStream(const std::string& path);
// What the open stream is now.
std::optional<FileInfo> StatStream(std::FILE* file);
// fseek from the start with a 64-bit offset (long is 32 bits on Windows).
bool SeekStream(std::FILE* file, std::int64_t offset);

bool RemoveFile(const std::string& path);
// Renames from to to, but never over an existing file. False and a reason otherwise; both
// files are then where they were.
bool RenameNoReplace(const std::string& from, const std::string& to, std::string* error);
// Renames from to to, replacing a file already there (a finished download over the old copy).
bool RenameReplacing(const std::string& from, const std::string& to, std::string* error = nullptr);
// Gives path the new content all at once: written beside it and moved over it, so a reader
// sees the old file or the new one and a failed write leaves the old one. A file made
// read-only is left alone (false). A linked path replaces the link's target.
bool ReplaceFileContent(const std::string& path, const std::string& content);

// The whole file; nullopt when it cannot be read, with *missing set when there is no file.
std::optional<std::string> ReadWholeFile(const std::string& path, bool* missing = nullptr);

}  // namespace khub::platform

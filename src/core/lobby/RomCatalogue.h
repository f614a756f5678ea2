#pragma once
// Finding the host's ROM among the player's files by CRC-32, and giving a file the host's
// name for the start of the emulator. Nothing here touches lobby state: the scan runs on
// a worker and reports through callbacks.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "Crc32.h"
#include "platform/Files.h"

namespace khub::rom {

// Size and modification time: what tells that a file is still the one that was read.
struct FileStamp {
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};
// The stamp of path when it names a plain file (links followed), else nullopt.
std::optional<FileStamp> StampOf(const std::string& path);

// What one read of a file gave.
struct FileRead {
    bool opened = false;   // a plain file was opened; stamp is its stamp when the read began
    bool stopped = false;  // a stop flag ended the read: nothing is known of the content
    bool steady = false;   // the file kept its stamp until the read ended
    FileStamp stamp;
    std::optional<std::uint32_t> crc;  // nullopt: not opened, a read error, or stopped
};
// Reads the whole file in large blocks. Either flag (when given) becoming true stops the
// read between two blocks.
FileRead ReadFileCrc(const std::string& path, const std::atomic<bool>* cancel,
                     const std::atomic<bool>* stop = nullptr);

// The CRC of a whole file; nullopt when it cannot be opened or read, or when cancel became
// true meanwhile.
std::optional<std::uint32_t> CrcOfFile(const std::string& path,
                                       const std::atomic<bool>* cancel = nullptr);
// CrcText of the file, or "" when it cannot be read.
std::string CrcTextOfFile(const std::string& path);
// True when the path names something that exists, readable or not.
bool FileExists(const std::string& path);
// Plain files whose name does not start with '.'; -1 when the folder cannot be listed.
int CountRomDirFiles(const std::string& folder);
std::string JoinPath(const std::string& folder, const std::string& name);

// Known CRCs by path, valid while the file keeps its size and modification time. Kept in
// a small text file beside the settings file so a second look at a folder reads nothing.
// One thread at a time: the scan's readers hand their reads to the scanning thread.
class CrcCache {
  public:
    CrcCache() = default;
    // path "" keeps the cache in memory only.
    explicit CrcCache(std::string path) : path_(std::move(path)) {}
    bool Load();
    bool Save() const;

    // The CRC text of path when the cache knows it for this very file, else computed
    // (and remembered). "" when the file cannot be read.
    std::string CrcTextOf(const std::string& path, const std::atomic<bool>* cancel = nullptr);
    // The remembered CRC text of path, when it was taken from a file with this stamp.
    std::optional<std::string> Known(const std::string& path, const FileStamp& stamp) const;
    // Takes what a read of path gave and returns its CRC text ("" when it could not be read).
    // Only a read of a file that held still is remembered; a stopped read changes nothing.
    std::string Record(const std::string& path, const FileRead& read);
    // Forgets the entries inside folder whose names are not in keep.
    void Prune(const std::string& folder, const std::map<std::string, bool>& keep);
    std::size_t Size() const { return entries_.size(); }
    // How many files were read (not answered from the cache) since construction.
    std::size_t FilesRead() const { return filesRead_; }

  private:
    struct Entry {
        FileStamp stamp;
        std::string crc;
    };
    std::string path_;
    std::map<std::string, Entry> entries_;
    std::size_t filesRead_ = 0;
};

// Where the cache lives for a settings file ("" for none).
std::string CrcCachePathFor(const std::string& settingsFilePath);

struct ScanCallbacks {
    std::function<void(bool visible)> showProgress;
    std::function<void(int position)> progress;  // 0..100, only when it changes
    const std::atomic<bool>* cancel = nullptr;
};

// The name (no folder) of the first file in folder, in listing order, whose CRC text is
// wantedCrc; nullopt when there is none, the folder cannot be listed or the scan was
// cancelled. folderError, when given, receives why the folder could not be listed or went
// away during the scan. Files are read ahead on other threads, all of them joined before
// this returns; the callbacks run on the calling thread, in listing order.
std::optional<std::string> FindRomByCrc(const std::string& folder, const std::string& wantedCrc,
                                        CrcCache& cache, const ScanCallbacks& callbacks,
                                        std::string* folderError = nullptr);

struct WantedRom {
    bool found = false;
    std::string localRomFile;  // set when found under another name
    std::string folderError;   // the ROM folder could not be read: why
};
// The host's ROM: under the host's file name with the right CRC, else anywhere in the
// folder. log receives the lines the lobby writes to its debug log.
WantedRom CheckWantedRom(const std::string& folder, const std::string& wantedFile,
                         const std::string& wantedCrc, CrcCache& cache,
                         const ScanCallbacks& callbacks,
                         const std::function<void(const std::string&)>& log);

using platform::RenameNoReplace;

}  // namespace khub::rom

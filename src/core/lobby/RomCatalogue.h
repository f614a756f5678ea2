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

namespace khub::rom {

// CRC-32 of IEEE 802.3 (reflected 0xEDB88320), chained like zlib's crc32: start with 0,
// pass the previous result to continue.
std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size);
// The same, one byte per step with a 256-entry table: the reference for the benchmark.
std::uint32_t Crc32Bytewise(std::uint32_t crc, const void* data, std::size_t size);
// Eight upper-case hex digits.
std::string CrcText(std::uint32_t crc);

// The CRC of a whole file, read in 1 MiB blocks; nullopt when it cannot be opened or
// read, or when cancel became true meanwhile.
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
    // Forgets the entries inside folder whose names are not in keep.
    void Prune(const std::string& folder, const std::map<std::string, bool>& keep);
    std::size_t Size() const { return entries_.size(); }
    // How many files were read (not answered from the cache) since construction.
    std::size_t FilesRead() const { return filesRead_; }

  private:
    struct Entry {
        std::int64_t size = 0;
        std::int64_t mtimeNs = 0;
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
// wantedCrc; nullopt when there is none or the folder cannot be listed. folderError, when
// given, receives why the folder could not be listed or went away during the scan.
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

// Renames from to to, but never over an existing file. False and a reason otherwise; both
// files are then where they were.
bool RenameNoReplace(const std::string& from, const std::string& to, std::string* error);

}  // namespace khub::rom

// The ROM folder scan. The answer is the one a scan reading the files one by one in listing
// order would give; to get it at the speed of reading, reader threads checksum the files
// a little ahead of the scan, and the scan takes a read made ahead only when the file is
// still what was read, reading it again at its turn otherwise.

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "RomCatalogue.h"
#include "platform/Files.h"

namespace khub::rom {

namespace {

// Both cores of a small machine: while one reader copies a file out of the page cache (or
// waits for the disk), the other checksums.
constexpr int kReaders = 2;
// How many files the readers may have read or be reading that the scan has not come to yet:
// enough that a large file on one reader does not hold up the other, few enough that little
// is read past a match or a cancel.
constexpr std::size_t kReadAhead = 8;

struct ListedEntry {
    std::string name;
    bool hidden = false;
    std::string path;
    std::optional<FileStamp> stamp;  // set for a plain file, as seen while listing
    bool readAhead = false;          // no CRC was known for it: a reader reads it early
};

// Every entry of the folder, "." and ".." included where the system lists them, in the file
// system's order; why, when the folder cannot be listed.
std::optional<std::vector<ListedEntry>> ListFolder(const std::string& folder, std::string* error) {
    auto listed = platform::ListFolder(folder, error);
    if (!listed) return std::nullopt;
    std::vector<ListedEntry> entries;
    entries.reserve(listed->size());
    for (platform::FolderEntry& e : *listed) {
        ListedEntry entry;
        entry.name = std::move(e.name);
        entry.hidden = e.hidden;
        if (entry.name != "." && entry.name != "..") {
            entry.path = JoinPath(folder, entry.name);
            entry.stamp = StampOf(entry.path);
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

int CountVisibleFiles(const std::vector<ListedEntry>& entries) {
    int count = 0;
    for (const ListedEntry& e : entries) {
        if (e.stamp && !e.hidden) ++count;
    }
    return count;
}

// Reads the entries marked readAhead, in listing order, on threads of their own, at most
// kReadAhead of them ahead of the scan. Destruction stops and joins the threads.
class ReadAhead {
  public:
    ReadAhead(const std::vector<ListedEntry>& entries, const std::atomic<bool>* cancel)
        : entries_(entries), cancel_(cancel), reads_(entries.size()) {
        for (int i = 0; i < kReaders; ++i) {
            std::lock_guard lock(mutex_);
            ++running_;
            try {
                threads_.emplace_back([this] { Run(); });
            } catch (const std::system_error&) {
                --running_;  // fewer readers; the scan reads what none took
            }
        }
    }

    ~ReadAhead() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        windowMoved_.notify_all();
        for (std::thread& t : threads_) t.join();
    }

    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The read of entry index once a reader has made it; nullopt when no reader is left to
    // make it. The scan asks for every readAhead entry, once, in listing order.
    std::optional<FileRead> Take(std::size_t index) {
        std::unique_lock lock(mutex_);
        ++taken_;
        windowMoved_.notify_all();
        readDone_.wait(lock, [&] { return reads_[index].has_value() || running_ == 0; });
        std::optional<FileRead> read = std::move(reads_[index]);
        reads_[index].reset();
        return read;
    }

  private:
    bool Stopping() const {
        return stop_.load(std::memory_order_relaxed) ||
               (cancel_ && cancel_->load(std::memory_order_relaxed));
    }

    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            while (next_ < entries_.size() && !entries_[next_].readAhead) ++next_;
            if (next_ == entries_.size() || Stopping()) break;
            if (started_ >= taken_ + kReadAhead) {
                windowMoved_.wait(lock);
                continue;
            }
            std::size_t index = next_++;
            ++started_;
            lock.unlock();
            // A stopped read is handed over as well: the scan waiting for it must wake.
            FileRead read = ReadFileCrc(entries_[index].path, cancel_, &stop_);
            lock.lock();
            reads_[index] = std::move(read);
            readDone_.notify_all();
        }
        --running_;
        readDone_.notify_all();
    }

    const std::vector<ListedEntry>& entries_;
    const std::atomic<bool>* cancel_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable readDone_;     // a read was handed over, or a reader ended
    std::condition_variable windowMoved_;  // the scan moved on, or the readers must end
    std::size_t next_ = 0;                 // the first entry no reader has taken yet
    std::size_t started_ = 0;              // reads begun by the readers
    std::size_t taken_ = 0;                // reads the scan asked for
    int running_ = 0;
    std::vector<std::optional<FileRead>> reads_;  // by entry index, until the scan takes them
    std::vector<std::thread> threads_;
};

// The CRC text of a plain file at its turn in the scan: from the read made ahead when the
// file still has the stamp it was read with, else from the cache, else read now.
std::string CrcTextAtTurn(const std::string& path, const FileStamp& stamp,
                          const std::optional<FileRead>& early, CrcCache& cache,
                          const std::atomic<bool>* cancel) {
    if (early && early->opened && !early->stopped && early->steady && early->stamp == stamp) {
        return cache.Record(path, *early);
    }
    if (auto known = cache.Known(path, stamp)) return *known;
    return cache.Record(path, ReadFileCrc(path, cancel));
}

}  // namespace

int CountRomDirFiles(const std::string& folder) {
    auto entries = ListFolder(folder, nullptr);
    return entries ? CountVisibleFiles(*entries) : -1;
}

std::optional<std::string> FindRomByCrc(const std::string& folder, const std::string& wantedCrc,
                                        CrcCache& cache, const ScanCallbacks& cb,
                                        std::string* folderError) {
    auto listed = ListFolder(folder, folderError);
    if (!listed) return std::nullopt;
    std::vector<ListedEntry>& entries = *listed;
    int count = CountVisibleFiles(entries);
    bool anyToRead = false;
    for (ListedEntry& e : entries) {
        e.readAhead = e.stamp && !cache.Known(e.path, *e.stamp);
        anyToRead = anyToRead || e.readAhead;
    }
    auto cancelled = [&] { return cb.cancel && cb.cancel->load(std::memory_order_relaxed); };

    if (cb.showProgress) cb.showProgress(true);
    int shown = -1;
    auto finish = [&] {
        if (cb.progress && shown != 0) cb.progress(0);
        if (cb.showProgress) cb.showProgress(false);
    };
    std::optional<ReadAhead> readAhead;
    if (anyToRead) readAhead.emplace(entries, cb.cancel);
    long visited = 0;
    std::map<std::string, bool> seen;
    bool complete = true;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (cancelled()) {
            complete = false;
            break;
        }
        const ListedEntry& entry = entries[i];
        std::optional<FileRead> early;
        if (entry.readAhead && readAhead) early = readAhead->Take(i);
        // The file as it is now decides, as it would for a scan that got here one by one.
        if (auto stamp = entry.path.empty() ? std::nullopt : StampOf(entry.path)) {
            seen[entry.name] = true;
            std::string crc = CrcTextAtTurn(entry.path, *stamp, early, cache, cb.cancel);
            if (!crc.empty() && crc == wantedCrc && !cancelled()) {
                readAhead.reset();
                finish();
                return entry.name;
            }
        }
        visited += 100;
        long position = count == 0 ? visited : visited / count;
        int clamped = position > 100 ? 100 : static_cast<int>(position);
        if (clamped != shown && cb.progress) cb.progress(clamped);
        shown = clamped;
    }
    readAhead.reset();
    finish();
    // A folder removed or replaced while it was listed just ends the listing early.
    auto info = platform::StatPath(folder, folderError);
    if (!info) return std::nullopt;
    if (!info->directory) {
        if (folderError) *folderError = std::strerror(ENOTDIR);
        return std::nullopt;
    }
    if (complete) cache.Prune(folder, seen);
    return std::nullopt;
}

}  // namespace khub::rom

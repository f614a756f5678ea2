#include "RomCatalogue.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

namespace khub::rom {

namespace {

// Large reads, few calls per byte; small enough that the block is still in the core's cache
// when the CRC reads it back.
constexpr std::size_t kReadBlock = 256 << 10;

bool StatFile(const std::string& path, struct stat& st) {
    return ::stat(path.c_str(), &st) == 0;
}

FileStamp StampFrom(const struct stat& st) {
    return FileStamp{std::int64_t(st.st_size),
                     std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
};

}  // namespace

std::optional<FileStamp> StampOf(const std::string& path) {
    struct stat st;
    if (!StatFile(path, st) || !S_ISREG(st.st_mode)) return std::nullopt;
    return StampFrom(st);
}

FileRead ReadFileCrc(const std::string& path, const std::atomic<bool>* cancel,
                     const std::atomic<bool>* stop) {
    FileRead result;
    // Without O_NONBLOCK a FIFO put in a file's place would hold the open until a writer came.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return result;
    FdCloser closer{fd};
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return result;
    result.opened = true;
    result.stamp = StampFrom(st);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    static thread_local std::unique_ptr<unsigned char[]> buffer(new unsigned char[kReadBlock]);
    auto raised = [](const std::atomic<bool>* flag) {
        return flag && flag->load(std::memory_order_relaxed);
    };
    std::uint32_t crc = 0;
    for (;;) {
        if (raised(cancel) || raised(stop)) {
            result.stopped = true;
            return result;
        }
        ssize_t got = ::read(fd, buffer.get(), kReadBlock);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) std::fputs("error reading file\n", stderr);
        if (got <= 0) {
            // A read error of a file that held still stays an error: nothing to read again.
            result.steady = ::fstat(fd, &st) == 0 && StampFrom(st) == result.stamp;
            if (got == 0) result.crc = crc;
            return result;
        }
        crc = Crc32(crc, buffer.get(), static_cast<std::size_t>(got));
    }
}

std::optional<std::uint32_t> CrcOfFile(const std::string& path, const std::atomic<bool>* cancel) {
    return ReadFileCrc(path, cancel).crc;
}

std::string CrcTextOfFile(const std::string& path) {
    auto crc = CrcOfFile(path);
    return crc ? CrcText(*crc) : std::string();
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::string CrcCachePathFor(const std::string& settingsFilePath) {
    if (settingsFilePath.empty()) return {};
    std::size_t slash = settingsFilePath.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : settingsFilePath.substr(0, slash);
    return JoinPath(dir, "K-Hub-romcrc.cache");
}

bool CrcCache::Load() {
    if (path_.empty()) return false;
    std::ifstream in(path_, std::ios::binary);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        // crc \t size \t mtime-ns \t path
        std::size_t a = line.find('\t');
        std::size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
        std::size_t c = b == std::string::npos ? b : line.find('\t', b + 1);
        if (c == std::string::npos || a != 8) continue;
        Entry e;
        e.crc = line.substr(0, a);
        try {
            e.stamp.size = std::stoll(line.substr(a + 1, b - a - 1));
            e.stamp.mtimeNs = std::stoll(line.substr(b + 1, c - b - 1));
        } catch (...) {
            continue;
        }
        entries_[line.substr(c + 1)] = e;
    }
    return true;
}

bool CrcCache::Save() const {
    if (path_.empty()) return false;
    static std::atomic<unsigned> counter{0};
    std::string temp =
        path_ + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter.fetch_add(1));
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        for (const auto& [path, e] : entries_) {
            if (path.find('\n') != std::string::npos) continue;
            out << e.crc << '\t' << e.stamp.size << '\t' << e.stamp.mtimeNs << '\t' << path << '\n';
        }
        if (!out.flush()) {
            ::unlink(temp.c_str());
            return false;
        }
    }
    // The cache file is ours alone; replacing it whole keeps a reader from seeing half.
    if (::rename(temp.c_str(), path_.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

std::string CrcCache::CrcTextOf(const std::string& path, const std::atomic<bool>* cancel) {
    auto stamp = StampOf(path);
    if (!stamp) return {};
    if (auto known = Known(path, *stamp)) return *known;
    return Record(path, ReadFileCrc(path, cancel));
}

std::optional<std::string> CrcCache::Known(const std::string& path, const FileStamp& stamp) const {
    auto it = entries_.find(path);
    if (it == entries_.end() || !(it->second.stamp == stamp)) return std::nullopt;
    return it->second.crc;
}

std::string CrcCache::Record(const std::string& path, const FileRead& read) {
    if (read.stopped) return {};
    ++filesRead_;
    if (!read.crc) {
        entries_.erase(path);
        return {};
    }
    std::string text = CrcText(*read.crc);
    if (read.steady) {
        entries_[path] = Entry{read.stamp, text};
    } else {
        entries_.erase(path);
    }
    return text;
}

void CrcCache::Prune(const std::string& folder, const std::map<std::string, bool>& keep) {
    std::string prefix = JoinPath(folder, "");
    for (auto it = entries_.begin(); it != entries_.end();) {
        const std::string& p = it->first;
        bool inFolder = p.compare(0, prefix.size(), prefix) == 0 &&
                        p.find('/', prefix.size()) == std::string::npos;
        if (inFolder && !keep.count(p.substr(prefix.size()))) {
            it = entries_.erase(it);
        } else {
            ++it;
        }
    }
}

WantedRom CheckWantedRom(const std::string& folder, const std::string& wantedFile,
                         const std::string& wantedCrc, CrcCache& cache, const ScanCallbacks& cb,
                         const std::function<void(const std::string&)>& log) {
    WantedRom result;
    std::string path = JoinPath(folder, wantedFile);
    if (log) log(path + ".\r\n");
    if (FileExists(path) && cache.CrcTextOf(path, cb.cancel) == wantedCrc) {
        result.found = true;
        return result;
    }
    if (auto name = FindRomByCrc(folder, wantedCrc, cache, cb, &result.folderError)) {
        result.found = true;
        // Found under the host's name by the scan (the first look could not read it then).
        if (*name != wantedFile) result.localRomFile = *name;
    }
    return result;
}

bool RenameNoReplace(const std::string& from, const std::string& to, std::string* error) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    int err = errno;
    if (err == EINVAL || err == ENOSYS || err == ENOTSUP) {
        // File systems without the flag: a second name, then the old one goes. link()
        // refuses an existing target just as the flag does.
        if (::link(from.c_str(), to.c_str()) == 0) {
            if (::unlink(from.c_str()) == 0) return true;
            err = errno;
            ::unlink(to.c_str());
        } else {
            err = errno;
        }
    }
    if (error) *error = std::strerror(err);
    return false;
}

}  // namespace khub::rom

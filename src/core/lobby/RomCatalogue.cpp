#include "RomCatalogue.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#ifdef KHUB_HAVE_ISAL
#include <isa-l/crc.h>
#endif

namespace khub::rom {

namespace {

constexpr std::size_t kReadBlock = 1 << 20;

// Slicing-by-8 tables: table[0] is the classic byte table.
struct CrcTables {
    std::uint32_t t[8][256];
    CrcTables() {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (std::uint32_t i = 0; i < 256; ++i) {
            for (int s = 1; s < 8; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
        }
    }
};

const CrcTables& Tables() {
    static const CrcTables tables;
    return tables;
}

[[maybe_unused]] std::uint32_t Crc32Slicing(std::uint32_t crc, const unsigned char* p,
                                            std::size_t n) {
    const auto& t = Tables().t;
    std::uint32_t r = ~crc;
    while (n >= 8) {
        std::uint32_t lo = r ^ (std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                                std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24);
        std::uint32_t hi = std::uint32_t(p[4]) | std::uint32_t(p[5]) << 8 |
                           std::uint32_t(p[6]) << 16 | std::uint32_t(p[7]) << 24;
        r = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
        p += 8;
        n -= 8;
    }
    while (n--) r = (r >> 8) ^ t[0][(r ^ *p++) & 0xFF];
    return ~r;
}

struct DirCloser {
    void operator()(DIR* d) const {
        if (d) closedir(d);
    }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool StatFile(const std::string& path, struct stat& st) {
    return ::stat(path.c_str(), &st) == 0;
}

std::int64_t MtimeNs(const struct stat& st) {
    return std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

}  // namespace

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size) {
#ifdef KHUB_HAVE_ISAL
    return crc32_gzip_refl(crc, static_cast<const unsigned char*>(data), size);
#else
    return Crc32Slicing(crc, static_cast<const unsigned char*>(data), size);
#endif
}

std::uint32_t Crc32Bytewise(std::uint32_t crc, const void* data, std::size_t size) {
    const auto& t = Tables().t[0];
    const auto* p = static_cast<const unsigned char*>(data);
    std::uint32_t r = ~crc;
    for (std::size_t i = 0; i < size; ++i) r = (r >> 8) ^ t[(r ^ p[i]) & 0xFF];
    return ~r;
}

std::string CrcText(std::uint32_t crc) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(crc));
    return text;
}

std::optional<std::uint32_t> CrcOfFile(const std::string& path, const std::atomic<bool>* cancel) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    static thread_local std::unique_ptr<unsigned char[]> buffer(new unsigned char[kReadBlock]);
    std::uint32_t crc = 0;
    for (;;) {
        if (cancel && cancel->load(std::memory_order_relaxed)) {
            ::close(fd);
            return std::nullopt;
        }
        ssize_t got = ::read(fd, buffer.get(), kReadBlock);
        if (got < 0) {
            if (errno == EINTR) continue;
            std::fputs("error reading file\n", stderr);
            ::close(fd);
            return std::nullopt;
        }
        if (got == 0) break;
        crc = Crc32(crc, buffer.get(), static_cast<std::size_t>(got));
    }
    ::close(fd);
    return crc;
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

int CountRomDirFiles(const std::string& folder) {
    DirHandle dir(::opendir(folder.c_str()));
    if (!dir) return -1;
    int count = 0;
    while (dirent* e = ::readdir(dir.get())) {
        if (e->d_name[0] == '.') continue;
        struct stat st;
        if (StatFile(JoinPath(folder, e->d_name), st) && S_ISREG(st.st_mode)) ++count;
    }
    return count;
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
            e.size = std::stoll(line.substr(a + 1, b - a - 1));
            e.mtimeNs = std::stoll(line.substr(b + 1, c - b - 1));
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
            out << e.crc << '\t' << e.size << '\t' << e.mtimeNs << '\t' << path << '\n';
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
    struct stat before;
    if (!StatFile(path, before) || !S_ISREG(before.st_mode)) return {};
    auto it = entries_.find(path);
    if (it != entries_.end() && it->second.size == std::int64_t(before.st_size) &&
        it->second.mtimeNs == MtimeNs(before)) {
        return it->second.crc;
    }
    ++filesRead_;
    auto crc = CrcOfFile(path, cancel);
    if (!crc) {
        entries_.erase(path);
        return {};
    }
    std::string text = CrcText(*crc);
    // Remember it only if the file did not change while it was read.
    struct stat after;
    if (StatFile(path, after) && after.st_size == before.st_size &&
        MtimeNs(after) == MtimeNs(before)) {
        entries_[path] = Entry{std::int64_t(before.st_size), MtimeNs(before), text};
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

std::optional<std::string> FindRomByCrc(const std::string& folder, const std::string& wantedCrc,
                                        CrcCache& cache, const ScanCallbacks& cb,
                                        std::string* folderError) {
    auto fail = [&](int err) {
        if (folderError) *folderError = std::strerror(err);
        return std::nullopt;
    };
    DirHandle dir(::opendir(folder.c_str()));
    if (!dir) return fail(errno);
    int count = CountRomDirFiles(folder);
    if (count < 0) return fail(errno);
    if (cb.showProgress) cb.showProgress(true);
    int shown = -1;
    auto finish = [&] {
        if (cb.progress && shown != 0) cb.progress(0);
        if (cb.showProgress) cb.showProgress(false);
    };
    long visited = 0;
    std::map<std::string, bool> seen;
    bool complete = true;
    for (;;) {
        errno = 0;
        dirent* e = ::readdir(dir.get());
        if (!e) {
            if (int err = errno) {
                finish();
                return fail(err);
            }
            break;
        }
        if (cb.cancel && cb.cancel->load(std::memory_order_relaxed)) {
            complete = false;
            break;
        }
        std::string name = e->d_name;
        if (name != "." && name != "..") {
            std::string path = JoinPath(folder, name);
            struct stat st;
            if (StatFile(path, st) && S_ISREG(st.st_mode)) {
                seen[name] = true;
                std::string crc = cache.CrcTextOf(path, cb.cancel);
                if (!crc.empty() && crc == wantedCrc) {
                    finish();
                    return name;
                }
            }
        }
        visited += 100;
        long position = count == 0 ? visited : visited / count;
        int clamped = position > 100 ? 100 : static_cast<int>(position);
        if (clamped != shown && cb.progress) cb.progress(clamped);
        shown = clamped;
    }
    finish();
    // A folder removed or replaced while it was listed just ends the listing early.
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0) return fail(errno);
    if (!S_ISDIR(st.st_mode)) return fail(ENOTDIR);
    if (complete) cache.Prune(folder, seen);
    return std::nullopt;
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

#include "RomCatalogue.h"

#include <cstdio>
#include <memory>
#include <sstream>

#include "platform/Files.h"
#include "platform/Utf8Path.h"

namespace khub::rom {

namespace {

// Large reads, few calls per byte; small enough that the block is still in the core's cache
// when the CRC reads it back.
constexpr std::size_t kReadBlock = 256 << 10;

FileStamp StampFrom(const platform::FileInfo& info) {
    return FileStamp{info.size, info.mtimeNs};
}

struct StreamCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::optional<FileStamp> StampOf(const std::string& path) {
    auto info = platform::StatPath(path);
    if (!info || !info->regular) return std::nullopt;
    return StampFrom(*info);
}

FileRead ReadFileCrc(const std::string& path, const std::atomic<bool>* cancel,
                     const std::atomic<bool>* stop) {
    FileRead result;
    std::unique_ptr<std::FILE, StreamCloser> file(platform::OpenPlainStream(path));
    if (!file) return result;
    auto info = platform::StatStream(file.get());
    if (!info) return result;
    // The blocks are large: the stream's own buffer would only copy them once more.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    result.opened = true;
    result.stamp = StampFrom(*info);
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
        std::size_t got = std::fread(buffer.get(), 1, kReadBlock, file.get());
        if (got > 0) {
            crc = Crc32(crc, buffer.get(), got);
            continue;
        }
        bool failed = std::ferror(file.get()) != 0;
        if (failed) std::fputs("error reading file\n", stderr);
        // A read error of a file that held still stays an error: nothing to read again.
        auto now = platform::StatStream(file.get());
        result.steady = now && StampFrom(*now) == result.stamp;
        if (!failed) result.crc = crc;
        return result;
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
    return platform::PathExists(path);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (kPathSeparators.find(folder.back()) != std::string_view::npos) return folder + name;
    return folder + kPathSeparator + name;
}

std::string CrcCachePathFor(const std::string& settingsFilePath) {
    if (settingsFilePath.empty()) return {};
    std::size_t slash = settingsFilePath.find_last_of(kPathSeparators);
    std::string dir = slash == std::string::npos ? "." : settingsFilePath.substr(0, slash);
    return JoinPath(dir, "K-Hub-romcrc.cache");
}

bool CrcCache::Load() {
    if (path_.empty()) return false;
    auto content = platform::ReadWholeFile(path_);
    if (!content) return false;
    std::istringstream in(*content);
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
    std::ostringstream out;
    for (const auto& [path, e] : entries_) {
        if (path.find('\n') != std::string::npos) continue;
        out << e.crc << '\t' << e.stamp.size << '\t' << e.stamp.mtimeNs << '\t' << path << '\n';
    }
    // Replacing it whole keeps a reader from seeing half.
    return platform::ReplaceFileContent(path_, out.str());
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
                        p.find_first_of(kPathSeparators, prefix.size()) == std::string::npos;
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

}  // namespace khub::rom

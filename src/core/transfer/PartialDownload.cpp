#include "PartialDownload.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "lobby/RomCatalogue.h"
#include "platform/Files.h"

namespace khub::transfer {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

constexpr std::size_t kBlock = 256 * 1024;

// Whatever else than a plain file sits under a ROM's name is no ROM and must not hold the
// download up.
File OpenPlainFile(const std::string& path) {
    return File(platform::OpenPlainStream(path));
}

// True when the whole of prefix's content begins whole's content.
bool BeginsWith(const std::string& whole, const std::string& prefix) {
    File a = OpenPlainFile(prefix);
    File b = OpenPlainFile(whole);
    if (!a || !b) return false;
    std::vector<char> x(kBlock), y(kBlock);
    for (;;) {
        std::size_t n = std::fread(x.data(), 1, x.size(), a.get());
        if (n == 0) return std::ferror(a.get()) == 0;
        if (std::fread(y.data(), 1, n, b.get()) != n) return false;
        if (!std::equal(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(n), y.begin())) {
            return false;
        }
    }
}

// Fills an already open file with from's content; true when all of it was written.
bool CopyInto(const std::string& from, std::FILE* to) {
    File in = OpenPlainFile(from);
    if (!in) return false;
    std::vector<char> block(kBlock);
    for (;;) {
        std::size_t n = std::fread(block.data(), 1, block.size(), in.get());
        if (n == 0) return std::ferror(in.get()) == 0 && std::fflush(to) == 0;
        if (std::fwrite(block.data(), 1, n, to) != n) return false;
    }
}

}  // namespace

std::int64_t FileSizeOf(const std::string& path) {
    auto info = platform::StatPath(path);
    return info ? info->size : -1;
}

FolderLook LookAtFolder(const std::string& path, const std::string& partialPath,
                        std::int64_t offeredSize) {
    FolderLook look;
    if (std::int64_t size = FileSizeOf(path); size >= 0) look.existingSize = size;
    if (std::int64_t size = FileSizeOf(partialPath); size >= 0) look.partialSize = size;
    if (look.existingSize && *look.existingSize == offeredSize) {
        look.existingCrc = rom::CrcTextOfFile(path);
    }
    if (look.existingSize && look.partialSize && *look.partialSize >= *look.existingSize &&
        *look.partialSize <= offeredSize) {
        look.partialContinuesExisting = BeginsWith(partialPath, path);
    }
    return look;
}

std::FILE* OpenReceiveTarget(const ReceivePlan& plan, const std::string& path,
                             const std::string& partialPath) {
    File file;
    switch (plan.start) {
        case ReceiveStart::Complete:
            file = OpenPlainFile(path);
            break;
        case ReceiveStart::Fresh:
            file.reset(platform::OpenStream(partialPath, "wb"));
            break;
        case ReceiveStart::ContinuePartial:
            file.reset(platform::OpenStream(partialPath, "r+b"));
            break;
        case ReceiveStart::CopyExisting:
            file.reset(platform::OpenStream(partialPath, "w+b"));
            if (file && !CopyInto(path, file.get())) {
                file.reset();
                platform::RemoveFile(partialPath);  // a cut copy is nobody's download
                return nullptr;
            }
            break;
        case ReceiveStart::Larger:
        case ReceiveStart::OtherContent:
            return nullptr;
    }
    if (!file || !platform::SeekStream(file.get(), static_cast<std::int64_t>(plan.position))) {
        return nullptr;
    }
    return file.release();
}

}  // namespace khub::transfer

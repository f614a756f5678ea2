#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>

#include "LobbyHarness.h"
#include "lobby/Crc32.h"
#include "lobby/RomCatalogue.h"
#include "platform/System.h"
#include "support/RandomBytes.h"

#ifndef _WIN32
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace khub::rom {
namespace {

using khub::test::RandomBytes;
using khub::testing::TempDir;
using khub::testing::WriteFile;
namespace fs = std::filesystem;

// A ROM folder of count files of random content of the given size, each known by its place
// in the listing: content written later keeps the names, and so the order.
class ListedFolder {
  public:
    ListedFolder(int count, std::size_t size) : roms_(dir_.path() / "roms") {
        std::filesystem::create_directory(roms_);
        for (int i = 0; i < count; ++i) WriteFile(roms_ / ("rom" + std::to_string(i) + ".smc"), "");
        for (const auto& e : std::filesystem::directory_iterator(roms_)) {
            order_.push_back(e.path().filename().string());
        }
        for (int place = 0; place < count; ++place) {
            WriteFile(Path(place), RandomBytes(size, unsigned(place) + 100));
        }
    }
    std::string Folder() const { return roms_.string(); }
    const std::string& Name(int place) const { return order_.at(place); }
    std::filesystem::path Path(int place) const { return roms_ / Name(place); }

  private:
    TempDir dir_;
    std::filesystem::path roms_;
    std::vector<std::string> order_;
};

TEST(CrcTest, KnownValuesAndChaining) {
    TempDir dir;
    WriteFile(dir.path() / "empty", "");
    EXPECT_EQ(CrcTextOfFile((dir.path() / "empty").string()), "00000000");
    EXPECT_EQ(CrcTextOfFile((dir.path() / "missing").string()), "");
    EXPECT_EQ(CrcTextOfFile(dir.path().string()), "");  // a folder cannot be read
#ifndef _WIN32  // FIFOs and devices in the file system are POSIX's
    // Neither a FIFO without a writer nor an endless device holds the caller up.
    ASSERT_EQ(::mkfifo((dir.path() / "fifo").c_str(), 0644), 0);
    EXPECT_EQ(CrcTextOfFile((dir.path() / "fifo").string()), "");
    EXPECT_EQ(CrcTextOfFile("/dev/zero"), "");
#endif

    // Both fast CRCs (the build's own, and the portable one that builds without ISA-L use)
    // agree with the byte loop on odd lengths, alignments and in pieces, and a file of more
    // than one read block gives the CRC of its whole content.
    std::string data = RandomBytes((3 << 20) + 13, 7);
    std::uint32_t whole = Crc32Bytewise(0, data.data(), data.size());
    for (auto [name, crc32] :
         {std::pair{"Crc32", &Crc32}, std::pair{"Crc32Portable", &Crc32Portable}}) {
        SCOPED_TRACE(name);
        for (std::size_t len : {1u, 7u, 8u, 9u, 63u, 4097u}) {
            for (std::size_t off : {0u, 1u, 3u}) {
                EXPECT_EQ(crc32(0, data.data() + off, len),
                          Crc32Bytewise(0, data.data() + off, len));
            }
        }
        EXPECT_EQ(crc32(crc32(0, data.data(), 1000), data.data() + 1000, data.size() - 1000),
                  whole);
    }
    WriteFile(dir.path() / "big", data);
    EXPECT_EQ(CrcTextOfFile((dir.path() / "big").string()), CrcText(whole));
}

TEST(RomFolderTest, ScanFindsByCrcWithProgressAndReportsAFolderGone) {
    TempDir dir;
    WriteFile(dir.path() / "one.smc", "one");
    WriteFile(dir.path() / "two.smc", "two");
    WriteFile(dir.path() / ".hidden.smc", "123456789");  // examined although not counted
    fs::create_directory(dir.path() / "sub");
    EXPECT_EQ(CountRomDirFiles(dir.path().string()), 2);
    EXPECT_EQ(CountRomDirFiles((dir.path() / "nope").string()), -1);
    EXPECT_TRUE(FileExists((dir.path() / "one.smc").string()));
    EXPECT_FALSE(FileExists((dir.path() / "b.smc").string()));
    CrcCache cache;
    std::vector<int> positions;
    std::vector<bool> shown;
    ScanCallbacks cb;
    cb.progress = [&](int p) { positions.push_back(p); };
    cb.showProgress = [&](bool v) { shown.push_back(v); };

    EXPECT_EQ(FindRomByCrc(dir.path().string(), "CBF43926", cache, cb), ".hidden.smc");
    EXPECT_EQ(shown, (std::vector<bool>{true, false}));

    positions.clear();
    EXPECT_EQ(FindRomByCrc(dir.path().string(), "00000000", cache, cb), std::nullopt);
    // ".", "..", a folder and three files over a count of two: the bar passes full and stays.
    EXPECT_EQ(*std::max_element(positions.begin(), positions.end()), 100);

    // A folder that is missing, a file, or removed halfway through the listing is reported,
    // not taken for a folder without the ROM.
    auto missing =
        CheckWantedRom((dir.path() / "nope").string(), "X.smc", "CBF43926", cache, {}, nullptr);
    WriteFile(dir.path() / "file", "not a folder");
    auto file = CheckWantedRom((dir.path() / "file").string(), "X", "CBF43926", cache, {}, nullptr);
    if (platform::kWindowsBuild) {  // in the system's own words, which vary by version
        EXPECT_NE(missing.folderError, "");
        EXPECT_NE(file.folderError, "");
        return;  // and a folder whose files are open cannot be removed
    }
    EXPECT_EQ(missing.folderError, std::strerror(ENOENT));
    EXPECT_EQ(file.folderError, std::strerror(ENOTDIR));

    ListedFolder roms(20, 100);
    int calls = 0;
    cb.progress = [&](int) {
        if (++calls == 3) fs::remove_all(roms.Folder());
    };
    std::string error;
    EXPECT_EQ(FindRomByCrc(roms.Folder(), "CBF43926", cache, cb, &error), std::nullopt);
    EXPECT_GE(calls, 3);
    EXPECT_EQ(error, std::strerror(ENOENT));
}

TEST(RomFolderTest, CacheAnswersAgainButNeverForAChangedFile) {
    TempDir dir;
    ListedFolder roms(5, 1000);
    std::string cachePath = CrcCachePathFor((dir.path() / "K-Hub.ini").string());
    {
        CrcCache cache(cachePath);
        EXPECT_EQ(FindRomByCrc(roms.Folder(), "00000000", cache, {}), std::nullopt);
        EXPECT_EQ(cache.FilesRead(), 5u);
        ASSERT_TRUE(cache.Save());
    }
    CrcCache warm(cachePath);
    ASSERT_TRUE(warm.Load());
    std::string third = CrcTextOfFile(roms.Path(3).string());
    EXPECT_EQ(FindRomByCrc(roms.Folder(), third, warm, {}), roms.Name(3));
    EXPECT_EQ(warm.FilesRead(), 0u);

    // Same size, new content and a new time: read again, the old CRC no longer matches.
    WriteFile(roms.Path(3), RandomBytes(1000, 99));
    fs::last_write_time(roms.Path(3), fs::file_time_type(std::chrono::seconds(12345)));
    EXPECT_EQ(FindRomByCrc(roms.Folder(), third, warm, {}), std::nullopt);
    EXPECT_EQ(warm.FilesRead(), 1u);
}

#ifndef _WIN32  // the read-ahead is watched with inotify
// The folder scan reads files ahead on other threads; its answer must still be the one a
// scan reading one file after another in listing order gives: the first match in the listing,
// passing over what cannot be read.

// Any content followed by its own CRC (little-endian) has this CRC.
const std::string kSharedCrc = "2144DF1C";
std::string WithSharedCrc(std::string content) {
    std::uint32_t crc = rom::Crc32Bytewise(0, content.data(), content.size());
    for (int i = 0; i < 4; ++i) content.push_back(static_cast<char>(crc >> (8 * i)));
    return content;
}

// Tells when a reader has closed a file of the folder, so a test can act between the read
// made ahead and the file's turn in the scan.
class CloseWatch {
  public:
    explicit CloseWatch(const std::string& folder) : fd_(::inotify_init1(IN_CLOEXEC)) {
        ::inotify_add_watch(fd_, folder.c_str(), IN_CLOSE_NOWRITE);
    }
    ~CloseWatch() { ::close(fd_); }
    // False when name was not closed within ten seconds.
    bool WaitFor(const std::string& name) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        alignas(inotify_event) char buf[4096];
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            ssize_t n = ::read(fd_, buf, sizeof buf);
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buf + at);
                if (event->len && name == event->name) return true;
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        return false;
    }

  private:
    int fd_;
};

enum class Entry { Match, LargeMatch, ReadError, Folder, Fifo, DanglingLink };

void Make(const ListedFolder& folder, int place, Entry kind) {
    fs::path path = folder.Path(place);
    if (kind == Entry::Match || kind == Entry::LargeMatch) {
        std::size_t size = kind == Entry::Match ? 100 + place : 3 << 20;
        return WriteFile(path, WithSharedCrc(RandomBytes(size, unsigned(place))));
    }
    fs::remove(path);
    if (kind == Entry::ReadError) fs::create_symlink("/proc/self/mem", path);  // reads fail: EIO
    if (kind == Entry::Folder) fs::create_directory(path);
    // A reader that opened the FIFO would wait for a writer forever.
    if (kind == Entry::Fifo && ::mkfifo(path.c_str(), 0644) != 0) ADD_FAILURE() << "no FIFO";
    if (kind == Entry::DanglingLink) fs::create_symlink("nowhere", path);
}

TEST(RomScanTest, AnswersAsTheOneByOneScan) {
    struct Case {
        const char* name;
        int files;
        std::map<int, Entry> entries;  // by place in the listing; the others: random content
        int firstMatch;                // place, -1 for none
    } cases[] = {
        {"the first of several matches wins though it is read last",
         24,
         {{5, Entry::LargeMatch}, {6, Entry::Match}, {7, Entry::Match}, {19, Entry::Match}},
         5},
        {"entries that cannot be read are passed over",
         16,
         {{1, Entry::ReadError},
          {2, Entry::Folder},
          {3, Entry::Fifo},
          {4, Entry::DanglingLink},
          {9, Entry::Match},
          {12, Entry::Match}},
         9},
        {"a match at the start leaves the rest unread", 40, {{0, Entry::Match}}, 0},
        {"no match", 20, {{3, Entry::ReadError}, {8, Entry::Folder}}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ListedFolder folder(c.files, 1000);
        for (const auto& [place, kind] : c.entries) Make(folder, place, kind);
        auto expected =
            c.firstMatch < 0 ? std::nullopt : std::optional<std::string>(folder.Name(c.firstMatch));

        std::vector<int> positions;
        ScanCallbacks cb;
        cb.progress = [&](int position) { positions.push_back(position); };
        CrcCache cache;
        EXPECT_EQ(FindRomByCrc(folder.Folder(), kSharedCrc, cache, cb), expected);
        // The bar moves forward only, then goes back to 0 at the end.
        ASSERT_FALSE(positions.empty());
        EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end() - 1));
        EXPECT_EQ(positions.back(), 0);
        // A second scan answers from the cache; only files that gave read errors are tried again.
        std::size_t retried = std::count_if(c.entries.begin(), c.entries.end(), [&](const auto& e) {
            return e.second == Entry::ReadError && (c.firstMatch < 0 || e.first < c.firstMatch);
        });
        std::size_t read = cache.FilesRead();
        EXPECT_EQ(FindRomByCrc(folder.Folder(), kSharedCrc, cache, {}), expected);
        EXPECT_EQ(cache.FilesRead() - read, retried);
    }
}

// The file at place 4 changes after a reader has read it, before its turn: the scan must
// answer for the file as it is at its turn, as a scan reading one by one would.
TEST(RomScanTest, AFileChangedAfterItWasReadAheadCountsAsItIsAtItsTurn) {
    struct Case {
        const char* name;
        std::string before, after;
        int firstMatch;
    } cases[] = {
        {"no longer the ROM", WithSharedCrc(RandomBytes(300, 1)), RandomBytes(500, 2), 9},
        {"now the ROM", RandomBytes(300, 3), WithSharedCrc(RandomBytes(500, 4)), 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ListedFolder folder(12, 2000);
        WriteFile(folder.Path(4), c.before);
        WriteFile(folder.Path(9), WithSharedCrc(RandomBytes(300, 5)));
        CloseWatch watch(folder.Folder());
        bool readAhead = false;
        int calls = 0;
        ScanCallbacks cb;
        cb.progress = [&](int) {
            if (++calls != 1) return;
            readAhead = watch.WaitFor(folder.Name(4));
            WriteFile(folder.Path(4), c.after);
        };
        CrcCache cache;
        EXPECT_EQ(FindRomByCrc(folder.Folder(), kSharedCrc, cache, cb), folder.Name(c.firstMatch));
        EXPECT_TRUE(readAhead) << "the scan did not read the file ahead of its turn";
    }
}

TEST(RomScanTest, ACancelledScanEndsWithoutAnAnswer) {
    struct Case {
        const char* name;
        std::size_t fileSize;
        int romPlace;
        bool cancelBeforeStart;
        bool waitUntilTheRomWasRead;
    } cases[] = {
        {"before it starts", 2000, 0, true, false},
        {"when the ROM was already read ahead", 2000, 3, false, true},
        {"amid large files", 4 << 20, 7, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ListedFolder folder(8, c.fileSize);
        WriteFile(folder.Path(c.romPlace), WithSharedCrc(RandomBytes(c.fileSize, 1)));
        CloseWatch watch(folder.Folder());
        std::atomic<bool> cancel{c.cancelBeforeStart};
        bool romRead = false;
        std::vector<bool> shown;
        ScanCallbacks cb;
        cb.cancel = &cancel;
        cb.showProgress = [&](bool visible) { shown.push_back(visible); };
        cb.progress = [&](int) {
            if (c.waitUntilTheRomWasRead && !romRead)
                romRead = watch.WaitFor(folder.Name(c.romPlace));
            cancel = true;
        };
        CrcCache cache;
        EXPECT_EQ(FindRomByCrc(folder.Folder(), kSharedCrc, cache, cb), std::nullopt);
        EXPECT_EQ(romRead, c.waitUntilTheRomWasRead);
        EXPECT_LE(cache.FilesRead(), 1u) << "the scan went on after the cancel";
        ASSERT_FALSE(shown.empty());
        EXPECT_FALSE(shown.back());
    }
}

#endif

}  // namespace
}  // namespace khub::rom

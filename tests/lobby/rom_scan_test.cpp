// The folder scan reads files ahead on other threads; its answer must still be the one a
// scan reading one file after another in listing order gives: the first match in the listing,
// passing over what cannot be read.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>

#include "RomFolderFixture.h"
#include "lobby/RomCatalogue.h"

namespace khub::rom {
namespace {

using namespace khub::testing;
namespace fs = std::filesystem;

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
    unsigned seed = unsigned(place);
    switch (kind) {
        case Entry::Match:
            return WriteFile(path, WithSharedCrc(RandomBytes(100 + place, seed)));
        case Entry::LargeMatch:
            return WriteFile(path, WithSharedCrc(RandomBytes(3 << 20, seed)));
        default:
            break;
    }
    fs::remove(path);
    switch (kind) {
        case Entry::ReadError:  // opens, and every read fails with EIO
            fs::create_symlink("/proc/self/mem", path);
            break;
        case Entry::Folder:
            fs::create_directory(path);
            break;
        case Entry::Fifo:  // a reader that opened it would wait for a writer forever
            ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
            break;
        default:
            fs::create_symlink("nowhere", path);
            break;
    }
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

}  // namespace
}  // namespace khub::rom

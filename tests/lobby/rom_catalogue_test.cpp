#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "RomFolderFixture.h"
#include "lobby/RomCatalogue.h"
#include "platform/System.h"

namespace khub::rom {
namespace {

using khub::testing::ListedFolder;
using khub::testing::RandomBytes;
using khub::testing::TempDir;
using khub::testing::WriteFile;
namespace fs = std::filesystem;

TEST(CrcTest, KnownValuesAndChaining) {
    TempDir dir;
    WriteFile(dir.path() / "empty", "");
    WriteFile(dir.path() / "digits", "123456789");
    EXPECT_EQ(CrcTextOfFile((dir.path() / "empty").string()), "00000000");
    EXPECT_EQ(CrcTextOfFile((dir.path() / "digits").string()), "CBF43926");
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
    ASSERT_FALSE(positions.empty());
    EXPECT_EQ(positions.back(), 0);

    positions.clear();
    EXPECT_EQ(FindRomByCrc(dir.path().string(), "00000000", cache, cb), std::nullopt);
    // ".", "..", a folder and three files over a count of two: the bar passes full and stays.
    EXPECT_EQ(positions.back(), 0);
    EXPECT_EQ(*std::max_element(positions.begin(), positions.end()), 100);

    // A folder that is missing, a file, or removed halfway through the listing is reported,
    // not taken for a folder without the ROM.
    auto missing =
        CheckWantedRom((dir.path() / "nope").string(), "X.smc", "CBF43926", cache, {}, nullptr);
    EXPECT_FALSE(missing.found);
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

}  // namespace
}  // namespace khub::rom

// The platform's file calls with names that are not ASCII: on Windows every one of them
// must reach the system as UTF-16, or these names turn into question marks.

#include "platform/Files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "ircu/TempDir.h"
#include "lobby/RomCatalogue.h"
#include "platform/Utf8Path.h"

namespace khub {
namespace {

TEST(PlatformFiles, NonAsciiNamesEndToEnd) {
    test::TempDir dir;
    const std::string folder = rom::JoinPath(Utf8FromPath(dir.path()), "Игры ゲーム");
    ASSERT_TRUE(std::filesystem::create_directory(PathFromUtf8(folder)));
    const std::string name = "Pokémon Stadium (J).smc";
    const std::string rom = rom::JoinPath(folder, name);
    ASSERT_TRUE(platform::ReplaceFileContent(rom, "123456789"));

    auto listed = platform::ListFolder(folder);
    ASSERT_TRUE(listed);
    int found = 0;
    for (const auto& e : *listed) found += e.name == name;
    EXPECT_EQ(found, 1);
    EXPECT_EQ(rom::CountRomDirFiles(folder), 1);
    auto info = platform::StatPath(rom);
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->regular);
    EXPECT_EQ(info->size, 9);
    EXPECT_EQ(rom::CrcTextOfFile(rom), "CBF43926");
    rom::CrcCache cache;
    EXPECT_EQ(rom::FindRomByCrc(folder, "CBF43926", cache, {}), name);

    // The host's name for the same ROM, and back; a taken name is never replaced.
    const std::string hosts = rom::JoinPath(folder, "ポケモンスタジアム.smc");
    std::string error;
    ASSERT_TRUE(platform::RenameNoReplace(rom, hosts, &error)) << error;
    EXPECT_FALSE(platform::PathExists(rom));
    ASSERT_TRUE(platform::ReplaceFileContent(rom, "other"));
    EXPECT_FALSE(platform::RenameNoReplace(hosts, rom, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(platform::ReadWholeFile(rom), "other");
    EXPECT_EQ(platform::ReadWholeFile(hosts), "123456789");
}

}  // namespace
}  // namespace khub

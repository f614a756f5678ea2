#pragma once
// ROM folders for the catalogue's tests: random contents, files of any size that share one
// CRC, and folders whose files are known by their place in the listing.

#include <filesystem>
#include <string>
#include <vector>

#include "LobbyHarness.h"
#include "lobby/Crc32.h"
#include "support/RandomBytes.h"

namespace khub::testing {

using khub::test::RandomBytes;

// Any content followed by its own CRC (little-endian) has this CRC.
inline const std::string kSharedCrc = "2144DF1C";
inline std::string WithSharedCrc(std::string content) {
    std::uint32_t crc = rom::Crc32Bytewise(0, content.data(), content.size());
    for (int i = 0; i < 4; ++i) content.push_back(static_cast<char>(crc >> (8 * i)));
    return content;
}

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

}  // namespace khub::testing

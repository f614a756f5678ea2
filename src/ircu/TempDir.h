#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it when
// the object goes.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>

namespace khub::test {

class TempDir {
  public:
    TempDir() : TempDir("khub-test") {}
    // tag names the folder ("<tag>-XXXXXX"), which helps when one is left behind.
    explicit TempDir(const std::string& tag) {
        // As mkdtemp does, which not every system has: a new folder under a random name.
        static constexpr char kLetters[] =
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = tag + "-";
            for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
            path_ = std::filesystem::temp_directory_path() / name;
            if (std::filesystem::create_directory(path_)) return;
        }
        throw std::runtime_error("no new temporary folder");
    }
    ~TempDir() {
        std::error_code ec;
        // A test may have taken permissions away; give them back so everything goes.
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    std::string operator/(const std::string& name) const { return File(name); }
    // Writes bytes to a file in the folder (folders on the way are made); returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::filesystem::path file = path_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }

  private:
    std::filesystem::path path_;
};

inline std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace khub::test

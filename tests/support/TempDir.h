#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it when
// the object goes.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace khub::test {

class TempDir {
  public:
    explicit TempDir(const std::string& tag = "khub-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    std::string operator/(const std::string& name) const { return File(name); }
    // Writes text to a file in the folder (folders on the way are made); returns its path.
    std::string Write(const std::string& name, const std::string& text) const;

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

#pragma once
// A fresh folder under the system's temp folder, removed with everything in it at the end.

#include <filesystem>
#include <string>

namespace khub::test {

class TempDir {
  public:
    explicit TempDir(const std::string& tag = "khub");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    // Writes text to a file in the folder (folders on the way are made); returns its path.
    std::string Write(const std::string& name, const std::string& text) const;

  private:
    std::filesystem::path path_;
};

}  // namespace khub::test

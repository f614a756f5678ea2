#include "support/TempDir.h"

#include <stdlib.h>

#include <fstream>
#include <stdexcept>
#include <vector>

namespace khub::test {

TempDir::TempDir(const std::string& tag) {
    std::string pattern = (std::filesystem::temp_directory_path() / (tag + "-XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed for " + pattern);
    path_ = buffer.data();
}

TempDir::~TempDir() {
    std::error_code ignored;
    // A test may have taken permissions away; give them back so everything goes.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string& name, const std::string& text) const {
    std::filesystem::path file = path_ / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << text;
    return file.string();
}

}  // namespace khub::test

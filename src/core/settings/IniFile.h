#pragma once
// A small INI reader and writer with the properties the program relies on: section and
// key names match without regard to case, blanks around a value are not part of it, the
// first of duplicate sections or keys wins, and a write changes one value in place and
// leaves every other byte of the file as it was. Values are single-line byte texts with
// no escaping. Each file has one lock, so readers and writers on several threads never
// see half a write.

#include <optional>
#include <string>
#include <string_view>

namespace khub {

namespace ini {

// The value of section/key in the file at path, or nullopt when the file, the section or
// the key is missing or the file cannot be read.
std::optional<std::string> Read(const std::string& path, std::string_view section,
                                std::string_view key);

// Sets section/key to value, creating the file, the section and the key as needed.
// Returns false and leaves the file as it was when the value cannot be stored (a line
// break or NUL in it, a name that the format cannot hold) or the file cannot be written.
bool Write(const std::string& path, std::string_view section, std::string_view key,
           std::string_view value);

// The text-level operations the two above run on, for tests and fuzzing.
std::optional<std::string> Lookup(std::string_view content, std::string_view section,
                                  std::string_view key);
std::optional<std::string> WithValue(std::string_view content, std::string_view section,
                                     std::string_view key, std::string_view value);

}  // namespace ini

}  // namespace khub

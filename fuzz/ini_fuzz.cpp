// The settings file is edited by hand and by other programs: reading any bytes must work,
// and a write of one value must read back and leave every other value as it was.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "settings/IniFile.h"

using namespace khub;

namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z') y += 'a' - 'A';
        if (x != y) return false;
    }
    return true;
}

std::string TrimBlanks(std::string s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.erase(0, 1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::string section = in.ConsumeRandomLengthString(24);
    std::string key = in.ConsumeRandomLengthString(24);
    std::string value = in.ConsumeRandomLengthString(64);
    std::string otherSection = in.ConsumeRandomLengthString(24);
    std::string otherKey = in.ConsumeRandomLengthString(24);
    std::string content = in.ConsumeRemainingBytesAsString();

    auto before = ini::Lookup(content, otherSection, otherKey);
    (void)ini::Lookup(content, section, key);

    auto updated = ini::WithValue(content, section, key, value);
    if (!updated) return 0;
    // The program names its sections and keys without surrounding blanks; only for those
    // is "the value reads back" a promise.
    if (TrimBlanks(section) != section || TrimBlanks(key) != key) return 0;

    auto readBack = ini::Lookup(*updated, section, key);
    FUZZ_CHECK(readBack.has_value());
    FUZZ_CHECK(*readBack == TrimBlanks(value));

    if (!(EqualNoCase(section, otherSection) && EqualNoCase(key, otherKey))) {
        FUZZ_CHECK(ini::Lookup(*updated, otherSection, otherKey) == before);
    }
    // Writing the same value again changes nothing (a value with outer blanks would gain
    // the blanks kept before it, which the reader drops anyway).
    if (TrimBlanks(value) == value) {
        auto again = ini::WithValue(*updated, section, key, value);
        FUZZ_CHECK(again && *again == *updated);
    }
    return 0;
}

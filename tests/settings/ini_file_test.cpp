// The settings file: the lookup and the edit of one value in the text, the file on disk,
// and the typed values the program reads and writes through CIni.

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ircu/TempDir.h"
#include "settings/CIni.h"
#include "settings/IniFile.h"
#include "settings/SettingsKeys.h"

namespace ini = khub::ini;
namespace keys = khub::keys;
using khub::CIni;
using khub::test::ReadFileBytes;
using khub::test::TempDir;
using khub::test::WriteFileBytes;
using namespace std::string_literals;  // "..."s keeps NUL bytes

namespace {

struct LookupCase {
    const char* name;
    std::string content;
    const char* section;
    const char* key;
    std::optional<std::string> expected;
};

TEST(IniLookup, FindsTheValueAsTheProfileCallsDo) {
    const LookupCase cases[] = {
        {"CaseIgnoredFromAToZ", "[Az]\naZ=1\n", "aZ", "Az", "1"},
        {"BlanksAroundKeyAndValueTrimmed", "[options]\n \tplayername \t=  Al Bo \t\n", "options",
         "playername", "Al Bo"},
        {"BlanksInsideBrackets", "[ host ]\nIP=1.2.3.4\n", "host", "IP", "1.2.3.4"},
        {"MissingSection", "[options]\nretries=3\n", "host", "retries", std::nullopt},
        {"KeyOfAnotherSection", "[host]\nretries=3\n[options]\n", "options", "retries",
         std::nullopt},
        {"MissingKey", "[options]\nretries=3\n", "options", "rompath", std::nullopt},
        {"FirstDuplicateKeyWins", "[options]\nretries=1\nretries=2\n", "options", "retries", "1"},
        {"FirstDuplicateSectionWins", "[options]\nretries=1\n[OPTIONS]\nretries=2\n", "options",
         "retries", "1"},
        {"LaterDuplicateSectionStillRead", "[options]\na=1\n[options]\nretries=2\n", "options",
         "retries", "2"},
        {"LineWithoutEqualsIgnored", "[options]\nretries\nretries=4\n", "options", "retries", "4"},
        {"CommentLineIgnored", "[options]\n;retries=9\nretries=4\n", "options", "retries", "4"},
        {"KeysBeforeAnySectionBelongToNone", "retries=9\n[options]\n", "options", "retries",
         std::nullopt},
        {"ValueKeepsLaterEquals", "[options]\nonconnect=MODE x=y\n", "options", "onconnect",
         "MODE x=y"},
        {"NoEscaping", "[options]\nblacklist=a\\b,c;d \"e\" \xe9\xff\x80\n", "options", "blacklist",
         "a\\b,c;d \"e\" \xe9\xff\x80"},
        {"ByteOrderMarkBeforeFirstSection", "\xEF\xBB\xBF[options]\nretries=7\n", "options",
         "retries", "7"},
        {"LastLineWithoutLineEnd", "[options]\nretries=7", "options", "retries", "7"},
        {"BinaryGarbageAround", "\x00\x01\xff[\x00]\n\x7f=\x02\n[options]\nretries=6\n\x00\xfe"s,
         "options", "retries", "6"}};
    for (const auto& c : cases) {
        EXPECT_EQ(ini::Lookup(c.content, c.section, c.key), c.expected) << c.name;
    }
}

class IniOnDisk : public ::testing::Test {
  protected:
    TempDir dir;
    std::string path = dir.File("K-Hub.ini");
};

struct WriteCase {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    std::string value;
    std::string after;
};

// Each row's file on disk, byte for byte: line ends and odd bytes are not translated.
TEST_F(IniOnDisk, WriteChangesOnlyTheOneValue) {
    const WriteCase cases[] = {
        {"NewFile", "", "options", "startport", "4000", "[options]\nstartport=4000\n"},
        {"ReplaceInPlaceKeepingEverythingElse",
         "; my settings\r\n[Options]\r\n  PlayerName =  old name \r\nodd line\r\n\r\n"
         "[host]\r\nIP=1.2.3.4",
         "options", "playername", "new",
         "; my settings\r\n[Options]\r\n  PlayerName =  new\r\nodd line\r\n\r\n"
         "[host]\r\nIP=1.2.3.4"},
        {"NewKeyAfterTheSectionsLastLine", "[options]\nrompath=/r\n\n[host]\nIP=1\n", "options",
         "endport", "4010", "[options]\nrompath=/r\nendport=4010\n\n[host]\nIP=1\n"},
        {"NewKeyInSectionAtEndWithoutLineEnd", "[options]\nrompath=/r", "options", "endport",
         "4010", "[options]\nrompath=/r\nendport=4010\n"},
        {"NewSectionInCrLfFile", "[options]\r\nrompath=/r", "host", "playsound", "1",
         "[options]\r\nrompath=/r\r\n[host]\r\nplaysound=1\r\n"},
        {"FirstOfDuplicateSectionsTakesTheKey", "[host]\na=1\n[host]\nb=2\n", "HOST", "c", "3",
         "[host]\na=1\nc=3\n[host]\nb=2\n"},
        {"FirstOfDuplicateKeysChanged", "[host]\na=1\na=2\n", "host", "A", "9",
         "[host]\na=9\na=2\n"},
        {"BytesKeptAsWritten", "[options]\nblacklist=x\n", "options", "blacklist",
         "a\\b,c;d \xe9\xff", "[options]\nblacklist=a\\b,c;d \xe9\xff\n"},
        {"ByteOrderMarkKept", "\xEF\xBB\xBF[options]\nretries=1\n", "options", "retries", "2",
         "\xEF\xBB\xBF[options]\nretries=2\n"},
        {"GarbageLinesUntouched", "[options]\n\x00\x01=\xff\nretries=1\n"s, "options", "retries",
         "2", "[options]\n\x00\x01=\xff\nretries=2\n"s}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFileBytes(path, c.before);
        ASSERT_TRUE(ini::Write(path, c.section, c.key, c.value));
        EXPECT_EQ(ReadFileBytes(path), c.after);
        EXPECT_EQ(ini::Read(path, c.section, c.key), c.value);
    }
}

TEST(IniWithValue, RefusesWhatTheFormatCannotHoldOnOneLine) {
    const std::string file = "[options]\nretries=1\n";
    EXPECT_FALSE(ini::WithValue(file, "options", "retries", "1\r\nretries=2"));
    EXPECT_FALSE(ini::WithValue(file, "options", "retries", "1\n[host]"));
    EXPECT_FALSE(ini::WithValue(file, "options", "retries", std::string("1\0002", 3)));
    EXPECT_FALSE(ini::WithValue(file, "opt]ions", "retries", "1"));
    EXPECT_FALSE(ini::WithValue(file, "options", "a=b", "1"));
    EXPECT_FALSE(ini::WithValue(file, "options", " [x]", "1"));
    EXPECT_FALSE(ini::WithValue(file, "options", ";x", "1"));
    EXPECT_FALSE(ini::WithValue(file, "options", "", "1"));
    EXPECT_FALSE(ini::WithValue(file, "", "retries", "1"));
}

// In a missing folder, or with a folder in the file's place: nothing read, nothing made.
// A read-only file is read and stays as it was.
TEST_F(IniOnDisk, WhatCannotBeWrittenStaysAsItWas) {
    const std::string folder = dir.File("folder.ini");
    std::filesystem::create_directory(folder);
    for (const std::string& p : {dir.File("gone/K-Hub.ini"), folder}) {
        EXPECT_EQ(ini::Read(p, "options", "retries"), std::nullopt) << p;
        EXPECT_FALSE(ini::Write(p, "options", "retries", "3")) << p;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "gone"));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    WriteFileBytes(path, "[options]\nretries=1\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
    EXPECT_FALSE(ini::Write(path, "options", "retries", "2"));
    EXPECT_EQ(ReadFileBytes(path), "[options]\nretries=1\n");
    EXPECT_EQ(ini::Read(path, "options", "retries"), "1");
}

TEST_F(IniOnDisk, ConcurrentWritersLoseNoWrite) {
    // Each thread owns some keys and writes them over and over; other threads read all the
    // while. Half of the threads name the file by another spelling of the same path.
    constexpr int kThreads = 6, kKeys = 3, kRounds = 6;
    std::string otherSpelling = (dir.path() / "." / "K-Hub.ini").string();
    auto section = [](int t) { return t % 3 ? "options" : "host"; };
    auto key = [](int t, int k) { return "k" + std::to_string(t) + "_" + std::to_string(k); };
    std::vector<std::thread> threads;
    std::atomic<bool> failed{false};
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const std::string& p = t % 2 ? otherSpelling : path;
            for (int r = 0; r < kRounds; ++r) {
                for (int k = 0; k < kKeys; ++k) {
                    if (!ini::Write(p, section(t), key(t, k), std::to_string(r))) failed = true;
                }
                // A key written earlier by this thread is always there.
                if (r > 0 && !ini::Read(p, section(t), key(t, 0))) failed = true;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_FALSE(failed);
    for (int t = 0; t < kThreads; ++t) {
        for (int k = 0; k < kKeys; ++k) {
            EXPECT_EQ(ini::Read(path, section(t), key(t, k)), std::to_string(kRounds - 1))
                << key(t, k);
        }
    }
    auto all = std::filesystem::directory_iterator(dir.path());
    EXPECT_EQ(std::distance(begin(all), end(all)), 1) << "a temporary file was left behind";
}

class CIniTest : public IniOnDisk {
  protected:
    // A file holding one [options] value for key "v".
    CIni WithValue(const std::string& value) {
        WriteFileBytes(path, "[options]\nv=" + value + "\n");
        return CIni(path);
    }
};

// A value read whole, however long (the file is read in pieces); the default only for none.
TEST_F(CIniTest, ValuesWholeAndDefaultsOnlyWhenMissing) {
    std::string value(100 * 1024, 'x');
    value.back() = 'y';
    EXPECT_EQ(WithValue(value).GetString("options", "v"), value);

    CIni none(dir.File("nothing-here.ini"));
    EXPECT_EQ(none.GetString("options", "v", "def"), "def");
    EXPECT_EQ(none.GetInt("options", "v", 5), 5);
    EXPECT_FALSE(none.GetBool("options", "v"));

    CIni empty = WithValue("");
    EXPECT_EQ(empty.GetString("options", "v", "def"), "");  // present, though empty
}

// Unsigned decimal, with the default only for nothing.
TEST_F(CIniTest, GetIntReadsUnsignedDecimal) {
    struct Row {
        const char* name;
        const char* value;
        std::int32_t expected;
    };
    const std::string longRun = std::string(63, '0') + "19";
    const Row rows[] = {{"Empty", "", 5},
                        {"OnlyBlanks", "   ", 5},
                        {"Zero", "0", 0},
                        {"NotANumber", "abc", 0},
                        {"Plain", "4005", 4005},
                        {"LeadingBlanksAndPlus", "  +42", 42},
                        {"StopsAtFirstNonDigit", "12abc", 12},
                        {"MinusGivesTheBits", "-5", -5},
                        {"AboveInt32GivesTheBits", "3000000000", -1294967296},
                        {"LargestUnsigned", "4294967295", -1},
                        {"TooLargeSaturates", "99999999999", -1},
                        {"TooLargeNegativeSaturates", "-99999999999", -1},
                        {"HexIsNotRead", "0x10", 0},
                        {"LongDigitRunCutTo64", longRun.c_str(), 1}};
    for (const Row& row : rows) {
        EXPECT_EQ(WithValue(row.value).GetInt("options", "v", 5), row.expected) << row.name;
    }
}

TEST_F(CIniTest, GetBoolIsTrueYesOrNonZero) {
    const std::pair<const char*, bool> rows[] = {
        {"Yes", true},    {"TRUE", true}, {"true", true},        {"yEs", true}, {"1", true},
        {"7", true},      {"-1", true},   {" 2x", true},         {"no", false}, {"0", false},
        {"false", false}, {"", false},    {"yes please", false}, {"on", false}, {"00", false}};
    for (const auto& [value, expected] : rows) {
        EXPECT_EQ(WithValue(value).GetBool("options", "v"), expected) << "'" << value << "'";
    }
}

TEST_F(CIniTest, SettersWriteTheirTextForm) {
    CIni ini(path);
    EXPECT_TRUE(ini.SetBool("host", "playsound", true));
    EXPECT_TRUE(ini.SetBool("host", "playtextsound", false));
    EXPECT_TRUE(ini.SetInt("options", "startport", -12));
    EXPECT_TRUE(ini.SetString("options", "rompath", " /roms/snes "));
    EXPECT_EQ(ReadFileBytes(path),
              "[host]\nplaysound=1\nplaytextsound=0\n[options]\nstartport=-12\n"
              "rompath= /roms/snes \n");
    EXPECT_FALSE(ini.SetBool("", "playsound", true));
    EXPECT_FALSE(ini.SetString("options", "rompath", "two\nlines"));
    EXPECT_EQ(ini.GetString("options", "rompath"), "/roms/snes");
}

TEST_F(CIniTest, KeyTableDefaultsAndFields) {
    WriteFileBytes(path,
                   "[host]\nIP=123.123.123.123XYZ\ngamename=Super Mario World\n"
                   "[options]\nretries=\nprotocol=T\n");
    CIni ini(path);
    EXPECT_EQ(ini.GetInt(keys::kRetries), 5);  // present but empty
    EXPECT_EQ(ini.GetString(keys::kOwnIp), "123.123.123.123");
    EXPECT_EQ(ini.GetString(keys::kGameName), "Super Mario World");  // "Host" finds "host"
    EXPECT_EQ(ini.GetString(keys::kProtocol), "T");

    ASSERT_TRUE(ini.SetInt(keys::kRetries, 0));
    EXPECT_EQ(ini.GetInt(keys::kRetries), 0);
    WriteFileBytes(path, "[options]\nprotocol=\n");
    EXPECT_EQ(ini.GetString(keys::kProtocol), "");  // present but empty: the reader decides
    WriteFileBytes(path, "");
    EXPECT_EQ(ini.GetString(keys::kProtocol), "U");
}

TEST(SettingsKeys, EachKeyOnceAndTextFieldsHoldTheirDefault) {
    std::set<std::string> seen;
    for (const auto& k : khub::kAllSettingKeys) {
        std::string name;
        for (char c : std::string(k.section) + "/" + std::string(k.key)) {
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        EXPECT_TRUE(seen.insert(name).second) << "twice: " << name;
        if (k.type == khub::SettingType::Text && k.capacity > 0) {
            EXPECT_LT(k.textDefault.size(), k.capacity) << name;
        }
    }
}

}  // namespace

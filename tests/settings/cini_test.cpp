#include "settings/CIni.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <set>
#include <string>

#include "ircu/TempDir.h"
#include "settings/SettingsKeys.h"

using khub::CIni;
using khub::test::ReadFileBytes;
using khub::test::TempDir;
using khub::test::WriteFileBytes;
namespace keys = khub::keys;

namespace {

class CIniTest : public ::testing::Test {
  protected:
    // A file holding one [options] value for key "v".
    CIni WithValue(const std::string& value) {
        WriteFileBytes(path, "[options]\nv=" + value + "\n");
        return CIni(path);
    }

    TempDir dir;
    std::string path = dir.File("K-Hub.ini");
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
    EXPECT_EQ(empty.GetString("options", "other", "def"), "def");
    EXPECT_EQ(empty.GetString("host", "v", "def"), "def");
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
    EXPECT_EQ(ini.GetString("options", "rompath"), "/roms/snes");  // blanks are not the value's
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

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

TEST_F(CIniTest, GetStringReturnsLongValuesWhole) {
    for (std::size_t n : {511u, 512u, 513u, 600u, 1024u, 100u * 1024u}) {
        std::string value(n, 'x');
        value.back() = 'y';
        EXPECT_EQ(WithValue(value).GetString("options", "v"), value) << n;
    }
}

TEST_F(CIniTest, DefaultsOnlyWhenMissing) {
    CIni none(dir.File("nothing-here.ini"));
    EXPECT_EQ(none.GetString("options", "v", "def"), "def");
    EXPECT_EQ(none.GetInt("options", "v", 5), 5);
    EXPECT_FALSE(none.GetBool("options", "v"));

    CIni empty = WithValue("");
    EXPECT_EQ(empty.GetString("options", "v", "def"), "");  // present, though empty
    EXPECT_EQ(empty.GetString("options", "other", "def"), "def");
    EXPECT_EQ(empty.GetString("host", "v", "def"), "def");
}

TEST_F(CIniTest, GetStringBufCutsToTheFieldAndReportsTheClampedLength) {
    CIni ini = WithValue("abcdefghij");
    char buf[8];
    std::fill(std::begin(buf), std::end(buf), '#');
    EXPECT_EQ(ini.GetStringBuf("options", "v", buf, 5), 5u);
    EXPECT_STREQ(buf, "abcd");
    EXPECT_EQ(buf[5], '#');  // nothing written past the capacity

    EXPECT_EQ(ini.GetStringBuf("options", "v", buf, sizeof buf), 8u);
    EXPECT_STREQ(buf, "abcdefg");
    EXPECT_EQ(ini.GetStringBuf("options", "missing", buf, sizeof buf, "dflt"), 4u);
    EXPECT_STREQ(buf, "dflt");
    EXPECT_EQ(ini.GetStringBuf("options", "v", nullptr, 100), 10u);

    buf[0] = '#';
    EXPECT_EQ(ini.GetStringBuf("options", "v", buf, 0), 0u);
    EXPECT_EQ(buf[0], '#');
}

struct IntCase {
    const char* name;
    const char* value;  // nullptr: no key at all
    std::int32_t expected;
};

class CIniInt : public CIniTest, public ::testing::WithParamInterface<IntCase> {};

TEST_P(CIniInt, ReadsUnsignedDecimalWithTheDefaultOnlyForNothing) {
    CIni ini = GetParam().value ? WithValue(GetParam().value) : CIni(dir.File("none.ini"));
    EXPECT_EQ(ini.GetInt("options", "v", 5), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, CIniInt,
    ::testing::Values(IntCase{"Missing", nullptr, 5}, IntCase{"Empty", "", 5},
                      IntCase{"OnlyBlanks", "   ", 5}, IntCase{"Zero", "0", 0},
                      IntCase{"NotANumber", "abc", 0}, IntCase{"Plain", "4005", 4005},
                      IntCase{"LeadingBlanksAndPlus", "  +42", 42},
                      IntCase{"StopsAtFirstNonDigit", "12abc", 12},
                      IntCase{"MinusGivesTheBits", "-5", -5},
                      IntCase{"AboveInt32GivesTheBits", "3000000000", -1294967296},
                      IntCase{"LargestUnsigned", "4294967295", -1},
                      IntCase{"TooLargeSaturates", "99999999999", -1},
                      IntCase{"TooLargeNegativeSaturates", "-99999999999", -1},
                      IntCase{"HexIsNotRead", "0x10", 0},
                      IntCase{"LongDigitRunCutTo64",
                              "0000000000000000000000000000000000000000000000000000000000000001"
                              "9",
                              1}),
    [](const auto& info) { return std::string(info.param.name); });

struct BoolCase {
    const char* value;
    bool expected;
};

class CIniBool : public CIniTest, public ::testing::WithParamInterface<BoolCase> {};

TEST_P(CIniBool, TrueYesOrNonZero) {
    EXPECT_EQ(WithValue(GetParam().value).GetBool("options", "v"), GetParam().expected)
        << "'" << GetParam().value << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Values, CIniBool,
    ::testing::Values(BoolCase{"Yes", true}, BoolCase{"TRUE", true}, BoolCase{"true", true},
                      BoolCase{"yEs", true}, BoolCase{"1", true}, BoolCase{"7", true},
                      BoolCase{"-1", true}, BoolCase{" 2x", true}, BoolCase{"no", false},
                      BoolCase{"0", false}, BoolCase{"false", false}, BoolCase{"", false},
                      BoolCase{"yes please", false}, BoolCase{"on", false}, BoolCase{"00", false}));

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

TEST_F(CIniTest, ValuesComeBackExactlyAsWritten) {
    CIni ini(path);
    const std::string value = "C:\\Games\\SNES,roms;x=1 \"q\" \xe4\xf6\xfc\x80\xff %s %n";
    ASSERT_TRUE(ini.SetString("options", "blacklist", value));
    EXPECT_EQ(ini.GetString("options", "blacklist"), value);
    EXPECT_EQ(ini.GetString("OPTIONS", "BlackList"), value);
}

// --- through the key table ---

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

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <thread>

#include "app/ColorText.h"
#include "app/Log.h"
#include "platform/RecordingUi.h"

using khub::ColorStretch;
using khub::ColorTable;
using khub::ParseColorStretches;

namespace {
khub::Rgb C(int i) {
    return ColorTable()[static_cast<std::size_t>(i)];
}
}  // namespace

struct ColorCase {
    const char* name;
    std::string text;
    std::vector<ColorStretch> expected;
};

class ColorStretchTest : public ::testing::TestWithParam<ColorCase> {};

TEST_P(ColorStretchTest, SplitsAsThePanesShowIt) {
    EXPECT_EQ(ParseColorStretches(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ColorStretchTest,
    ::testing::Values(
        ColorCase{"JoinLineAllGreen",
                  "\x03"
                  "3<Bob> joins #K-HubI\r\n",
                  {{C(3), "<Bob> joins #K-HubI\r\n"}}},
        ColorCase{"ModTagRedRestBlack",
                  "\x03<\x03"
                  "4[MOD]\x03 Al> hi\r\n",
                  {{{0, 0, 0}, "<"}, {{255, 0, 0}, "[MOD]"}, {{0, 0, 0}, " Al> hi\r\n"}}},
        ColorCase{"BareCodesReturnToFirstCode",
                  "\x03"
                  "4<<\x03"
                  "Al\x03"
                  "4>>\x03 hi",
                  {{C(4), "<<Al>> hi"}}},
        ColorCase{"TwoDigits",
                  "\x03"
                  "12word",
                  {{C(12), "word"}}},
        ColorCase{"AtMostTwoDigits",
                  "\x03"
                  "123",
                  {{C(12), "3"}}},
        ColorCase{"NinetyNineKeepsRed",
                  "\x03"
                  "4red\x03"
                  "99more",
                  {{C(4), "redmore"}}},
        ColorCase{"NinetyNineFirstIsBlack",
                  "\x03"
                  "99text",
                  {{C(1), "text"}}},
        ColorCase{"BlackThenRed",
                  "abc\x03"
                  "4def",
                  {{C(1), "abc"}, {C(4), "def"}}},
        ColorCase{"TrailingBareCodeDropped",
                  "\x03"
                  "4ab\x03",
                  {{C(4), "ab"}}},
        ColorCase{"NoCodes", "plain", {{C(1), "plain"}}},
        ColorCase{"OutOfTableKeepsColour",
                  "\x03"
                  "4a\x03"
                  "42b",
                  {{C(4), "ab"}}},
        ColorCase{"BareAfterNinetyNineFirstIsBlack",
                  "\x03"
                  "99a\x03"
                  "4b\x03"
                  "c",
                  {{C(1), "a"}, {C(4), "b"}, {C(1), "c"}}},
        ColorCase{"OtherControlBytesStay",
                  "\x03"
                  "4,2x\x02y",
                  {{C(4), ",2x\x02y"}}},
        ColorCase{"OnlyACode", "\x03", {}},
        ColorCase{"TwoDigitBaseForBareCodes",
                  "\x03"
                  "12a\x03"
                  "4b\x03"
                  "c",
                  {{C(12), "a"}, {C(4), "b"}, {C(12), "c"}}},
        ColorCase{"LeadingZeroDigit",
                  "\x03"
                  "04x\x03"
                  "1y",
                  {{C(4), "x"}, {C(1), "y"}}},
        ColorCase{"FirstCodeOutOfTableIsBlackAndSoAreBareCodes",
                  "\x03"
                  "42a\x03"
                  "4b\x03"
                  "c",
                  {{C(1), "a"}, {C(4), "b"}, {C(1), "c"}}},
        ColorCase{"EmptyStretchesBetweenCodes",
                  "\x03"
                  "4\x03"
                  "3\x03"
                  "9x",
                  {{C(9), "x"}}},
        ColorCase{"HighBytesAfterACodeAreText", "\x03\xb2\xb3", {{C(1), "\xb2\xb3"}}}),
    [](const auto& info) { return std::string(info.param.name); });

// A code that showed the same colour as another would lose the difference it marks.
TEST(ColorTable, EachCodeHasAColourOfItsOwn) {
    std::set<int> colours;
    for (const khub::Rgb& c : ColorTable()) colours.insert(c.r << 16 | c.g << 8 | c.b);
    EXPECT_EQ(colours.size(), ColorTable().size());
}

TEST(CutFormattedText, KeepsTheLineEndAndNeverSplitsAUtf8Character) {
    std::string longLine(1500, 'a');
    longLine += "\r\n";
    std::string cut = khub::CutFormattedText(longLine);
    EXPECT_EQ(cut.size(), 1023u);
    EXPECT_EQ(cut.substr(cut.size() - 2), "\r\n");

    std::string utf8(1020, 'x');
    for (int i = 0; i < 10; ++i) utf8 += "\xc3\xa9";
    std::string cutUtf8 = khub::CutFormattedText(utf8);
    EXPECT_LE(cutUtf8.size(), 1023u);
    EXPECT_EQ(cutUtf8.size(), 1022u);  // the half é at byte 1023 goes
}

TEST(CutFormattedText, LimitIsExactly1023Bytes) {
    EXPECT_EQ(khub::CutFormattedText(std::string(1023, 'a')).size(), 1023u);
    EXPECT_EQ(khub::CutFormattedText(std::string(1024, 'a')).size(), 1023u);
    // Single-byte text whose byte 1023 happens to look like a continuation byte.
    std::string ansi(1100, '\xb0');
    EXPECT_EQ(khub::CutFormattedText(ansi).size(), 1023u);
}

TEST(StripColorCodes, RemovesCodesAndTheirDigitsOnly) {
    EXPECT_EQ(khub::StripColorCodes("\x03"
                                    "4<<\x03"
                                    "Al\x03"
                                    "12>> 5"),
              "<<Al>> 5");
}

TEST(Logger, DebugLogFromSeveralThreadsLosesNoLine) {
    khub::RecordingUi ui;
    khub::Logger log(ui);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&log, t] {
            for (int i = 0; i < 250; ++i)
                log.DebugLog(
                    "\x03"
                    "3thread %d line %d\r\n",
                    t, i);
        });
    }
    for (auto& th : threads) th.join();
    auto lines = ui.Lines(khub::WindowId::Debug, khub::control::kDebugLog);
    EXPECT_EQ(lines.size(), 1000u);
    std::set<std::string> distinct(lines.begin(), lines.end());
    EXPECT_EQ(distinct.size(), 1000u);
    EXPECT_TRUE(distinct.count("thread 3 line 249\r\n"));
}

TEST(Logger, LongFormattedTextIsCutNotDropped) {
    khub::RecordingUi ui;
    khub::Logger log(ui);
    std::string nick(5000, 'n');
    log.AppendColoredText(khub::WindowId::HostGame, khub::control::kHostChatLog,
                          "\x03"
                          "4<%s> %s\r\n",
                          nick.c_str(), "hi");
    auto stretches = ui.Stretches(khub::WindowId::HostGame, khub::control::kHostChatLog);
    ASSERT_EQ(stretches.size(), 1u);
    ASSERT_EQ(stretches[0].size(), 1u);
    EXPECT_EQ(stretches[0][0].color, C(4));
    EXPECT_EQ(stretches[0][0].text.size(), 1023u - 2);  // the colour code's two bytes gone
    EXPECT_TRUE(stretches[0][0].text.ends_with("nnn\r\n"));
}

// "\x03" followed by a hex digit in one literal is one byte, not a colour code and its
// number; such a literal shows a stray digit in the default colour. KHUB_COLORED avoids it.
TEST(ColorCodeLiterals, NoHexEscapeRunsIntoTheDigitAfterIt) {
    const std::regex merged(R"(\\x[0-9a-fA-F]{2}[0-9a-fA-F])");
    std::vector<std::string> found;
    for (const char* tree : {"src", "tests"}) {
        const auto root = std::filesystem::path(KHUB_SOURCE_DIR) / tree;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            auto ext = entry.path().extension();
            if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
            std::ifstream in(entry.path());
            std::string line;
            for (int number = 1; std::getline(in, line); ++number) {
                if (std::regex_search(line, merged))
                    found.push_back(entry.path().string() + ":" + std::to_string(number));
            }
        }
    }
    EXPECT_EQ(found, std::vector<std::string>{});
}

#include <gtest/gtest.h>

#include <algorithm>
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
// '^' stands for the colour code byte, so that no digit after it reads as part of an escape.
std::string Coded(std::string text) {
    std::replace(text.begin(), text.end(), '^', '\x03');
    return text;
}
}  // namespace

TEST(ColorStretches, SplitAsThePanesShowIt) {
    struct Row {
        const char* name;
        const char* text;
        std::vector<ColorStretch> expected;
    };
    const khub::Rgb black{0, 0, 0}, red{255, 0, 0};
    const Row rows[] = {
        {"join line all green", "^3<Bob> joins #K-HubI\r\n", {{C(3), "<Bob> joins #K-HubI\r\n"}}},
        {"mod tag red, rest black",
         "^<^4[MOD]^ Al> hi\r\n",
         {{black, "<"}, {red, "[MOD]"}, {black, " Al> hi\r\n"}}},
        {"bare codes return to the first code", "^4<<^Al^4>>^ hi", {{C(4), "<<Al>> hi"}}},
        {"at most two digits", "^123", {{C(12), "3"}}},
        {"out of the table keeps red", "^4red^99more", {{C(4), "redmore"}}},
        {"black then red", "abc^4def", {{C(1), "abc"}, {C(4), "def"}}},
        {"trailing bare code dropped", "^4ab^", {{C(4), "ab"}}},
        {"no codes", "plain", {{C(1), "plain"}}},
        {"other control bytes stay", "^4,2x\x02y", {{C(4), ",2x\x02y"}}},
        {"only a code", "^", {}},
        {"two-digit base for bare codes", "^12a^4b^c", {{C(12), "a"}, {C(4), "b"}, {C(12), "c"}}},
        {"leading zero digit", "^04x^1y", {{C(4), "x"}, {C(1), "y"}}},
        {"first code out of the table: black, and so are bare codes",
         "^42a^4b^c",
         {{C(1), "a"}, {C(4), "b"}, {C(1), "c"}}},
        {"empty stretches between codes", "^4^3^9x", {{C(9), "x"}}},
        {"high bytes after a code are text", "^\xb2\xb3", {{C(1), "\xb2\xb3"}}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ParseColorStretches(Coded(row.text)), row.expected) << row.name;
    }
    EXPECT_EQ(khub::StripColorCodes(Coded("^4<<^Al^12>> 5")), "<<Al>> 5");
}

// A code that showed the same colour as another would lose the difference it marks.
TEST(ColorTable, EachCodeHasAColourOfItsOwn) {
    std::set<int> colours;
    for (const khub::Rgb& c : ColorTable()) colours.insert(c.r << 16 | c.g << 8 | c.b);
    EXPECT_EQ(colours.size(), ColorTable().size());
}

// 1023 bytes at most; the line end stays, and no UTF-8 character is split (the half é at
// byte 1023 goes), while single-byte text whose byte 1023 looks like a continuation is cut there.
TEST(CutFormattedText, KeepsTheLineEndAndNeverSplitsAUtf8Character) {
    std::string utf8(1020, 'x');
    for (int i = 0; i < 10; ++i) utf8 += "\xc3\xa9";
    const std::pair<std::string, std::size_t> rows[] = {{std::string(1023, 'a'), 1023},
                                                        {std::string(1024, 'a'), 1023},
                                                        {std::string(1100, '\xb0'), 1023},
                                                        {utf8, 1022}};
    for (const auto& [text, size] : rows) EXPECT_EQ(khub::CutFormattedText(text).size(), size);
    EXPECT_EQ(khub::CutFormattedText(std::string(1500, 'a') + "\r\n"),
              std::string(1021, 'a') + "\r\n");
}

TEST(Logger, DebugLogFromSeveralThreadsLosesNoLine) {
    khub::RecordingUi ui;
    khub::Logger log(ui);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&log, t] {
            for (int i = 0; i < 250; ++i)
                log.DebugLog(KHUB_COLORED(3, "thread %d line %d\r\n"), t, i);
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
                          KHUB_COLORED(4, "<%s> %s\r\n"), nick.c_str(), "hi");
    // 1023 bytes with the colour code's two, the line end kept.
    const std::vector<ColorStretch> line{{C(4), "<" + std::string(1018, 'n') + "\r\n"}};
    EXPECT_EQ(ui.Stretches(khub::WindowId::HostGame, khub::control::kHostChatLog),
              std::vector<std::vector<ColorStretch>>{line});
    // A text of just the first buffer's size is formatted whole before the cut.
    const std::string full = std::string(1022, 'a') + "\r\n";
    EXPECT_EQ(khub::FormatText("%s", full.c_str()), std::string(1021, 'a') + "\r\n");
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

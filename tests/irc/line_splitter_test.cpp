#include <gtest/gtest.h>

#include "irc/LineSplitter.h"

using khub::LineSplitter;
using Lines = std::vector<std::string>;

namespace {

struct Result {
    Lines lines;
    std::vector<std::size_t> dropped;
};

// Feeds the pieces one after the other, as separate reads would deliver them, to a new
// splitter or to kept.
Result Split(const std::vector<std::string>& pieces, LineSplitter* kept = nullptr) {
    LineSplitter fresh;
    LineSplitter& splitter = kept ? *kept : fresh;
    Result r;
    for (const auto& piece : pieces) {
        splitter.Feed(
            piece, [&](std::string_view line) { r.lines.emplace_back(line); },
            [&](std::size_t length) { r.dropped.push_back(length); });
    }
    return r;
}

// An empty line stays a line; a lone line feed ends one and a lone CR stays in it.
TEST(LineSplitter, EveryWayOfCuttingTheStreamGivesTheSameLines) {
    const std::string stream = "NOTICE AUTH :*** Checking Ident\r\nPING :1\r\n\r\na\nb\rc\r\n";
    const Lines expected{"NOTICE AUTH :*** Checking Ident", "PING :1", "", "a", "b\rc"};
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        EXPECT_EQ(Split({stream.substr(0, cut), stream.substr(cut)}).lines, expected) << cut;
    }
    std::vector<std::string> bytes;
    for (char c : stream) bytes.emplace_back(1, c);
    EXPECT_EQ(Split(bytes).lines, expected);
}

TEST(LineSplitter, AnUnfinishedLineWaitsForItsEnd) {
    LineSplitter splitter;
    auto r = Split({"PING :1\r\nPING :2"}, &splitter);
    EXPECT_EQ(r.lines, Lines{"PING :1"});
    EXPECT_EQ(splitter.PendingBytes(), 7u);
    EXPECT_EQ(Split({"3\r"}, &splitter).lines, Lines{});
    EXPECT_EQ(Split({"\n"}, &splitter).lines, Lines{"PING :23"});
}

// Also when the overlong line comes in many reads: the splitter stays in step.
TEST(LineSplitter, LinesUpTo2047BytesPassLongerOnesAreDroppedWhole) {
    const std::string fits(2047, 'a');
    std::vector<std::string> pieces{fits + "\r\n" + std::string(2048, 'b') +
                                    "\r\nPING :before\r\n:srv NOTICE x :"};
    for (int i = 0; i < 5; ++i) pieces.push_back(std::string(1000, 'x'));
    pieces.push_back("\r");
    pieces.push_back("\nPING :after\r\n");
    auto r = Split(pieces);
    EXPECT_EQ(r.lines, (Lines{fits, "PING :before", "PING :after"}));
    EXPECT_EQ(r.dropped, (std::vector<std::size_t>{2048, 5015}));
}

}  // namespace

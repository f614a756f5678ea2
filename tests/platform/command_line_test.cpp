#include <gtest/gtest.h>

#include "platform/CommandLine.h"

namespace khub::platform {
namespace {

// Each argument as the Windows runtime must split it back.
TEST(WindowsCommandLine, QuotesOnlyWhatTheRuntimeWouldSplitOrUnescape) {
    struct Row {
        const char* name;
        std::string arg;
        std::string quoted;
    };
    const Row rows[] = {
        {"plain", "/USLQ2", "/USLQ2"},
        {"path without blanks", "C:\\ROMS\\game.smc", "C:\\ROMS\\game.smc"},
        {"empty", "", "\"\""},
        {"blank", "C:\\My ROMs\\game.smc", "\"C:\\My ROMs\\game.smc\""},
        {"tab", "a\tb", "\"a\tb\""},
        {"quote", "say \"hi\"", "\"say \\\"hi\\\"\""},
        {"backslashes before a quote", "a\\\\\"b", "\"a\\\\\\\\\\\"b\""},
        {"trailing backslash", "C:\\My ROMs\\", "\"C:\\My ROMs\\\\\""},
        {"two trailing backslashes", "x y\\\\", "\"x y\\\\\\\\\""},
        {"non-ASCII", "Pokémon Stadium (J).smc", "\"Pokémon Stadium (J).smc\""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(QuoteArgument(row.arg), row.quoted) << row.name;
    }
    EXPECT_EQ(WindowsCommandLine({"C:\\Program Files\\VOLTAW.EXE", "/TCLQ2", "Player1",
                                  "C:\\My ROMs\\game.smc", "10.0.0.5"}),
              "\"C:\\Program Files\\VOLTAW.EXE\" /TCLQ2 Player1 \"C:\\My ROMs\\game.smc\" "
              "10.0.0.5");
}

}  // namespace
}  // namespace khub::platform

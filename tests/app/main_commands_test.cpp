#include <gtest/gtest.h>

#include "app/MainCommands.h"
#include "support/IrcHarness.h"

namespace khub {
namespace {

using W = WindowId;
using Session = test::IrcHarness;

// Create and the Host Game window wait while a game window is open.
TEST(MainCommands, EachCommandOpensItsWindowOrAddressUnlessAGameWindowIsOpen) {
    struct Row {
        const char* name;
        int id;
        bool WindowsOpen::*gameOpen;  // null: none
        W window;
        bool opens;
    } const rows[] = {
        {"About", menu::kAbout, nullptr, W::About, true},
        {"Options", menu::kOptions, nullptr, W::Options, true},
        {"Create", menu::kCreate, nullptr, W::CreateGame, true},
        {"Create while hosting", menu::kCreate, &WindowsOpen::host, W::CreateGame, false},
        {"Create while joined", menu::kCreate, &WindowsOpen::client, W::CreateGame, false},
        {"File Transfer", menu::kOpenTransfer, nullptr, W::FileTransfer, true},
        {"Host Game", menu::kOpenHost, nullptr, W::HostGame, true},
        {"Host Game while joined", menu::kOpenHost, &WindowsOpen::client, W::HostGame, false},
        {"Host Game while hosting", menu::kOpenHost, &WindowsOpen::host, W::HostGame, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Session s;
        if (row.gameOpen) s.program->windows.*row.gameOpen = true;
        EXPECT_TRUE(RunMainCommand(*s.program, row.id));
        EXPECT_EQ(s.ui.IsOpen(row.window), row.opens);
    }
    // Rules and the About window's four buttons open addresses, the forum's from the
    // settings; other ids open nothing.
    Session s;
    s.program->rulesUrl = "https://rules.example/";
    s.program->forumUrl = "https://forum.example/";
    EXPECT_TRUE(RunMainCommand(*s.program, menu::kRules));
    EXPECT_FALSE(RunMainCommand(*s.program, command::kKeyE));  // the front end's own
    for (int id = about::kSite - 1; id <= about::kEmulatorSite + 1; ++id) {
        const bool known = id >= about::kSite && id <= about::kEmulatorSite;
        EXPECT_EQ(about::OpenAddress(*s.program, id), known) << id;
    }
    EXPECT_EQ(s.ui.Addresses(), (std::vector<std::string>{
                                    "https://rules.example/", about::kSiteUrl, about::kMirrorUrl,
                                    "https://forum.example/", about::kEmulatorUrl}));
}

// Only the first line of a paste goes; an empty line sends nothing.
TEST(MainCommands, TheDebugLineGoesUpToItsFirstLineBreak) {
    struct Row {
        const char* name;
        const char* typed;
        const char* sent;  // null: nothing
    } const rows[] = {
        {"a command", "PING x", "PING x\r\n"},
        {"empty", "", nullptr},
        {"a pasted pair", "PRIVMSG #K-HubI :hi\r\nQUIT", "PRIVMSG #K-HubI :hi\r\n"},
        {"a bare line feed", "PING a\nPING b", "PING a\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Session s;
        EXPECT_EQ(SendDebugLine(*s.program, row.typed), row.sent != nullptr);
        EXPECT_EQ(s.sent,
                  row.sent ? std::vector<std::string>{row.sent} : std::vector<std::string>{});
    }
}

TEST(KeySequence, NineLettersWithShiftAndAWrongOneStartsOver) {
    std::string letters;
    for (int id = command::kKeyE - 1; id <= command::kKeyG + 1; ++id)
        letters += KeySequenceLetter(id).value_or('-');
    EXPECT_EQ(letters, "-EASTRG-");

    struct Row {
        const char* name;
        const char* typed;
        int completed;
        int position;  // after the last letter
    } const rows[] = {
        {"once", "EASTEREGG", 1, 0},
        {"one short", "EASTEREG", 0, 8},
        {"twice", "EASTEREGGEASTEREGG", 2, 0},
        // The second E is wrong (an A was due): it does not start a new sequence.
        {"a wrong E is no first letter", "EEASTEREGG", 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        KeySequence keys;
        int completed = 0;
        for (const char* c = row.typed; *c; ++c) completed += keys.Step(*c);
        EXPECT_EQ(completed, row.completed);
        EXPECT_EQ(keys.Position(), row.position);
    }
}

}  // namespace
}  // namespace khub

#include <gtest/gtest.h>

#include "app/MainCommands.h"
#include "app/Program.h"
#include "ircu/TempDir.h"
#include "platform/ManualEventLoop.h"
#include "platform/RecordingUi.h"

namespace khub {
namespace {

// A program whose lines to the server are recorded; one for each case.
struct Session {
    explicit Session(const test::TempDir& dir) : program(ui, loop, dir.File("K-Hub.ini")) {
        program.conn.sendOverride = [this](std::string_view line) {
            sent.emplace_back(line);
            return static_cast<long>(line.size());
        };
    }
    RecordingUi ui;
    ManualEventLoop loop;
    Program program;
    std::vector<std::string> sent;
};

class MainCommandsTest : public ::testing::Test {
  protected:
    test::TempDir dir;
};

// Create, Join and the Host Game window wait while a game window is open.
TEST_F(MainCommandsTest, EachCommandOpensItsWindowUnlessAGameWindowIsOpen) {
    struct Row {
        const char* name;
        int id;
        bool WindowsOpen::*gameOpen;  // null: none
        WindowId window;
        bool opens;
    } const rows[] = {
        {"About", menu::kAbout, nullptr, WindowId::About, true},
        {"Options", menu::kOptions, nullptr, WindowId::Options, true},
        {"Create", menu::kCreate, nullptr, WindowId::CreateGame, true},
        {"Create while hosting", menu::kCreate, &WindowsOpen::host, WindowId::CreateGame, false},
        {"Create while joined", menu::kCreate, &WindowsOpen::client, WindowId::CreateGame, false},
        {"File Transfer", menu::kOpenTransfer, nullptr, WindowId::FileTransfer, true},
        {"Host Game", menu::kOpenHost, nullptr, WindowId::HostGame, true},
        {"Host Game while joined", menu::kOpenHost, &WindowsOpen::client, WindowId::HostGame,
         false},
        {"Host Game while hosting", menu::kOpenHost, &WindowsOpen::host, WindowId::HostGame, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Session s(dir);
        if (row.gameOpen) s.program.windows.*row.gameOpen = true;
        EXPECT_TRUE(RunMainCommand(s.program, row.id));
        EXPECT_EQ(s.ui.IsOpen(row.window), row.opens);
    }
    // Join while hosting: the selected game is not asked.
    Session s(dir);
    s.program.games.PutGameRow({"Zelda", "alice", "1/2"});
    s.program.games.Select(0);
    s.program.windows.host = true;
    EXPECT_TRUE(RunMainCommand(s.program, menu::kJoin));
    EXPECT_TRUE(s.sent.empty());
    EXPECT_FALSE(s.ui.IsOpen(WindowId::JoinGame));

    s.program.rulesUrl = "https://rules.example/";
    EXPECT_TRUE(RunMainCommand(s.program, menu::kRules));
    EXPECT_EQ(s.ui.Addresses(), std::vector<std::string>{"https://rules.example/"});
    EXPECT_FALSE(RunMainCommand(s.program, command::kKeyE));  // the front end's own
}

// The four buttons' addresses, the forum's from the settings; other ids open nothing.
TEST_F(MainCommandsTest, AboutButtonsOpenTheirAddresses) {
    Session s(dir);
    s.program.forumUrl = "https://forum.example/";
    for (int id = about::kSite - 1; id <= about::kEmulatorSite + 1; ++id) {
        const bool known = id >= about::kSite && id <= about::kEmulatorSite;
        EXPECT_EQ(about::OpenAddress(s.program, id), known) << id;
    }
    EXPECT_EQ(s.ui.Addresses(),
              (std::vector<std::string>{about::kSiteUrl, about::kMirrorUrl,
                                        "https://forum.example/", about::kEmulatorUrl}));
}

// Only the first line of a paste goes; an empty line sends nothing.
TEST_F(MainCommandsTest, TheDebugLineGoesUpToItsFirstLineBreak) {
    struct Row {
        const char* name;
        const char* typed;
        const char* sent;  // null: nothing
    } const rows[] = {
        {"a command", "PING x", "PING x\r\n"},
        {"empty", "", nullptr},
        {"a pasted pair", "PRIVMSG #K-HubI :hi\r\nQUIT", "PRIVMSG #K-HubI :hi\r\n"},
        {"a bare line feed", "PING a\nPING b", "PING a\r\n"},
        {"a break first", "\nQUIT", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Session s(dir);
        EXPECT_EQ(SendDebugLine(s.program, row.typed), row.sent != nullptr);
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
        {"twice, starting over", "EASTEREGGEASTEREGG", 2, 0},
        {"a wrong letter", "EASXEASTEREGG", 1, 0},
        // The second E is wrong (an A was due): it does not start a new sequence.
        {"a wrong E is no first letter", "EEASTEREGG", 0, 0},
        {"nor mid-way", "EASTEEASTEREGG", 0, 0},
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

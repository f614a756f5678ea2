#include <gtest/gtest.h>

#include "app/Log.h"
#include "irc/UserList.h"
#include "platform/RecordingUi.h"

using namespace khub;

namespace {

class UserListTest : public ::testing::Test {
  protected:
    std::vector<std::string> TakeLog() {
        auto lines = ui.Lines(WindowId::Debug, control::kDebugLog);
        ui.Clear();
        return lines;
    }
    RecordingUi ui;
    Logger log{ui};
    ChannelUsers users{log};
};

TEST_F(UserListTest, NamesPrefixesGiveLevelsAndOnlyVoiceAndOpCount) {
    for (const char* name : {"@ChanServ", "+Bob", "Carol", "%Hal", "@Olga"}) users.AddUser(name);
    EXPECT_EQ(users.GetUserLevel("ChanServ"), level::kStaff);
    EXPECT_EQ(users.GetUserLevel("Bob"), level::kVoiced);
    EXPECT_EQ(users.GetUserLevel("Carol"), level::kMember);
    EXPECT_EQ(users.GetUserLevel("Hal"), level::kHalfOp);
    EXPECT_EQ(users.GetUserLevel("Olga"), level::kOperator);
    EXPECT_EQ(users.userEntryCount(), 5);
    EXPECT_EQ(users.onlineUserCount(), 2);
    // Removing lowers the count only for the counted levels.
    TakeLog();
    for (const char* nick : {"Hal", "Carol", "ChanServ"}) EXPECT_EQ(users.RemoveUser(nick), 0);
    EXPECT_EQ(TakeLog().front(), "Hal deleted from the nicklist.\r\n");
    EXPECT_EQ(users.onlineUserCount(), 2);
    EXPECT_EQ(users.RemoveUser("Olga"), 0);
    EXPECT_EQ(users.RemoveUser("Bob"), 0);
    EXPECT_EQ(users.onlineUserCount(), 0);
    EXPECT_EQ(users.userEntryCount(), 0);
    TakeLog();
    EXPECT_EQ(users.RemoveUser("Nobody"), 1);
    EXPECT_TRUE(TakeLog().empty());
}

// Freed slots are reused lowest first.
TEST_F(UserListTest, AddingLogsTheLookupThenTheSlotAndAddingAgainChangesNothing) {
    users.AddUser("+Bob");
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"Bob not found in the NickList. -1\r\n",
                                                   "Bob added at Index: 0 Level: 1\r\n"}));
    users.AddUser("@Bob");
    users.AddUser("bob");  // the same nick to the server
    EXPECT_TRUE(TakeLog().empty());
    EXPECT_EQ(users.GetUserLevel("Bob"), level::kVoiced);
    EXPECT_EQ(users.userEntryCount(), 1);
    EXPECT_EQ(users.onlineUserCount(), 1);

    for (const char* name : {"A1", "B2", "C3"}) users.AddUser(name);
    users.RemoveUser("B2");
    users.RemoveUser("Bob");
    TakeLog();
    for (const char* name : {"E5", "F6", "G7"}) users.AddUser(name);
    auto log = TakeLog();
    EXPECT_EQ(log[1], "E5 added at Index: 0 Level: 0\r\n");
    EXPECT_EQ(log[3], "F6 added at Index: 2 Level: 0\r\n");
    EXPECT_EQ(log[5], "G7 added at Index: 4 Level: 0\r\n");
}

TEST_F(UserListTest, NicksCompareWithIrcCaseRules) {
    users.AddUser("+Bob[away]");
    EXPECT_EQ(users.GetUserLevel("BOB{AWAY}"), level::kVoiced);
    EXPECT_EQ(users.GetUserLevel("Bob[away"), level::kAbsent);
    EXPECT_TRUE(SameNick("a\\b~", "A|B^"));
    EXPECT_FALSE(SameNick("ab", "abc"));
}

TEST_F(UserListTest, RenameKeepsTheLevelAndFollowsTheNewNick) {
    users.AddUser("+Bob");
    TakeLog();
    EXPECT_EQ(users.RenameUser("bob", "Bobby"), 0);
    EXPECT_EQ(TakeLog(), (std::vector<std::string>{"Bob changed to Bobby in the nicklist.\r\n"}));
    EXPECT_EQ(users.PeekLevel("Bob"), level::kAbsent);
    EXPECT_EQ(users.PeekLevel("BOBBY"), level::kVoiced);
    EXPECT_EQ(users.RenameUser("Nobody", "X"), 1);
    EXPECT_EQ(users.SetUserLevel("Nobody", level::kVoiced), 1);
    // Only the case changes: still one entry, shown as the new spelling.
    EXPECT_EQ(users.RenameUser("Bobby", "BOBBY"), 0);
    EXPECT_EQ(users.Entries(), (std::vector<std::pair<std::string, int>>{{"BOBBY", 1}}));
    // Onto a stale entry: it is replaced and the count stays right.
    users.AddUser("+Ghost");
    ASSERT_EQ(users.onlineUserCount(), 2);
    users.RenameUser("Bobby", "Ghost");
    EXPECT_EQ(users.userEntryCount(), 1);
    EXPECT_EQ(users.onlineUserCount(), 1);
    EXPECT_EQ(users.PeekLevel("Ghost"), level::kVoiced);
}

TEST_F(UserListTest, TenThousandUsersAllFitAndClearEmptiesEverythingButModerators) {
    for (int i = 0; i < 10000; ++i)
        users.AddUser((i % 2 ? "+" : "") + std::string("user") + std::to_string(i));
    EXPECT_EQ(users.userEntryCount(), 10000);
    EXPECT_EQ(users.onlineUserCount(), 5000);
    EXPECT_EQ(users.PeekLevel("USER9999"), level::kVoiced);
    users.moderatorNames = {"Alice"};
    users.Clear();
    EXPECT_EQ(users.userEntryCount(), 0);
    EXPECT_EQ(users.onlineUserCount(), 0);
    EXPECT_EQ(users.PeekLevel("user1"), level::kAbsent);
    EXPECT_EQ(users.moderatorCount(), 1);
    ui.Clear();
    users.AddUser("Zed");
    EXPECT_EQ(ui.Lines(WindowId::Debug, control::kDebugLog).back(),
              "Zed added at Index: 0 Level: 0\r\n");
}

TEST(ModeratorListFromTopic, TakesUpToTwentyNamesBetweenTheLabelAndTheBar) {
    std::string part = "x";
    EXPECT_EQ(ModeratorListFromTopic("Mods: Alice,,Bob  Carol"),
              (std::vector<std::string>{"Alice", "Bob", "Carol"}));
    EXPECT_TRUE(ModeratorListFromTopic("No colon | here", &part).empty());
    EXPECT_EQ(part, "");
    EXPECT_TRUE(ModeratorListFromTopic("Mods:").empty());
    EXPECT_TRUE(ModeratorListFromTopic("Mods: |Alice").empty());
    // At most twenty names of at most twenty-nine bytes.
    std::string topic = "M: " + std::string(40, 'x');
    for (int i = 0; i < 25; ++i) topic += " m" + std::to_string(i);
    auto names = ModeratorListFromTopic(topic);
    ASSERT_EQ(names.size(), 20u);
    EXPECT_EQ(names[0], std::string(29, 'x'));
    EXPECT_EQ(names[19], "m18");
}

}  // namespace

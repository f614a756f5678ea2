// The dispatcher, line by line and over whole sessions as real servers sent them to one
// client (tests/data/*_session.txt): ircd-ircu, and ngircd, InspIRCd and ircd-hybrid with their
// own ways of writing the same thing.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <thread>

#include "app/ColorText.h"
#include "irc/Connection.h"
#include "irc/IrcLine.h"
#include "ircu/LoopbackPort.h"
#include "lobby/Lobby.h"
#include "support/IrcHarness.h"

using namespace khub;
using khub::test::IrcHarness;
using Lines = std::vector<std::string>;

namespace {

// Registration goes out once, on the ident notice; the welcome's target is the nick the
// server took, which the address queries then ask about.
TEST(DispatchRegistration, IdentNoticeRegistersOnceAndTheWelcomeNamesTheOwnNick) {
    IrcHarness h;
    h.Connected("AliceWithALongName");
    h.Recv(":irc.test.local NOTICE * :*** Looking up your hostname");
    EXPECT_EQ(h.TakeSent(), Lines{});
    h.Recv("NOTICE AUTH :*** Checking Ident");
    EXPECT_EQ(h.TakeSent(),
              (Lines{"NICK AliceWithALongName\r\n", "USER KHubUser 8 * :KHubUser\r\n"}));
    EXPECT_EQ(h.Log(), Lines{"-> NICK AliceWithALongName\r\n\r\n"});
    h.Recv("NOTICE AUTH :*** Checking Ident");
    h.Recv(":irc.test.local NOTICE * :*** Checking Ident");
    EXPECT_EQ(h.TakeSent(), Lines{});

    h.Recv(":irc.test.local 001 * :Welcome");  // no target to take
    EXPECT_EQ(h.program->conn.ownNick, "AliceWithALongName");
    h.Recv(":irc.test.local 001 AliceWithALong :Welcome");
    EXPECT_EQ(h.program->conn.ownNick, "AliceWithALong");
    h.Recv(":AliceWithALong!KHubUser@127.0.0.1 MODE AliceWithALong :+i");
    auto sent = h.TakeSent();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0], "USERIP AliceWithALong\r\n");
}

// The address queries, the JOIN and the "onconnect" command go out once, on what comes
// first: the own MODE (ircu), the user mode reply (Ergo) or, from servers sending neither,
// the end of the MOTD after a short grace.
TEST(DispatchRegistration, TheOnConnectSequenceRunsOnceOnWhatComesFirst) {
    const struct {
        const char* name;
        Lines lines;
        bool grace;
    } rows[] = {
        {"own MODE", {":srv 376 Alice :End of MOTD", ":Alice!KHubUser@127.0.0.1 MODE Alice :+i"}},
        {"user mode reply", {":srv 376 Alice :End of MOTD", ":srv 221 Alice +Zi"}},
        {"end of MOTD", {":srv 376 Alice :End of MOTD"}, true},
        {"missing MOTD", {":srv 422 Alice :MOTD File is missing"}, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        IrcHarness h;
        h.program->Settings().SetString("options", "onconnect", "PRIVMSG NickServ :identify pw");
        h.Connected("Alice");
        h.program->conn.registrationSent = true;
        for (const auto& line : row.lines) h.Recv(line);
        if (row.grace) {
            EXPECT_EQ(h.TakeSent(), Lines{});  // the own MODE may still come
            h.loop.AdvanceBy(std::chrono::milliseconds(99));
            EXPECT_EQ(h.TakeSent(), Lines{});
            h.loop.AdvanceBy(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(h.TakeSent(), (Lines{"USERIP Alice\r\n", "USERIP Alice\r\n", "USERHOST Alice\r\n",
                                       "USERHOST Alice\r\n", "JOIN #K-HubI\r\n",
                                       "PRIVMSG NickServ :identify pw\r\n"}));
        EXPECT_TRUE(h.LogHas("Performing OnConnect command."));
        EXPECT_EQ(h.ui.MainTitle(), "K-Hub I - connecting...");
        for (const char* again :
             {":Alice MODE Alice :+owsg", ":srv 221 Alice +i", ":srv 422 Alice :-"})
            h.Recv(again);
        h.loop.AdvanceBy(std::chrono::seconds(5));
        EXPECT_EQ(h.TakeSent(), Lines{});
    }
}

// The player hears of a fallback nick once it is in; ngircd allows 9 characters and says
// so only after registration.
TEST(DispatchRegistration, FallbackNicksAreToldOnceInFitTheNickLengthAndRunOut) {
    IrcHarness inUse;
    inUse.Connected("Alice");
    inUse.Recv(":srv 433 * Alice :Nickname is already in use.");
    const std::string nick = inUse.program->conn.ownNick;
    EXPECT_TRUE(std::regex_match(nick, std::regex("K-HubUser[1-9][0-9]?"))) << nick;
    EXPECT_EQ(inUse.TakeSent(), Lines{"NICK " + nick + "\r\n"});
    EXPECT_EQ(inUse.Log(), Lines{"Setting NickName as " + nick + ".\r\n"});
    EXPECT_TRUE(inUse.ui.Boxes().empty());  // the server may refuse this one too
    inUse.Recv(":srv 001 " + nick + " :Welcome");
    EXPECT_EQ(inUse.ui.Boxes(),
              (std::vector<std::pair<std::string, BoxIcon>>{
                  {"The chosen nickname is already in use. Setting it to " + nick + " for now.",
                   BoxIcon::Information}}));

    IrcHarness h;
    h.Connected("Host_Anna_Long");
    h.Recv(":irc.ngircd.test 432 * Host_Anna_Long :Nickname too long, max. 9 characters");
    std::string first = h.program->conn.ownNick;
    h.Recv(":irc.ngircd.test 432 * " + first + " :Nickname too long, max. 9 characters");
    std::string second = h.program->conn.ownNick;
    EXPECT_TRUE(std::regex_match(second, std::regex("K-HubUse[1-9]|K-HubUs[1-9][0-9]"))) << second;
    EXPECT_EQ(h.TakeSent(), (Lines{"NICK " + first + "\r\n", "NICK " + second + "\r\n"}));
    h.Recv(":irc.ngircd.test 001 " + second + " :Welcome");
    ASSERT_EQ(h.ui.Boxes().size(), 1u);
    EXPECT_EQ(h.ui.Boxes()[0].first,
              "The chosen nickname was bad. Setting it to " + second + " for now.");

    IrcHarness known;
    known.Connected("Alice");
    known.Recv(":srv 005 Alice NICKLEN=6 :are supported by this server");
    known.Recv(":srv 433 Alice Bob :Nickname is already in use.");
    EXPECT_LE(known.program->conn.ownNick.size(), 6u) << known.program->conn.ownNick;
    // A server refusing every nick is given up after five fallbacks.
    for (int i = 0; i < 5; ++i)
        known.Recv(":srv 433 * " + known.program->conn.ownNick + " :in use");
    EXPECT_EQ(known.TakeSent().size(), 5u);
    EXPECT_EQ(known.ui.MainTitle(), "K-Hub I - not connected");
    ASSERT_EQ(known.ui.Boxes().size(), 1u);
    EXPECT_EQ(known.ui.Boxes()[0].second, BoxIcon::Error);
}

// Alice in the lobby channel with Bob (voiced), Carol, Olga (an operator) and ChanServ;
// Bob and Olga host games.
void EnterChannel(IrcHarness& h) {
    h.Registered("Alice");
    h.Recv(":srv 353 Alice = #K-HubI :Alice +Bob Carol @Olga @ChanServ");
    EXPECT_EQ(h.program->games.PutGameRow({"Bob's game", "Bob", "1/2"}), 0);
    EXPECT_EQ(h.program->games.PutGameRow({"Olga's game", "Olga", "1/2"}), 1);
    h.ClearLog();
}

int Level(const IrcHarness& h, const std::string& nick) {
    return h.program->users.PeekLevel(nick);
}

// The hosts of the game rows left, of Bob's and Olga's.
std::string Hosts(const IrcHarness& h) {
    std::string hosts;
    for (const char* host : {"Bob", "Olga"}) {
        if (h.program->games.FindGameRow(host) >= 0)
            hosts += hosts.empty() ? host : std::string(" ") + host;
    }
    return hosts;
}

void ExpectOnline(const IrcHarness& h, int online) {
    EXPECT_EQ(h.ui.MainTitle(), "K-Hub I - " + std::to_string(online) + " users online");
}

class DispatchChannel : public ::testing::Test {
  protected:
    void SetUp() override { EnterChannel(h); }
    IrcHarness h;
};

TEST_F(DispatchChannel, JoinAddsOthersAndOwnEchoEnablesTheConnectItem) {
    h.Recv(":Dave!KHubUser@127.0.0.1 JOIN #K-HubI");
    EXPECT_EQ(h.Log(), (Lines{"<Dave> joins...\r\n", "Dave not found in the NickList. -1\r\n",
                              "Dave added at Index: 5 Level: 0\r\n", "UserCount: 6.\r\n"}));
    EXPECT_EQ(Level(h, "Dave"), 0);
    h.ClearLog();
    h.Recv(":Alice!KHubUser@127.0.0.1 JOIN :#k-hubi");
    EXPECT_EQ(h.Log(), Lines{"<Alice> joins...\r\n"});
    EXPECT_TRUE(h.ui.MenuEnabled(menu::kConnect));
    h.ClearLog();
    h.Recv(":Dave!u@h JOIN #elsewhere");
    EXPECT_EQ(h.Log(), Lines{"<Dave> joins #elsewhere\r\n"});
}

// From the channel of EnterChannel (2 online). A mode without a prefix is Olga's; server-set
// modes have a prefix without '!'. InspIRCd sends the last argument as a trailing parameter.
TEST(DispatchModes, LevelsAndTheCountFollowVoiceAndOp) {
    struct Row {
        const char* name;
        Lines modes;
        std::vector<std::pair<const char*, int>> levels;
        int online;
        const char* games = nullptr;  // the hosts whose rows are left, when it matters
        Lines log = {};               // the whole log, when it matters
    };
    const Row rows[] = {
        {"voice counts once and only for members",
         {"+v Carol", "+v Carol", "+v Nobody", "+v Olga"},
         {{"Carol", 1}, {"Olga", 3}},
         3},
        {"an operator stays one", {"-v Olga"}, {{"Olga", 3}}, 2, "Bob Olga"},
        {"devoice drops the row", {"-v :Bob"}, {{"Bob", 0}}, 1, "Olga"},
        {"a trailing argument",
         {"+v :Carol"},
         {{"Carol", 1}},
         3,
         nullptr,
         {"<Olga> sets MODE CHANNEL :+v Carol\r\n", "Carol changed to Level: 1.\r\n",
          "UserCount: 3.\r\n"}},
        {"op a member", {":srv MODE #K-HubI +o Carol"}, {{"Carol", 3}}, 3},
        {"op the voiced: counted already", {":srv MODE #K-HubI +o Bob"}, {{"Bob", 3}}, 2},
        {"deop", {":srv MODE #K-HubI +o Bob", ":srv MODE #K-HubI -o Bob"}, {{"Bob", 0}}, 1},
        {"deop of staff or of the absent",
         {":srv MODE #K-HubI -o ChanServ", ":srv MODE #K-HubI -o Nobody"},
         {},
         2},
        {"combined mode words change no level",
         {"+vv Carol Bob", "+o-v Carol Bob", "+b *!*@bad", "+m"},
         {{"Carol", 0}, {"Bob", 1}, {"ChanServ", 4}, {"Alice", 0}},
         2},
        {"the user mode of someone else is only logged",
         {":Bob!u@h MODE Bob :+i"},
         {{"Bob", 1}},
         2,
         "Bob Olga",
         {"<Bob> sets MODE Bob :+i\r\n"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        IrcHarness h;
        EnterChannel(h);
        for (const auto& m : row.modes)
            h.Recv(m.starts_with(":") ? m : ":Olga!u@h MODE #K-HubI " + m);
        for (const auto& [nick, level] : row.levels) EXPECT_EQ(Level(h, nick), level) << nick;
        ExpectOnline(h, row.online);
        if (row.games) {
            EXPECT_EQ(Hosts(h), row.games);
        }
        if (!row.log.empty()) {
            EXPECT_EQ(h.Log(), row.log);
        }
        EXPECT_EQ(h.TakeSent(), Lines{});
    }
}

// Our own voice or op enables Create. A voice is how the lobby admits a newcomer: the game
// we host is announced to them alone.
TEST_F(DispatchChannel, VoiceEnablesOurCreateItemAndAnnouncesOurGameToNewcomers) {
    for (std::string mode : {"v", "o"}) {
        h.Recv(":Olga!u@h MODE #K-HubI +" + mode + " Alice");
        EXPECT_TRUE(h.ui.MenuEnabled(menu::kCreate)) << mode;
        h.Recv(":Olga!u@h MODE #K-HubI -" + mode + " Alice");
        EXPECT_FALSE(h.ui.MenuEnabled(menu::kCreate)) << mode;
    }
    h.program->host.hostedGameName = "My Game";
    h.program->windows.host = true;
    h.Recv(":Olga!u@h MODE #K-HubI +v Carol");
    EXPECT_EQ(h.TakeSent(), Lines{"NOTICE Carol :K-Hub-3|HOST|My Game\r\n"});
    h.Recv(":Olga!u@h MODE #K-HubI +v Alice");
    EXPECT_EQ(h.TakeSent(), Lines{});
}

// Who leaves the lobby leaves the user list, the count and the game list; who leaves another
// channel stays. Without a reason ircu gives the kicked nick as one, hybrid the kicker.
TEST(DispatchDepartures, LeavingTheLobbyTakesTheUserAndTheirGameAlong) {
    const struct {
        const char* line;
        const char* nick;
        int level;  // afterwards
        int online;
        const char* games;
        const char* log;
    } rows[] = {
        {":Bob!u@h QUIT :Quit: see you", "Bob", -1, 1, "Olga", "<Bob> QUIT (Quit: see you)\r\n"},
        {":Carol!u@h PART :#K-HubI", "Carol", -1, 2, "Bob Olga", "<Carol> parts...\r\n"},
        {":Carol!u@h PART #other :bye", "Carol", 0, 2, "Bob Olga", "<Carol> parts #other\r\n"},
        {":Alice!u@h KICK #K-HubI Olga :Olga", "Olga", -1, 1, "Bob",
         "<Olga> has been kicked from #K-HubI by Alice\r\n"},
        {":Olga!u@h KICK #K-HubI :Carol", "Carol", -1, 2, "Bob Olga",
         "<Carol> has been kicked from #K-HubI by Olga\r\n"},
        {":Olga!u@h KICK #other Bob :spam", "Bob", 1, 2, "Bob Olga",
         "<Bob> has been kicked from #other by Olga. (spam)\r\n"},
        {":Olga!u@h KICK #other Bob :Olga", "Bob", 1, 2, "Bob Olga",
         "<Bob> has been kicked from #other by Olga\r\n"},
        {":Olga!u@h KICK #other Alice :out", "Alice", 0, 2, "Bob Olga",
         "<Alice> has been kicked from #other by Olga. (out)\r\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        IrcHarness h;
        EnterChannel(h);
        h.Recv(row.line);
        ASSERT_FALSE(h.Log().empty());
        EXPECT_EQ(h.Log().front(), row.log);
        if (row.level < 0) {
            EXPECT_TRUE(h.LogHas("UserCount: " + std::to_string(row.online) + "."));
        }
        EXPECT_EQ(Level(h, row.nick), row.level);
        ExpectOnline(h, row.online);
        EXPECT_EQ(Hosts(h), row.games);
        EXPECT_TRUE(h.ui.Boxes().empty());
        EXPECT_EQ(h.TakeSent(), Lines{});
    }
}

TEST_F(DispatchChannel, NickFollowsTheUserAndTheirGameRow) {
    h.Recv(":Bob!u@h NICK :Bobby");
    EXPECT_EQ(Level(h, "Bob"), -1);
    EXPECT_EQ(Level(h, "Bobby"), 1);
    EXPECT_EQ(Hosts(h), "Olga");
    int row = h.program->games.FindGameRow("Bobby");
    ASSERT_GE(row, 0);
    EXPECT_EQ(h.program->games.Row(row)->gameName, "Bob's game");
    EXPECT_EQ(h.Log().front(), "<Bob> NICK <Bobby>\r\n");
}

TEST_F(DispatchChannel, TopicNamesModeratorsWhoBecomeStaff) {
    h.Recv(":srv 332 Alice #K-HubI :Moderators: Olga, Bob | Welcome");
    EXPECT_EQ(h.Log().front(), "Olga, Bob \r\n");
    EXPECT_EQ(h.program->users.moderatorNames, (Lines{"Olga", "Bob"}));
    EXPECT_EQ(Level(h, "Olga"), 4);
    EXPECT_EQ(Level(h, "Bob"), 1);  // only operators become staff
    EXPECT_EQ(h.ui.MainTitle(), "K-Hub I - 1 users online");
    // A moderator named before joining becomes staff with the NAMES reply that lists them.
    h.Recv(":Olga!u@h TOPIC #K-HubI :Moderators: Bob, Zoe | new rules");
    EXPECT_EQ(Level(h, "Olga"), 3);  // dropped from the list: an operator again
    EXPECT_EQ(h.ui.MainTitle(), "K-Hub I - 2 users online");
    h.Recv(":srv 353 Alice = #K-HubI @Zoe");  // one name may come as a middle parameter
    EXPECT_EQ(Level(h, "Zoe"), 4);
    h.ClearLog();
    h.Recv(":Olga!u@h TOPIC #K-HubI :Moderators: Zoe | newer rules");
    EXPECT_EQ(h.Log()[1], "Bob - Zoe \r\n");
    EXPECT_EQ(h.Log()[2], "Zoe - Zoe \r\n");
    EXPECT_EQ(Level(h, "Zoe"), 4);
    EXPECT_EQ(h.program->users.moderatorNames, Lines{"Zoe"});
}

void ExpectReset(IrcHarness& h) {
    EXPECT_EQ(h.ui.MainTitle(), "K-Hub I - not connected");
    EXPECT_EQ(h.program->games.Size(), 0);
    EXPECT_EQ(h.program->users.userEntryCount(), 0);
    EXPECT_EQ(h.program->users.onlineUserCount(), 0);
    EXPECT_EQ(h.program->users.moderatorCount(), 0);
    EXPECT_FALSE(h.program->conn.receiveLoopActive);
    EXPECT_FALSE(h.program->conn.receiveThreadRunning);
    EXPECT_EQ(h.ui.MenuText(menu::kConnect), "&Connect");
    EXPECT_TRUE(h.ui.MenuEnabled(menu::kConnect));
    EXPECT_FALSE(h.ui.MenuEnabled(menu::kCreate));
    EXPECT_FALSE(h.ui.MenuEnabled(menu::kJoin));
}

// The kick of ourselves (a reason that is the kicked nick is none), a ban and the server's
// ERROR end the connection, each with its own box.
TEST(DispatchReset, KickBanAndErrorEndTheConnectionAndTellWhy) {
    const struct {
        const char* line;
        const char* box;
        BoxIcon icon;
        const char* log = nullptr;
    } rows[] = {
        {":Olga!u@h KICK #k-hubi alice :Alice",
         "A operator has kicked you! You probably did something bad...\r\n", BoxIcon::Warning},
        {":Olga!u@h KICK #K-HubI Alice :behave", "Kicked: behave\r\n", BoxIcon::Warning},
        {":srv 474 Alice #K-HubI :Cannot join channel (+b)",
         "You have been BANNED. Unable to join.", BoxIcon::Warning, "Cannot join channel (+b)"},
        {"ERROR :Closing Link: Alice (Killed)", "ERROR: Server has closed the link.",
         BoxIcon::Information, "ERROR: Server has closed the link."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        IrcHarness h;
        EnterChannel(h);
        h.Recv(":Olga!u@h TOPIC #K-HubI :Moderators: Olga | hi");
        h.Recv(row.line);
        if (row.log) {
            EXPECT_TRUE(h.LogHas(row.log));
        }
        ExpectReset(h);
        EXPECT_EQ(h.ui.Boxes(),
                  (std::vector<std::pair<std::string, BoxIcon>>{{row.box, row.icon}}));
    }
}

// What the debug log shows of each line: chat and notices in their forms, private notices
// only when ChanServ names the forum and the rules, lines nobody handles raw, and lines
// that cannot be parsed not at all.
TEST(DispatchLog, EachLineIsLoggedInItsForm) {
    const std::pair<const char*, Lines> rows[] = {
        {":Bob!u@h PRIVMSG #K-HubI :hello all", {"<Bob> hello all\r\n"}},
        {":Bob!u@h PRIVMSG #K-HubI :\001ACTION waves\001", {"Bob waves"}},
        {":Bob!u@h PRIVMSG #other :over here", {"#other <Bob> over here"}},
        {":Bob!u@h PRIVMSG #other :\001ACTION waves\001", {"#other Bob waves"}},
        {":Bob!u@h PRIVMSG Alice :\001ACTION pokes you\001", {"ACTION:Bob pokes you\r\n"}},
        {":Bob!u@h PRIVMSG Alice :psst", {"<<Bob>> psst\r\n"}},
        {":Bob!u@h PRIVMSG Alice :\x01VERSION\x01", {"[CTCP] Bob : VERSION\r\n"}},
        {":Bob!u@h NOTICE #K-HubI :hello", {"<Bob> hello\r\n"}},
        {":Bob!u@h NOTICE @#K-HubI :+ to the players", {"@#K-HubI <Bob> + to the players\r\n"}},
        {":Bob!u@h NOTICE Alice :just for you", {}},
        {":ChanServ!s@services NOTICE Alice :Welcome! Forum: http://f.example Rules: "
         "http://r.example",
         {"Forum message from ChanServ recieved.\r\n", "Forum = http://f.example\r\n",
          "Rules URL message from ChanServ recieved.\r\n", "Rules URL = http://r.example\r\n"}},
        {":Mallory!m@h NOTICE Alice :x Forum: http://evil.example", {}},
        {":srv 005 Alice WALLCHOPS :are supported by this server",
         {":srv 005 Alice WALLCHOPS :are supported by this server\r\n"}},
        {":srv 333 Alice #K-HubI Olga 1700000000", {}},
        {":srv 366 Alice #K-HubI :End of /NAMES list.", {}},
        {":srv WHAT", {}},
        {":Bob!u@h PRIVMSG #K-HubI :see PING :me", {":Bob!u@h PRIVMSG #K-HubI :see PING :me\r\n"}},
    };
    IrcHarness h;
    h.Registered("Alice");
    for (const auto& [line, logged] : rows) {
        h.ClearLog();
        h.Recv(line);
        EXPECT_EQ(h.Log(), logged) << line;
    }
    EXPECT_EQ(h.TakeSent(), Lines{});
    EXPECT_EQ(h.program->forumUrl, "http://f.example");
    EXPECT_EQ(h.program->rulesUrl, "http://r.example");
    // The nick in a channel line has its own colour.
    auto stretches = h.ui.Stretches(WindowId::Debug, control::kDebugLog);
    ASSERT_GE(stretches[0].size(), 2u);
    EXPECT_EQ(stretches[0][1].text, "Bob");
    EXPECT_NE(stretches[0][1].color, stretches[0][0].color);
}

TEST(DispatchChat, PartnerChatShowsTheModeratorTagInRedAndSoundsOnce) {
    IrcHarness h;
    h.Registered("Alice");
    h.Recv(":srv 353 Alice = #K-HubI :@Alice @Olga");
    h.Recv(":Olga!u@h NOTICE @#K-HubI :K-Hub-3|HOST|Zelda");
    lobby::GameListClick(*h.program, 0, true);
    h.Recv(":Olga!u@h NOTICE @#K-HubI :K-Hub-3|HOST|Zelda|Alice");
    ASSERT_TRUE(h.program->client.joinConfirmed);
    h.program->Settings().SetString("host", "textsoundfile", "/s/text.wav");
    h.program->playTextSound = true;

    h.Recv(":Olga!u@h PRIVMSG Alice :hi");
    lobby::JoinSend(*h.program, "yo");
    EXPECT_EQ(h.ui.Sounds(), Lines{"/s/text.wav"});
    const Rgb black = ColorTable()[1], red = ColorTable()[4];
    EXPECT_EQ(h.ui.Stretches(WindowId::JoinGame, control::kJoinChatLog),
              (std::vector<std::vector<ColorStretch>>{
                  {{black, "<"}, {red, "[MOD]"}, {black, " Olga> hi\r\n"}},
                  {{black, "<"}, {red, "[MOD]"}, {black, " Alice> yo\r\n"}}}));
}

// The offer reaches the transfer, which refuses its name before any connection is made.
TEST(DispatchChat, DccSendIsTakenOnlyAfterWeAskedForTheRom) {
    IrcHarness h;
    h.Registered("Alice");
    const char* offer = ":Bob!u@h PRIVMSG Alice :\001DCC SEND \"../\" 2130706433 4000 1024\001";
    h.Recv(offer);
    EXPECT_EQ(h.Log(), Lines{});
    h.program->client.downloadRequested = true;
    h.program->client.joinedHostNick = "Bob";
    h.Recv(offer);
    ASSERT_FALSE(h.Log().empty());
    EXPECT_EQ(h.Log().front(), "Bob \"../\" 2130706433 4000 1024\x01\r\n");
    ASSERT_EQ(h.ui.Boxes().size(), 1u);
    EXPECT_NE(h.ui.Boxes()[0].first.find("not a plain file name"), std::string::npos);
}

TEST(DispatchOwnAddress, UserHostVariants) {
    struct Case {
        const char* host;
        const char* address;
        const char* log;
        const char* reply = "302";  // USERHOST; 340 is USERIP
    } cases[] = {
        {"1234567890123456", "", nullptr, "340"},  // 16 bytes: too long
        {"127.0.0.1", "127.0.0.1", "USERIP: IPAddress set as \"127.0.0.1\".\r\n", "340"},
        {"192.168.0.10", "192.168.0.10", "USERHOST: 1: IPAddress set as \"192.168.0.10\".\r\n"},
        {"c-24-5-6-7.hsd1.example.net", "24.5.6.7",
         "USERHOST: 2: IPAddress set as \"24.5.6.7\".\r\n"},
        {"dsl.81.2.3.4.pool.example.org", "81.2.3.4",
         "USERHOST: 3: IPAddress set as \"81.2.3.4\".\r\n"},
        {"host.example.org", "", nullptr},
        // InspIRCd ends the reply with a blank; a reply may list more than one nick.
        {"127.0.0.1 ", "127.0.0.1", "USERHOST: 1: IPAddress set as \"127.0.0.1\".\r\n"},
        {"10.1.2.3 Bob=+u@10.9.9.9", "10.1.2.3", "USERHOST: 1: IPAddress set as \"10.1.2.3\".\r\n"},
        {"c-24-5-x-7-8.example.net", "", nullptr},
    };
    for (const Case& c : cases) {
        IrcHarness h;
        h.Registered("Alice");
        h.Recv(std::string(":srv ") + c.reply + " Alice :Alice=+u@" + c.host);
        EXPECT_EQ(h.program->ownIpText, c.address) << c.host;
        EXPECT_EQ(h.Log(), c.log ? Lines{c.log} : Lines{}) << c.host;
    }
    IrcHarness set;  // the first usable reply or the [host] IP wins; no WHOIS then
    set.Registered("Alice");
    set.program->ownIpText = "1.2.3.4";
    set.Recv(":srv 302 Alice :Alice=+u@5.6.7.8");
    EXPECT_EQ(set.program->ownIpText, "1.2.3.4");
    set.Recv(":srv 302 Alice :Alice=+u@localhost");
    EXPECT_EQ(set.TakeSent(), Lines{});
}

// A server that shows a host name (ngircd with DNS) or a cloak (Ergo) in USERHOST: the real
// address comes from a WHOIS on ourselves, as each server writes it.
TEST(DispatchOwnAddress, WhoisNamesTheAddressUserHostHid) {
    const std::pair<const char*, const char*> rows[] = {
        {"~KHubUser@localhost",
         ":irc.ngircd.test 378 Alice Alice :is connecting from *@localhost 10.0.0.7"},
        {"KHubUser@host.example.org",
         ":irc.inspircd.test 378 Alice Alice :is connecting from KHubUser@host.example.org "
         "10.0.0.7"},
        {"~KHubUser@host.example.org",
         ":irc.hybrid.test 338 Alice Alice ~KHubUser@host.example.org 10.0.0.7 :Actual "
         "user@host, actual IP"},
        {"~KHubUser@56nzgkrnwzude.irc",
         ":ergo.test 338 Alice Alice ~KHubUser@10.0.0.7 10.0.0.7 :Actual user@host, Actual IP"},
    };
    for (const auto& [host, whois] : rows) {
        IrcHarness h;
        h.Registered("Alice");
        h.Recv(":srv 421 Alice USERIP :Unknown command");
        h.Recv(std::string(":srv 302 Alice :Alice=+") + host);
        h.Recv(std::string(":srv 302 Alice :Alice=+") + host);
        EXPECT_EQ(h.TakeSent(), Lines{"WHOIS Alice\r\n"}) << host;
        h.Recv(":srv 378 Alice Bob :is connecting from *@bob.example 10.9.9.9");  // not us
        h.Recv(whois);
        h.Recv(":srv 318 Alice Alice :End of /WHOIS list.");
        EXPECT_EQ(h.program->ownIpText, "10.0.0.7") << whois;
        EXPECT_TRUE(h.LogHas("WHOIS: IPAddress set as \"10.0.0.7\"."));
        EXPECT_TRUE(h.ui.Boxes().empty());
    }
}

TEST(DispatchOwnAddress, WithoutWhoisAddressTheConnectionsOwnIsTakenElseThePlayerIsTold) {
    IrcHarness h;
    h.Registered("Alice");
    SocketHandle link[2];
    test::LoopbackSocketPair(link);
    h.program->conn.ircSocket = link[0];
    h.Recv(":srv 302 Alice :Alice=+u@56nzgkrnwzude.irc");
    h.Recv(":srv 311 Alice Alice u 56nzgkrnwzude.irc * :KHubUser");
    h.Recv(":srv 318 Alice Alice :End of /WHOIS list.");
    h.program->conn.ircSocket = kInvalidSocket;
    CloseSocket(link[0]);
    CloseSocket(link[1]);
    EXPECT_EQ(h.program->ownIpText, "127.0.0.1");
    EXPECT_TRUE(h.LogHas("may not reach"));
    EXPECT_TRUE(h.ui.Boxes().empty());

    IrcHarness none;  // no IPv4 connection to ask either
    none.Registered("Alice");
    none.Recv(":srv 421 Alice USERHOST :Unknown command");
    EXPECT_EQ(none.TakeSent(), Lines{"WHOIS Alice\r\n"});
    none.Recv(":srv 318 Alice Alice :End of /WHOIS list.");
    none.Recv(":srv 318 Alice Alice :End of /WHOIS list.");
    EXPECT_EQ(none.program->ownIpText, "");
    ASSERT_EQ(none.ui.Boxes().size(), 1u);
    EXPECT_NE(none.ui.Boxes()[0].first.find("\"IP\" in section [host]"), std::string::npos)
        << none.ui.Boxes()[0].first;
    EXPECT_EQ(none.ui.Boxes()[0].second, BoxIcon::Warning);
}

// Once: the sends that fail in the same moment on other threads add no second box.
TEST(DispatchSendFailure, AfterTheReceiveSideFailedEndsTheConnectionOnce) {
    IrcHarness h;
    h.Registered("Alice");
    h.FailSends(-1);
    h.program->conn.lastReceiveResult = -1;
    std::thread([&] {
        SendIrcLine(*h.program, "NOTICE Bob :K-Hub-3|GET\r\n");
        SendIrcLine(*h.program, "NOTICE Bob :K-Hub-3|DONE\r\n");
    }).join();
    h.loop.RunPending();
    EXPECT_TRUE(h.LogHas("Socket Error! Disconnecting."));
    ExpectReset(h);
    EXPECT_EQ(h.ui.Boxes(), (std::vector{std::make_pair(
                                std::string("ERROR 2: Socket connection lost."), BoxIcon::Error)}));
}

// The server may reset the link under the player's own QUIT: the windows' last notices
// then fail without an error box.
TEST(DispatchSendFailure, NotReportedAfterThePlayersOwnDisconnect) {
    IrcHarness h;
    h.Registered("Alice");
    Disconnect(*h.program);
    h.FailSends(-1);
    h.program->conn.lastReceiveResult = -1;
    SendIrcLine(*h.program, "NOTICE Bob :K-Hub-3|LEFT\r\n");
    h.loop.RunPending();
    EXPECT_TRUE(h.ui.Boxes().empty());
}

// A nick or text relayed by a hostile server must not turn one line into two commands;
// ordinary line ends still go out.
TEST(DispatchSendFailure, ALineWithABreakOrNulInsideIsNotSent) {
    IrcHarness h;
    h.Registered("Alice");
    const std::string bad[] = {
        "NOTICE Bob\r\nQUIT :x\r\n",
        "NOTICE Bob\nQUIT :x\r\n",
        "NOTICE Bob\rQUIT :x\r\n",
        std::string("NOTICE B\0ob :x\r\n", 17),
        "NOTICE Bob :K-Hub-3|HOST|g|\r\n\r\n",
    };
    for (const auto& line : bad) {
        EXPECT_EQ(SendIrcLine(*h.program, line), 0) << line;
    }
    EXPECT_TRUE(h.LogHas("Not sent: the line holds a line break or a NUL byte."));
    const Lines good{"PONG :irc.test.local\r", "PRIVMSG Bob :hi\r\n", "JOIN #K-HubI\n"};
    for (const auto& line : good) {
        EXPECT_GT(SendIrcLine(*h.program, line), 0) << line;
    }
    EXPECT_EQ(h.TakeSent(), good);
}

// Replays the captured file line by line into h and returns every line sent; tick moves the
// clock after each line (the servers' pauses between lines).
Lines Replay(IrcHarness& h, const std::string& file, std::chrono::milliseconds tick) {
    std::ifstream in(std::string(KHUB_TEST_DATA_DIR) + "/" + file, std::ios::binary);
    Lines sent;
    std::size_t count = 0;
    h.Connected("Alice");
    for (std::string line; std::getline(in, line); ++count) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        EXPECT_EQ(ParseIrcLine(line).result, 0) << line;
        h.Recv(line);
        h.loop.AdvanceBy(tick);
        for (auto& s : h.TakeSent()) sent.push_back(s);
    }
    EXPECT_GT(count, 20u) << file;
    return sent;
}

TEST(CapturedSession, ReplayRegistersJoinsAndEndsWithTheRightChannel) {
    IrcHarness h;
    Lines sent = Replay(h, "ircu_session.txt", std::chrono::milliseconds(0));
    ASSERT_EQ(sent.size(), 9u);
    EXPECT_EQ(Lines(sent.begin(), sent.begin() + 8),
              (Lines{"NICK Alice\r\n", "USER KHubUser 8 * :KHubUser\r\n", sent[2],
                     "USERIP Alice\r\n", "USERIP Alice\r\n", "USERHOST Alice\r\n",
                     "USERHOST Alice\r\n", "JOIN #K-HubI\r\n"}));
    EXPECT_TRUE(std::regex_match(sent[2], std::regex("PONG :[0-9]+\r")));
    // The last line refused our change to a taken nick.
    EXPECT_TRUE(std::regex_match(sent[8], std::regex("NICK K-HubUser[1-9][0-9]?\r\n")));

    const ChannelUsers& users = h.program->users;
    EXPECT_EQ(users.PeekLevel("Alice"), level::kVoiced);
    EXPECT_EQ(users.PeekLevel("Ivan"), level::kOperator);    // no longer named in the topic
    EXPECT_EQ(users.PeekLevel("Bob"), level::kAbsent);       // kicked
    EXPECT_EQ(users.PeekLevel("Caroline"), level::kAbsent);  // parted with a reason
    EXPECT_EQ(users.moderatorNames, Lines{"Olga"});
    EXPECT_EQ(h.ui.MainTitle(), "K-Hub I - 2 users online");
    EXPECT_EQ(h.program->ownIpText, "127.0.0.1");
    EXPECT_TRUE(h.ui.MenuEnabled(menu::kCreate));
    EXPECT_EQ(h.program->games.Size(), 0);
    EXPECT_TRUE(h.LogHas("<Bob> hello everybody"));
    EXPECT_TRUE(h.LogHas("<Bob> has been kicked from #K-HubI by Ivan. (bye Bob)"));
}

// Alice registers (on hybrid's ident notice), joins, asks her address, is voiced by the
// channel operator Ivan, who talks, announces a game and leaves.
TEST(CapturedSession, OtherServersReplayToTheSameLobby) {
    const std::pair<const char*, Lines> rows[] = {
        {"ngircd_session.txt", {}},
        {"inspircd_session.txt", {}},
        {"hybrid_session.txt", {"NICK Alice\r\n", "USER KHubUser 8 * :KHubUser\r\n"}},
    };
    for (const auto& [file, registration] : rows) {
        SCOPED_TRACE(file);
        IrcHarness h;
        Lines sent = Replay(h, file, std::chrono::seconds(1));
        Lines expected = registration;
        expected.insert(expected.end(), {"JOIN #K-HubI\r\n", "USERHOST Alice\r\n"});
        EXPECT_EQ(sent, expected);
        EXPECT_EQ(h.program->ownIpText, "127.0.0.1");
        EXPECT_EQ(h.program->users.PeekLevel("Alice"), level::kVoiced);
        EXPECT_TRUE(h.ui.MenuEnabled(menu::kCreate));
        EXPECT_EQ(h.program->users.PeekLevel("Ivan"), level::kAbsent);
        EXPECT_EQ(h.ui.MainTitle(), "K-Hub I - 1 users online");
        EXPECT_TRUE(h.LogHas("<Ivan> hello everybody"));
        EXPECT_TRUE(h.LogHas("K-Hub Hosting message recieved."));
        EXPECT_EQ(h.program->games.Size(), 0);  // his game went with him
    }
}

}  // namespace

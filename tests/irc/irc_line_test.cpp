#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "irc/IrcLine.h"

using khub::ParseIrcLine;

namespace {

struct Row {
    const char* name;
    std::string line;
    int result;
    const char* prefix;
    const char* nick;
    const char* command;
    const char* param;
    const char* trailing;
};

const Row kRows[] = {
    {"UserPrefixWithParamAndTrailing", ":Bob!KHubUser@127.0.0.1 PRIVMSG #K-HubI :hello there", 0,
     "Bob!KHubUser@127.0.0.1", "Bob", "PRIVMSG", "#K-HubI", "hello there"},
    {"ServerPrefixHasNoBang", ":irc.test.local 353 Dave = #K-HubI :Dave +Carol @Alice", 0,
     "irc.test.local", "irc.test.local", "353", "Dave", "= #K-HubI :Dave +Carol @Alice"},
    {"OnlyOneLeadingColonGoes", ":a!b@c PRIVMSG Bob ::-)", 0, "a!b@c", "a", "PRIVMSG", "Bob",
     ":-)"},
    {"NoBlankAfterParamMakesItTrailing", ":Carol!u@h PART :#K-HubI", 0, "Carol!u@h", "Carol",
     "PART", "", "#K-HubI"},
    {"BareParamWithoutColon", ":Alice!u@h JOIN #K-HubI", 0, "Alice!u@h", "Alice", "JOIN", "",
     "#K-HubI"},
    {"QuitTakesNoParam", ":Bobby!u@h QUIT :Quit: see you", 0, "Bobby!u@h", "Bobby", "QUIT", "",
     "Quit: see you"},
    {"KickVictimStaysInTrailing", ":Alice!u@h KICK #K-HubI Dave :bye Dave", 0, "Alice!u@h", "Alice",
     "KICK", "#K-HubI", "Dave :bye Dave"},
    {"EmptyTrailing", ":Bob!u@h PART #K-HubI :", 0, "Bob!u@h", "Bob", "PART", "#K-HubI", ""},
    {"ControlAndNonAsciiBytesPass", ":Bob!u@h PRIVMSG Alice :\001ACTION \xc3\xa9\0034red\001", 0,
     "Bob!u@h", "Bob", "PRIVMSG", "Alice", "\001ACTION \xc3\xa9\0034red\001"},
    {"BarePing", "PING :irc.test.local", 0, "", "", "PING", "", "irc.test.local"},
    {"BarePingWithDoubleColon", "PING ::x", 0, "", "", "PING", "", "x"},
    {"IdentNotice", "NOTICE AUTH :*** Checking Ident", 0, "", "", "NOTICE AUTH", "",
     "*** Checking Ident"},
    {"PrefixedIdentNoticeLosesPrefix", ":irc.x NOTICE AUTH :*** Checking Ident", 0, "", "",
     "NOTICE AUTH", "", "*** Checking Ident"},
    // A chat line that quotes a server ping is taken apart as if it had no prefix.
    {"ChatQuotingPingLosesPrefix", ":Bob!u@h PRIVMSG #K-HubI :try PING :now", 0, "", "",
     "PRIVMSG #K-HubI", "", "try PING :now"},
    {"ColonRightAtTheStartOfABareLine", "X:y", 0, "", "", "", "", "y"},
    {"PrefixWithoutBlank", ":irc.test.local", 1, "", "", "", "", ""},
    {"EmptyPrefixedLine", ":", 1, "", "", "", "", ""},
    {"CommandWithoutBlank", ":irc.test.local PONG", 2, "irc.test.local", "irc.test.local", "PONG",
     "", ""},
    {"BareLineWithoutColon", "PING irc.test.local", 4, "", "", "", "", ""},
    {"EmptyLine", "", 4, "", "", "", "", ""},
};

class IrcLineGrammar : public ::testing::TestWithParam<Row> {};

TEST_P(IrcLineGrammar, SplitsIntoItsFields) {
    const Row& r = GetParam();
    auto parsed = ParseIrcLine(r.line);
    EXPECT_EQ(parsed.result, r.result);
    if (r.result != 0 && r.result != 2) return;
    EXPECT_EQ(parsed.parts.prefix, r.prefix);
    EXPECT_EQ(parsed.parts.nick, r.nick);
    EXPECT_EQ(parsed.parts.command, r.command);
    EXPECT_EQ(parsed.parts.param, r.param);
    EXPECT_EQ(parsed.parts.trailing, r.trailing);
}

INSTANTIATE_TEST_SUITE_P(Rows, IrcLineGrammar, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

// The parameters as IRC defines them, whichever form the server chose for the last one.
TEST(IrcLineGrammar, ParamsAreTheSameMiddleOrTrailing) {
    using Params = std::vector<std::string>;
    const std::pair<const char*, Params> rows[] = {
        {":Op!u@h MODE #K-HubI +v Host_Anna", {"#K-HubI", "+v", "Host_Anna"}},
        {":Op!u@h MODE #K-HubI +v :Host_Anna", {"#K-HubI", "+v", "Host_Anna"}},
        {":srv 302 Me :Me=+u@127.0.0.1 ", {"Me", "Me=+u@127.0.0.1 "}},
        {":a!b@c PRIVMSG Bob ::-)", {"Bob", ":-)"}},
        {":srv 005 Me  NICKLEN=9 a:b :are supported", {"Me", "NICKLEN=9", "a:b", "are supported"}},
        {":Bob!u@h PART #K-HubI :", {"#K-HubI", ""}},
        {":Bobby!u@h QUIT :Quit: see you", {"Quit: see you"}},
        {"PING :irc.test.local", {"irc.test.local"}},
    };
    for (const auto& [line, params] : rows)
        EXPECT_EQ(ParseIrcLine(line).parts.params, params) << line;
}

TEST(IrcLineGrammar, FieldsAreCutToTheirCapacities) {
    std::string longNick(300, 'n');
    std::string longCommand(80, 'C');
    std::string longParam(400, 'p');
    std::string longText(3000, 't');
    auto parsed =
        ParseIrcLine(":" + longNick + "!u@h " + longCommand + " " + longParam + " :" + longText);
    ASSERT_EQ(parsed.result, 0);
    EXPECT_EQ(parsed.parts.prefix, std::string(103, 'n'));
    EXPECT_EQ(parsed.parts.nick, std::string(103, 'n'));
    EXPECT_EQ(parsed.parts.command, std::string(51, 'C'));
    EXPECT_EQ(parsed.parts.param, std::string(259, 'p'));
    EXPECT_EQ(parsed.parts.trailing, std::string(1023, 't'));
}

}  // namespace

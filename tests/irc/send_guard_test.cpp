#include <gtest/gtest.h>

#include "irc/Connection.h"
#include "support/IrcHarness.h"

using khub::SendIrcLine;
using khub::test::IrcHarness;

// A nick or text relayed by a hostile server must not turn one line into two commands;
// ordinary line ends still go out.
TEST(SendGuard, ALineWithABreakOrNulInsideIsNotSent) {
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
    const std::vector<std::string> good{"PONG :irc.test.local\r", "PRIVMSG Bob :hi\r\n",
                                        "JOIN #K-HubI\n"};
    for (const auto& line : good) {
        EXPECT_GT(SendIrcLine(*h.program, line), 0) << line;
    }
    EXPECT_EQ(h.TakeSent(), good);
}

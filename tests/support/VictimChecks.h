#pragma once
// Small checks shared by the tests that attack or break a VictimCopy.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <string>

#include "support/HostileNetwork.h"
#include "support/VictimCopy.h"

namespace khub::test {

// The prefix of a line from another user of the channel.
inline std::string From(const std::string& nick) {
    return ":" + nick + "!KHubUser@127.0.0.1";
}

// quit ends the copy, by itself and with status 0.
inline void ExpectQuitsCleanly(VictimCopy& copy) {
    auto status = copy.Quit();
    ASSERT_TRUE(status.has_value()) << "the copy did not end after quit";
    ASSERT_TRUE(WIFEXITED(*status)) << "the copy died with signal " << WTERMSIG(*status);
    EXPECT_EQ(WEXITSTATUS(*status), 0);
}

// Test names for cases run on each kind of server.
inline std::string KindName(const ::testing::TestParamInfo<HostileNetwork::Kind>& info) {
    return info.param == HostileNetwork::Kind::Ircu ? "Ircu" : "Loopback";
}

}  // namespace khub::test

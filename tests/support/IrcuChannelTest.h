#pragma once
// A test against a real ircd-ircu whose operator "Ivan" is in #K-HubI before any player, so
// ircu makes him the channel operator: he can give voice, kick and kill.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/CliProcess.h"
#include "ircu/IrcTestClient.h"
#include "ircu/IrcuServer.h"

namespace khub::test {

class IrcuChannelTest : public ::testing::Test {
  protected:
    // Skips the test when ircu cannot run here.
    void StartServer(IrcuServer::Options options = {}) {
        server = std::make_unique<IrcuServer>(std::move(options));
        if (!server->ok()) GTEST_SKIP() << server->error();
        ASSERT_TRUE(op.Connect(server->port()));
        ASSERT_TRUE(op.Register("Ivan"));
        ASSERT_TRUE(op.Oper());
        ASSERT_TRUE(op.Join());
    }

    static void ExpectLine(CliProcess& cli, const std::string& text) {
        EXPECT_TRUE(cli.WaitForLine(text)) << "no \"" << text << "\" in:\n" << cli.OutputText();
    }

    std::unique_ptr<IrcuServer> server;
    IrcTestClient op;
};

}  // namespace khub::test

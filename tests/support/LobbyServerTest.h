#pragma once
// A test that runs on a real IRC server, or on each one the lobby plays on: ircd-ircu, ngircd,
// InspIRCd and ircd-hybrid. The operator "Ivan" is in #K-HubI before any player, so each server
// makes him its channel operator; he voices players (OPMODE as an IRC operator on ircu, MODE as the
// channel's operator elsewhere).

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ircu/IrcTestClient.h"
#include "ircu/IrcuServer.h"
#include "support/LobbyPlayer.h"
#include "support/PackagedIrcd.h"

namespace khub::test {

class LobbyServerTest : public ::testing::TestWithParam<IrcdKind> {
  protected:
    // Skips the test when the server cannot be had here.
    void StartServer() { StartServer(GetParam()); }
    void StartServer(IrcdKind kind, PackagedIrcd::Options options = PackagedIrcd::Options(),
                     IrcuServer::Options ircuOptions = {}) {
        kind_ = kind;
        if (kind == IrcdKind::Ircu) {
            ircu_ = std::make_unique<IrcuServer>(std::move(ircuOptions));
            if (!ircu_->ok()) GTEST_SKIP() << ircu_->error();
            port_ = ircu_->port();
        } else {
            other_ = std::make_unique<PackagedIrcd>(kind, options);
            if (other_->unavailable()) GTEST_SKIP() << other_->error();
            ASSERT_TRUE(other_->ok()) << other_->error();
            port_ = other_->port();
            op.awaitIdentNotice = other_->sendsIdentNotice();
        }
        ASSERT_TRUE(op.Connect(port_));
        ASSERT_TRUE(op.Register("Ivan"));
        if (kind == IrcdKind::Ircu) {
            ASSERT_TRUE(op.Oper());
        }
        ASSERT_TRUE(op.Join());
    }

    bool Voice(const std::string& nick) {
        return kind_ == IrcdKind::Ircu ? op.OpMode("#K-HubI", "+v", nick)
                                       : op.ChannelMode("#K-HubI", "+v", nick);
    }
    int port() const { return port_; }
    IrcuServer& ircu() { return *ircu_; }

    static void ExpectLine(CliProcess& cli, const std::string& text) {
        EXPECT_TRUE(cli.WaitForLine(text)) << "no \"" << text << "\" in:\n" << cli.OutputText();
    }

    // Connects the player and waits until it is in the lobby and has voice.
    void Enter(Player& p) {
        p.cli.Send("connect");
        ASSERT_TRUE(op.WaitFor([&](const std::string& l) {
            return l.rfind(":" + p.nick + "!", 0) == 0 && l.find(" JOIN ") != std::string::npos;
        })) << p.cli.OutputText();
        ASSERT_TRUE(p.cli.WaitForText("users online")) << p.cli.OutputText();
        ASSERT_TRUE(Voice(p.nick));
        ASSERT_TRUE(p.cli.WaitForText("+v " + p.nick)) << p.cli.OutputText();
    }

    IrcTestClient op;

  private:
    IrcdKind kind_ = IrcdKind::Ircu;
    std::unique_ptr<IrcuServer> ircu_;
    std::unique_ptr<PackagedIrcd> other_;
    int port_ = 0;
};

// For INSTANTIATE_TEST_SUITE_P: the server's name as the case's name.
inline std::string IrcdCaseName(const ::testing::TestParamInfo<IrcdKind>& info) {
    return IrcdName(info.param);
}

}  // namespace khub::test

// File > Connect and Disconnect against a scripted server on the loopback: what the menu
// and the title show at each step, and what went over the wire.

#include "irc/Connection.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <thread>

#include "GuiFixture.h"
#include "support/LoopbackIrcServer.h"

namespace khub::gui::test {
namespace {

using namespace std::chrono_literals;

class ConnectionTest : public GuiTest {
  protected:
    // The connection's threads hand their results to the lobby loop; run it (and Qt) until
    // done holds or the deadline passes. This waits for the network, never for a timer.
    bool RunUntil(const std::function<bool()>& done, std::chrono::seconds limit = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            loop_.RunPending();
            Pump();
            std::this_thread::yield();
        }
        return true;
    }
    QString ItemText(int id) { return frame_->MenuItem(id)->text().section('\t', 0, 0); }
};

TEST_F(ConnectionTest, ConnectAndDisconnectDriveTitleAndMenu) {
    khub::test::LoopbackIrcServer server;
    const std::string roms = dir_.filePath("roms").toStdString();
    CIni ini(SettingsPath());
    ini.SetString("options", "playername", "Player1");
    ini.SetString("options", "programpath", "/bin/true");
    ini.SetString("options", "rompath", roms);
    ini.SetString("options", "server", "127.0.0.1");
    ini.SetInt("options", "port", server.port());
    ConnectIrcLinks(*program_);
    MakeFrame();

    QTest::keyClick(frame_.get(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(frame_->windowTitle(), "K-Hub I - connecting.");
    EXPECT_EQ(ItemText(menu::kConnect), "Dis&connect");
    EXPECT_FALSE(frame_->IsMenuItemEnabled(menu::kConnect));

    bool registered = false;
    std::thread serverSide([&] { registered = server.AcceptAndRegister({"+Bob", "@Op"}); });
    const bool joined = RunUntil([&] { return frame_->IsMenuItemEnabled(menu::kConnect); });
    serverSide.join();
    ASSERT_TRUE(registered);
    ASSERT_TRUE(joined);
    EXPECT_EQ(ItemText(menu::kConnect), "Dis&connect");
    EXPECT_TRUE(frame_->windowTitle().endsWith("users online"))
        << frame_->windowTitle().toStdString();
    EXPECT_FALSE(frame_->IsMenuItemEnabled(menu::kCreate));  // not voiced

    // Voiced by an operator: hosting becomes possible.
    server.SendLine(":Op!o@h MODE #K-HubI +v " + server.clientNick());
    ASSERT_TRUE(RunUntil([&] { return frame_->IsMenuItemEnabled(menu::kCreate); }));

    QTest::keyClick(frame_.get(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(frame_->windowTitle(), "K-Hub I - not connected");
    EXPECT_EQ(ItemText(menu::kConnect), "&Connect");
    EXPECT_TRUE(frame_->IsMenuItemEnabled(menu::kConnect));
    EXPECT_FALSE(frame_->IsMenuItemEnabled(menu::kCreate));
    EXPECT_FALSE(frame_->IsMenuItemEnabled(menu::kJoin));
    EXPECT_TRUE(
        server.WaitForLine([](const std::string& l) { return l == "QUIT :"; }, 5s).has_value());
}

class WireTest : public ConnectionTest {
  protected:
    void SetUp() override {
        ConnectionTest::SetUp();
        ConnectIrcLinks(*program_);
        program_->conn.ownNick = "Player1";
        program_->conn.sendOverride = [this](std::string_view line) {
            wire_.emplace_back(line);
            return static_cast<long>(line.size());
        };
    }
    std::ptrdiff_t IndexOf(const std::function<bool(const std::string&)>& pred) const {
        auto it = std::find_if(wire_.begin(), wire_.end(), pred);
        return it == wire_.end() ? -1 : it - wire_.begin();
    }
    std::vector<std::string> wire_;
};

TEST_F(WireTest, TheDebugWindowSendsItsLineAsTyped) {
    MakeFrame();
    QTest::keyClick(frame_.get(), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    CDialog* debug = Open(WindowId::Debug);
    ASSERT_NE(debug, nullptr);
    auto* edit = debug->ControlAs<QLineEdit>(400);
    auto* send = debug->ControlAs<QPushButton>(401);
    send->click();  // nothing typed: nothing sent
    EXPECT_TRUE(wire_.empty());
    QTest::keyClicks(edit, "PRIVMSG #K-HubI :hi there");
    send->click();
    EXPECT_EQ(wire_, std::vector<std::string>{"PRIVMSG #K-HubI :hi there\r\n"});
    EXPECT_TRUE(edit->text().isEmpty());
    QTest::keyClicks(edit, "PING x");
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_EQ(wire_.size(), 2u);
    EXPECT_EQ(wire_[1], "PING x\r\n");
}

TEST_F(WireTest, ExitEndsTheHostedGameAndThenSaysGoodbye) {
    MakeFrame();
    ui_.SetMenuItem(menu::kCreate, "", true);
    frame_->SendCommand(menu::kCreate);
    ASSERT_NE(Open(WindowId::CreateGame), nullptr);
    Open(WindowId::CreateGame)->ControlAs<QLineEdit>(control::kCreateGameName)->setText("abcd");
    Open(WindowId::CreateGame)->ControlAs<QPushButton>(CDialog::kIdOk)->click();
    ASSERT_NE(Open(WindowId::HostGame), nullptr);

    QTest::keyClick(frame_.get(), Qt::Key_X, Qt::ControlModifier);
    Pump();
    EXPECT_FALSE(frame_->isVisible());
    const auto done =
        IndexOf([](const std::string& l) { return l == "WALLVOICES #K-HubI :K-Hub-3|DONE\r\n"; });
    const auto quit = IndexOf([](const std::string& l) { return l.rfind("QUIT :", 0) == 0; });
    ASSERT_GE(done, 0);
    ASSERT_GE(quit, 0);
    EXPECT_LT(done, quit);
    const std::vector<std::string> farewells = {
        "QUIT :<-- RAGE QUIT!\r\n", "QUIT :Barbie Super Model iz teh besd!\r\n",
        "QUIT :I need my bi-weekly nap.\r\n", "QUIT :Time to pretend I have a life!\r\n",
        "QUIT :My FrankenBerry's are getting soggy...\r\n"};
    EXPECT_NE(std::find(farewells.begin(), farewells.end(), wire_[static_cast<std::size_t>(quit)]),
              farewells.end());
    EXPECT_TRUE(Boxes().empty());  // never connected: no "connection lost" on the way out
}

}  // namespace
}  // namespace khub::gui::test

// File > Connect and Disconnect against a scripted server on the loopback: what the menu
// and the title show at each step, and what went over the wire.

#include <QAction>
#include <chrono>
#include <thread>

#include "GuiFixture.h"
#include "support/LoopbackIrcServer.h"
#include "irc/Connection.h"

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
    EXPECT_TRUE(frame_->windowTitle().endsWith("users online")) << frame_->windowTitle().toStdString();
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
    EXPECT_TRUE(server.WaitForLine([](const std::string& l) { return l == "QUIT :"; }, 5s).has_value());
}

}  // namespace
}  // namespace khub::gui::test

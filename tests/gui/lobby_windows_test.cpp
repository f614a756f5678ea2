// The windows on the real lobby core: what a click sends, what the core then shows.
// Lines for the server are recorded instead of sent; time is the manual clock.

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <chrono>

#include "GuiFixture.h"
#include "lobby/CViewList.h"
#include "lobby/Lobby.h"
#include "platform/Choosers.h"
#include "transfer/Transfer.h"

namespace khub::gui::test {
namespace {

using namespace std::chrono_literals;

class LobbyWindowsTest : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        program_->conn.ownNick = "Player1";
        program_->links.sendLine = [this](const std::string& line) {
            sent_.push_back(line);
            return true;
        };
        program_->links.userLevel = [this](const std::string& nick) {
            auto it = levels_.find(nick);
            return it == levels_.end() ? -1 : it->second;
        };
    }
    void TearDown() override {
        SetChooseFileHook({});
        GuiTest::TearDown();
    }
    bool Enabled(WindowId w, int id) {
        QWidget* c = Open(w) ? Open(w)->Control(id) : nullptr;
        return c && c->isEnabled();
    }
    QPushButton* Button(WindowId w, int id) { return Open(w)->ControlAs<QPushButton>(id); }
    bool SentStartingWith(const std::string& prefix) const {
        for (const std::string& l : sent_) {
            if (l.rfind(prefix, 0) == 0) return true;
        }
        return false;
    }
    void ClickRow(int row, bool twice) {
        CViewList& view = frame_->ViewList();
        const QPoint at = view.visualRect(view.model()->index(row, 0)).center();
        if (twice) {
            QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, at);
        } else {
            QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at);
        }
        Pump();
    }
    void CreateGame(const char* name) {
        ui_.SetMenuItem(menu::kCreate, "", true);
        frame_->SendCommand(menu::kCreate);
        ASSERT_NE(Open(WindowId::CreateGame), nullptr);
        auto* field = Open(WindowId::CreateGame)->ControlAs<QLineEdit>(control::kCreateGameName);
        field->setText(name);
        Button(WindowId::CreateGame, CDialog::kIdOk)->click();
        Pump();
    }

    std::vector<std::string> sent_;
    std::map<std::string, int> levels_;
};

TEST_F(LobbyWindowsTest, JoinGoesToTheHighlightedRowOnly) {
    MakeFrame();
    for (const char* host : {"alice", "bob", "carol"}) {
        lobby::PutGameRow(*program_, std::string("Game of ") + host, host, false);
    }
    lobby::PutGameRow(*program_, "Taken", "dave", true);
    CViewList& view = frame_->ViewList();
    auto highlighted = [&view] {
        const QModelIndexList rows = view.selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : rows.first().row();
    };
    auto ctrlJ = [this] {
        frame_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
        QTest::keyClick(frame_.get(), Qt::Key_J, Qt::ControlModifier);
        Pump();
    };

    // Clicked alice, then the arrow key moved the highlight to bob.
    ClickRow(0, false);
    QTest::keyClick(&view, Qt::Key_Down);
    ASSERT_EQ(highlighted(), 1);
    ctrlJ();
    EXPECT_EQ(sent_, std::vector<std::string>{"NOTICE bob :K-Hub-3|CLIENT\r\n"});
    Open(WindowId::JoinGame)->close();
    Pump();
    sent_.clear();

    // alice's game ends while highlighted: no row stays highlighted and Join goes nowhere.
    ClickRow(0, false);
    lobby::RemoveGameRow(*program_, "alice");
    Pump();
    EXPECT_EQ(highlighted(), -1);
    EXPECT_FALSE(frame_->IsMenuItemEnabled(menu::kJoin));
    ctrlJ();
    EXPECT_TRUE(sent_.empty());

    // A full game: Join greys, and the double click says why instead of joining.
    const int full = program_->games.FindGameRow("dave");
    ClickRow(full, false);
    EXPECT_FALSE(frame_->IsMenuItemEnabled(menu::kJoin));
    ctrlJ();
    ClickRow(full, true);
    EXPECT_TRUE(sent_.empty());
    EXPECT_EQ(Open(WindowId::JoinGame), nullptr);
    EXPECT_EQ(Boxes(), std::vector<std::string>{
                           "The game \"Taken\" of dave is full: both seats are taken."});

    // Empty space drops the highlight and greys Join.
    ClickRow(0, false);
    EXPECT_TRUE(frame_->IsMenuItemEnabled(menu::kJoin));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                      QPoint(10, view.viewport()->height() - 5));
    Pump();
    EXPECT_FALSE(frame_->IsMenuItemEnabled(menu::kJoin));
}

TEST_F(LobbyWindowsTest, AHostThatAnswersInTimeOpensTheChatAndLeavingSaysSo) {
    MakeFrame();
    lobby::PutGameRow(*program_, "Zelda", "alice", false);
    ClickRow(0, true);
    loop_.AdvanceBy(4000ms);
    lobby::ClientGotHost(*program_, "alice", "Player1");
    loop_.AdvanceBy(2000ms);
    Pump();
    ASSERT_NE(Open(WindowId::JoinGame), nullptr);
    EXPECT_TRUE(Enabled(WindowId::JoinGame, control::kJoinChatEdit));
    auto* chat = Open(WindowId::JoinGame)->ControlAs<QLineEdit>(control::kJoinChatEdit);
    QTest::keyClicks(chat, "hello");
    EXPECT_TRUE(Enabled(WindowId::JoinGame, control::kSend));
    QTest::keyClick(chat, Qt::Key_Return);
    Pump();
    EXPECT_TRUE(SentStartingWith("PRIVMSG alice :hello"));
    EXPECT_TRUE(chat->text().isEmpty());

    Button(WindowId::JoinGame, CDialog::kIdCancel)->click();
    Pump();
    EXPECT_EQ(Open(WindowId::JoinGame), nullptr);
    EXPECT_TRUE(SentStartingWith("NOTICE alice :K-Hub-3|LEFT"));
}

TEST_F(LobbyWindowsTest, CreateGameRefusesShortAndForbiddenNames) {
    MakeFrame();
    CreateGame("abc");
    EXPECT_NE(Open(WindowId::CreateGame), nullptr);
    EXPECT_TRUE(sent_.empty());
    EXPECT_TRUE(Boxes().empty());

    Open(WindowId::CreateGame)->ControlAs<QLineEdit>(control::kCreateGameName)->setText("a:bc");
    Button(WindowId::CreateGame, CDialog::kIdOk)->click();
    Pump();
    EXPECT_NE(Open(WindowId::CreateGame), nullptr);
    EXPECT_EQ(Open(WindowId::CreateGame)->ControlAs<QLineEdit>(control::kCreateGameName)->text(),
              "a:bc");
    EXPECT_EQ(Boxes(),
              std::vector<std::string>{
                  "ERROR: Invalid character(s) in room name. ( Invalid Charaters: \\/:*?\"<>| )"});
    EXPECT_TRUE(sent_.empty());

    Button(WindowId::CreateGame, CDialog::kIdCancel)->click();
    Pump();
    EXPECT_EQ(Open(WindowId::CreateGame), nullptr);
    EXPECT_TRUE(frame_->IsMenuItemEnabled(menu::kCreate));
}

TEST_F(LobbyWindowsTest, CreateGameFromARomAndHostTheGame) {
    MakeFrame();
    SetChooseFileHook([](QWidget*, const QList<FileFilter>& f, const QString&) {
        EXPECT_EQ(f.value(0).description, "Super Nintendo Games");
        return QStringLiteral("/nonexistent/roms/my.game.sfc");
    });
    ui_.SetMenuItem(menu::kCreate, "", true);
    frame_->SendCommand(menu::kCreate);
    ASSERT_NE(Open(WindowId::CreateGame), nullptr);
    EXPECT_FALSE(frame_->IsMenuItemEnabled(menu::kCreate));
    Button(WindowId::CreateGame, 321)->click();
    auto* name = Open(WindowId::CreateGame)->ControlAs<QLineEdit>(control::kCreateGameName);
    EXPECT_EQ(name->text(), "my.game");
    EXPECT_TRUE(Enabled(WindowId::CreateGame, control::kSend));
    Button(WindowId::CreateGame, CDialog::kIdOk)->click();
    Pump();

    EXPECT_EQ(Open(WindowId::CreateGame), nullptr);
    ASSERT_NE(Open(WindowId::HostGame), nullptr);
    EXPECT_EQ(Open(WindowId::HostGame)->windowTitle(), "Host Game [my.game]");
    ASSERT_EQ(frame_->ViewList().model()->rowCount(), 1);
}

TEST_F(LobbyWindowsTest, HostButtonsFollowAClientJoiningAndLeaving) {
    MakeFrame();
    CreateGame("abcd");
    ASSERT_NE(Open(WindowId::HostGame), nullptr);
    EXPECT_FALSE(Enabled(WindowId::HostGame, control::kKick));

    levels_["bob"] = 1;
    lobby::HostGotClient(*program_, "bob");
    Pump();
    EXPECT_TRUE(Enabled(WindowId::HostGame, control::kKick));

    sent_.clear();
    Button(WindowId::HostGame, control::kKick)->click();
    Pump();
    EXPECT_EQ(sent_.front(), "NOTICE bob :K-Hub-3|KICK\r\n");
    EXPECT_FALSE(Enabled(WindowId::HostGame, control::kKick));
    EXPECT_TRUE(Open(WindowId::HostGame)
                    ->ControlAs<QTextEdit>(control::kHostChatLog)
                    ->toPlainText()
                    .contains("bob has left."));

    sent_.clear();
    Open(WindowId::HostGame)->close();
    Pump();
    EXPECT_EQ(Open(WindowId::HostGame), nullptr);
    EXPECT_TRUE(SentStartingWith("WALLVOICES #K-HubI :K-Hub-3|DONE"));
    EXPECT_EQ(frame_->ViewList().model()->rowCount(), 0);
    EXPECT_TRUE(frame_->IsMenuItemEnabled(menu::kCreate));
}

TEST_F(LobbyWindowsTest, SelectRenamesTheGameAndRests) {
    MakeFrame();
    CreateGame("abcd");
    ASSERT_NE(Open(WindowId::HostGame), nullptr);
    const QString rom = dir_.filePath("Zelda (U).smc");
    {
        QFile f(rom);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not really a ROM");
    }
    QString answer;
    SetChooseFileHook([&](QWidget*, const QList<FileFilter>&, const QString&) { return answer; });
    Button(WindowId::HostGame, control::kSelect)->click();  // cancelled: nothing changes
    Pump();
    EXPECT_EQ(Open(WindowId::HostGame)->windowTitle(), "Host Game [abcd]");
    EXPECT_TRUE(Enabled(WindowId::HostGame, control::kSelect));

    answer = rom;
    Button(WindowId::HostGame, control::kSelect)->click();
    Pump();
    EXPECT_EQ(Open(WindowId::HostGame)->windowTitle(), "Host Game [Zelda (U)]");
    EXPECT_EQ(frame_->ViewList().model()->index(0, 0).data().toString(), "Zelda (U)");
    EXPECT_FALSE(Enabled(WindowId::HostGame, control::kSelect));
}

TEST_F(LobbyWindowsTest, TheTransferWindowLocksSelectOrDownloadWhileOpen) {
    MakeFrame();
    CreateGame("abcd");
    ASSERT_NE(Open(WindowId::HostGame), nullptr);
    transfer::OpenTransferWindow(*program_);
    Pump();
    ASSERT_NE(Open(WindowId::FileTransfer), nullptr);
    EXPECT_FALSE(Enabled(WindowId::HostGame, control::kSelect));
    Open(WindowId::FileTransfer)->close();
    Pump();
    EXPECT_EQ(Open(WindowId::FileTransfer), nullptr);
    EXPECT_TRUE(Enabled(WindowId::HostGame, control::kSelect));

    // Closing the host window while a transfer runs takes the transfer window with it.
    transfer::OpenTransferWindow(*program_);
    Pump();
    Open(WindowId::HostGame)->close();
    Pump();
    EXPECT_EQ(Open(WindowId::FileTransfer), nullptr);
    EXPECT_FALSE(program_->windows.transfer);
}

}  // namespace
}  // namespace khub::gui::test

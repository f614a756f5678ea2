// The windows on the real lobby core: what a click or a key hands to it, and what the
// windows then show. The rules themselves are the lobby's own tests.

#include <QFile>
#include <QLineEdit>

#include "GuiFixture.h"
#include "lobby/CCreateGameDlg.h"
#include "lobby/CViewList.h"
#include "lobby/Lobby.h"

namespace khub::gui::test {
namespace {

using W = WindowId;

class LobbyWindowsTest : public GuiTest {
  protected:
    void ClickAt(QPoint at, bool twice) {
        QWidget* viewport = frame_->ViewList().viewport();
        if (twice) {
            QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
        } else {
            QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
        }
        Pump();
    }
    void ClickRow(int row, bool twice = false) {
        CViewList& view = frame_->ViewList();
        ClickAt(view.visualRect(view.model()->index(row, 0)).center(), twice);
    }
    void Say(W w, int edit, const char* text) {
        QTest::keyClicks(C(w, edit), text);
        QTest::keyClick(C(w, edit), Qt::Key_Return);
        Pump();
    }
};

// The list shows the core's rows as they change; clicks and keys in it move the core's
// selection and join the game, whose window chats and leaves.
TEST_F(LobbyWindowsTest, TheListMirrorsTheCoreAndClicksAndKeysJoinTheGame) {
    MakeFrame();
    for (const char* host : {"alice", "bob"})
        lobby::PutGameRow(*program_, std::string("Game of ") + host, host, false);
    lobby::PutGameRow(*program_, "Kart", "bob", false);
    CViewList& view = frame_->ViewList();
    QAbstractItemModel* model = view.model();
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->index(1, 0).data().toString(), "Kart");
    EXPECT_EQ(model->index(1, 2).data().toString(), "1/2");
    auto highlighted = [&view] {
        const QModelIndexList rows = view.selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : rows.first().row();
    };
    // Clicked alice, then the arrow key moved the highlight to bob: Ctrl+J joins bob.
    ClickRow(0);
    QTest::keyClick(&view, Qt::Key_Down);
    FrameKey(Qt::Key_J);
    EXPECT_EQ(sent_, std::vector<std::string>{"NOTICE bob :K-Hub-3|CLIENT\r\n"});
    // Accepted: the join window chats with the host and leaves by Cancel.
    lobby::ClientGotHost(*program_, "bob", "Player1");
    Pump();
    Say(W::JoinGame, control::kJoinChatEdit, "hello");
    EXPECT_TRUE(SentStartingWith("PRIVMSG bob :hello"));
    EXPECT_TRUE(C<QLineEdit>(W::JoinGame, control::kJoinChatEdit)->text().isEmpty());
    Click(W::JoinGame, CDialog::kIdCancel);
    EXPECT_EQ(Open(W::JoinGame), nullptr);
    EXPECT_TRUE(SentStartingWith("NOTICE bob :K-Hub-3|LEFT"));
    lobby::RemoveGameRow(*program_, "alice");
    ASSERT_EQ(model->rowCount(), 1);
    EXPECT_EQ(model->index(0, 1).data().toString(), "bob");
    EXPECT_EQ(program_->games.SelectedIndex(), 0);

    // alice's game ends while highlighted: no row stays highlighted.
    lobby::PutGameRow(*program_, "Game of alice", "alice", false);
    ClickRow(1);
    lobby::RemoveGameRow(*program_, "alice");
    Pump();
    EXPECT_EQ(highlighted(), -1);

    // A double click joins too.
    sent_.clear();
    ClickRow(0, true);
    EXPECT_EQ(sent_, std::vector<std::string>{"NOTICE bob :K-Hub-3|CLIENT\r\n"});
    Open(W::JoinGame)->close();
    Pump();

    // Empty space drops the highlight and greys Join.
    ClickRow(0);
    EXPECT_TRUE(frame_->IsMenuItemEnabled(menu::kJoin));
    ClickAt(QPoint(10, view.viewport()->height() - 5), false);
    EXPECT_FALSE(frame_->IsMenuItemEnabled(menu::kJoin));
    EXPECT_EQ(program_->games.SelectedIndex(), -1);
    program_->games.SetGameRowCell(0, 1, "bobby");
    EXPECT_EQ(model->index(0, 1).data().toString(), "bobby");
    program_->games.Clear();
    EXPECT_EQ(model->rowCount(), 0);
}

TEST_F(LobbyWindowsTest, CreateAndHostGameButtonsReachTheCoreAndExitEndsTheGame) {
    MakeFrame();
    QString answer = "/nonexistent/roms/my.game.sfc";
    QList<FileFilter> filters;
    SetChooseFileHook([&](QWidget*, const QList<FileFilter>& f, const QString&) {
        filters = f;
        return answer;
    });
    ui_.SetMenuItem(menu::kCreate, "", true);
    FrameKey(Qt::Key_H);
    auto* name = C<QLineEdit>(W::CreateGame, control::kCreateGameName);
    ASSERT_NE(name, nullptr);
    // A refused name keeps the dialog open, the name as typed.
    name->setText("a:bc");
    Click(W::CreateGame, CDialog::kIdOk);
    ASSERT_NE(Open(W::CreateGame), nullptr);
    EXPECT_EQ(name->text(), "a:bc");
    Click(W::CreateGame, CCreateGameDlg::kBrowse);
    EXPECT_EQ(filters.value(0).description, "Super Nintendo Games");
    EXPECT_EQ(name->text(), "my.game");
    Click(W::CreateGame, CDialog::kIdOk);
    EXPECT_EQ(Open(W::CreateGame), nullptr);
    ASSERT_NE(Open(W::HostGame), nullptr);
    EXPECT_EQ(Open(W::HostGame)->windowTitle(), "Host Game [my.game]");

    answer = dir_.filePath("Zelda (U).smc");
    QFile rom(answer);
    ASSERT_TRUE(rom.open(QIODevice::WriteOnly));
    rom.write("not really a ROM");
    rom.close();
    Click(W::HostGame, control::kSelect);
    EXPECT_EQ(Open(W::HostGame)->windowTitle(), "Host Game [Zelda (U)]");

    program_->links.userLevel = [](const std::string& nick) { return nick == "bob" ? 1 : -1; };
    lobby::HostGotClient(*program_, "bob");
    Pump();
    sent_.clear();
    Say(W::HostGame, control::kHostChatEdit, "hi");
    EXPECT_TRUE(SentStartingWith("PRIVMSG bob :hi"));
    Click(W::HostGame, control::kKick);
    EXPECT_TRUE(SentStartingWith("NOTICE bob :K-Hub-3|KICK"));
    // Exit ends the hosted game, and then says goodbye.
    FrameKey(Qt::Key_X);
    EXPECT_FALSE(frame_->isVisible());
    EXPECT_EQ(Open(W::HostGame), nullptr);
    EXPECT_LT(SentAt("WALLVOICES #K-HubI :K-Hub-3|DONE"), SentAt("QUIT :"));
    EXPECT_TRUE(SentStartingWith("QUIT :"));
    // The refused name's box only: never connected, no "connection lost" on the way out.
    EXPECT_EQ(boxes_.size(), 1u);
}

}  // namespace
}  // namespace khub::gui::test

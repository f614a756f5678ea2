// The windows as the core drives them through the Ui port: the controls they start with,
// what a key or a click hands back to the core, focus, icons and field widths. The rules
// themselves are the core's own tests.

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBlock>
#include <QTextEdit>
#include <tuple>

#include "GuiFixture.h"
#include "app/CAboutDlg.h"
#include "app/CDebugDlg.h"
#include "app/ColorText.h"
#include "app/MainCommands.h"
#include "app/ProgramIcon.h"
#include "lobby/CCreateGameDlg.h"
#include "lobby/CViewList.h"
#include "lobby/Lobby.h"

namespace khub::gui::test {
namespace {

using W = WindowId;

// The colour of each character run in a pane, as (text, colour) pairs.
std::vector<std::pair<QString, QColor>> Runs(QTextEdit* pane) {
    std::vector<std::pair<QString, QColor>> runs;
    for (QTextBlock b = pane->document()->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it)
            runs.emplace_back(it.fragment().text(),
                              it.fragment().charFormat().foreground().color());
    }
    return runs;
}

class WindowsTest : public GuiTest {
  protected:
    // Focus on the window, and whether the control now has the keyboard focus.
    bool FocusOn(W w, int id) {
        Open(w)->activateWindow();
        return QTest::qWaitForWindowActive(Open(w)) && QApplication::focusWidget() == C(w, id);
    }
    void ClickAt(QPoint at, bool twice = false) {
        QWidget* viewport = frame_->ViewList().viewport();
        twice ? QTest::mouseDClick(viewport, Qt::LeftButton, {}, at)
              : QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
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

// The controls each window starts with; then what a worker asks of them, queued to the
// GUI thread in call order, never done behind its back; a box does not block.
TEST_F(WindowsTest, WindowsStartWithTheirControlsAndShowAWorkersCallsInOrder) {
    MakeFrame();
    // The controls the core enables or greys on opening each window are the core's tests.
    for (W w : {W::HostGame, W::JoinGame, W::CreateGame}) frame_->OpenWindow(w);
    // The chat lines and the game name hold what the server takes.
    const std::tuple<W, int, int> limits[] = {{W::HostGame, control::kHostChatEdit, 450},
                                              {W::JoinGame, control::kJoinChatEdit, 450},
                                              {W::CreateGame, control::kCreateGameName, 129}};
    for (const auto& [window, id, length] : limits) {
        ASSERT_NE(C<QLineEdit>(window, id), nullptr) << id;
        EXPECT_EQ(C<QLineEdit>(window, id)->maxLength(), length) << id;
    }
    EXPECT_FALSE(Enabled(W::JoinGame, control::kJoinChatEdit));
    EXPECT_TRUE(Enabled(W::JoinGame, control::kCancel));
    EXPECT_FALSE(C<QCheckBox>(W::CreateGame, CCreateGameDlg::kDisallowDownload)->isChecked());
    // Game windows stand on their own; Create Game belongs to the frame.
    EXPECT_EQ(Open(W::HostGame)->parent(), nullptr);
    EXPECT_FALSE(Open(W::HostGame)->isModal());
    EXPECT_EQ(Open(W::CreateGame)->parent(), frame_.get());
    auto* bar = C<QProgressBar>(W::JoinGame, control::kJoinProgress);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_LE(bar->height(), 8);  // a thin bar under the chat
    // Typing reaches the core; a name the core puts in (the "gamename" setting, a ROM's
    // name) counts as typed, and a typical one shows whole.
    QTest::keyClicks(C(W::CreateGame, control::kCreateGameName), "a");
    EXPECT_TRUE(Enabled(W::CreateGame, control::kSend));
    ui_.SetControlText(W::CreateGame, control::kCreateGameName, "");
    EXPECT_FALSE(Enabled(W::CreateGame, control::kSend));
    ui_.SetControlText(W::CreateGame, control::kCreateGameName,
                       "Super Mario World 2 - Yoshi's Island (U)");
    EXPECT_TRUE(Enabled(W::CreateGame, control::kSend));
    EXPECT_TRUE(ShowsWhole(C<QLineEdit>(W::CreateGame, control::kCreateGameName)));
    Open(W::CreateGame)->CloseWithoutCancel();
    // The chat line has the keyboard focus, in the join window once it is enabled.
    EXPECT_TRUE(FocusOn(W::HostGame, control::kHostChatEdit));
    EXPECT_FALSE(FocusOn(W::JoinGame, control::kJoinChatEdit));
    ui_.EnableControl(W::JoinGame, control::kJoinChatEdit, true);
    EXPECT_EQ(QApplication::focusWidget(), C(W::JoinGame, control::kJoinChatEdit));

    ui_.OpenWindow(W::FileTransfer);
    program_->log.AppendColoredText(W::HostGame, control::kHostChatLog,
                                    "\x03<\x03"
                                    "4[MOD]\x03 %s> %s\r\n",
                                    "op", "hello");
    std::thread([this] {
        ui_.SetMainTitle("K-Hub I - connecting.");
        ui_.SetMenuItem(menu::kConnect, "Dis&connect", false);
        ui_.SetMenuItem(menu::kCreate, "", true);
        for (int i = 0; i < 200; ++i)
            ui_.AppendText(W::HostGame, control::kHostChatLog,
                           ParseColorStretches(std::to_string(i) + "\n"));
        ui_.EnableControl(W::HostGame, control::kKick, true);
        ui_.ShowProgress(W::JoinGame, control::kJoinProgress, true);
        ui_.SetProgress(W::JoinGame, control::kJoinProgress, 250);  // never past the end
        for (int label : {control::kTransferStatus, control::kTransferDetail})
            ui_.SetControlText(W::FileTransfer, label, "Zelda.smc: 1.0 MB of 4.0 MB");
        ui_.SetProgress(W::FileTransfer, control::kTransferProgress, 57);
        ui_.ShowMessage("ERROR 2: Socket connection lost.", BoxIcon::Error);
    }).join();
    EXPECT_EQ(frame_->windowTitle(), "K-Hub I - not connected");
    EXPECT_TRUE(boxes_.empty());
    Pump();
    EXPECT_EQ(frame_->windowTitle(), "K-Hub I - connecting.");
    EXPECT_EQ(frame_->MenuItem(menu::kConnect)->text().section('\t', 0, 0), "Dis&connect");
    EXPECT_FALSE(frame_->IsMenuItemEnabled(menu::kConnect));
    EXPECT_EQ(frame_->MenuItem(menu::kCreate)->text().section('\t', 0, 0), "&Create...");
    EXPECT_TRUE(frame_->IsMenuItemEnabled(menu::kCreate));
    auto* pane = C<QTextEdit>(W::HostGame, control::kHostChatLog);
    EXPECT_TRUE(pane->isReadOnly());
    const QStringList lines = pane->toPlainText().split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 201);
    EXPECT_EQ(lines[0], "<[MOD] op> hello");
    for (int i = 0; i < 200; ++i) ASSERT_EQ(lines[i + 1], QString::number(i));
    const auto runs = Runs(pane);
    ASSERT_GE(runs.size(), 3u);
    EXPECT_EQ(runs[0], std::make_pair(QString("<"), QColor(0, 0, 0)));
    EXPECT_EQ(runs[1], std::make_pair(QString("[MOD]"), QColor(255, 0, 0)));
    EXPECT_EQ(runs[2].second, QColor(0, 0, 0));
    EXPECT_TRUE(Enabled(W::HostGame, control::kKick));
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(bar->value(), 100);
    ui_.ShowProgress(W::JoinGame, control::kJoinProgress, false);
    EXPECT_TRUE(bar->isHidden());
    for (int label : {control::kTransferStatus, control::kTransferDetail})
        EXPECT_EQ(C<QLabel>(W::FileTransfer, label)->text(), "Zelda.smc: 1.0 MB of 4.0 MB");
    EXPECT_EQ(C<QProgressBar>(W::FileTransfer, control::kTransferProgress)->value(), 57);
    ASSERT_EQ(boxes_.size(), 1u);
    QMessageBox* box = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) box = b;
    }
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "ERROR 2: Socket connection lost.");
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->windowModality(), Qt::NonModal);
    // The program's icon, set once for the application, built in and drawn (a missing SVG
    // reader would leave it empty): the frame shows it, and so does the box.
    const QImage icon = ProgramIcon().pixmap(32).toImage();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(frame_->windowIcon().pixmap(32).toImage(), icon);
    EXPECT_EQ(box->windowIcon().pixmap(32).toImage(), icon);
}

TEST_F(WindowsTest, ClosingAWindowRunsItsCancelUnlessTheCoreClosedIt) {
    MakeFrame();
    // By the title bar's close, the join window by Escape; Enter does not close the transfer.
    const std::pair<W, bool WindowsOpen::*> rows[] = {{W::HostGame, &WindowsOpen::host},
                                                      {W::JoinGame, &WindowsOpen::client},
                                                      {W::FileTransfer, &WindowsOpen::transfer}};
    for (const auto& [window, open] : rows) {
        SCOPED_TRACE(WindowName(window));
        program_->windows.*open = true;
        ui_.OpenWindow(window);
        if (window == W::FileTransfer) {
            QTest::keyClick(Open(window), Qt::Key_Return);
            ASSERT_NE(Open(window), nullptr);
        }
        if (window == W::JoinGame) {
            QTest::keyClick(Open(window), Qt::Key_Escape);
        } else {
            Open(window)->close();
        }
        Pump();
        EXPECT_EQ(Open(window), nullptr);
        EXPECT_FALSE(program_->windows.*open);
    }
    // The core closes it after running its Cancel: the core is not asked again.
    program_->windows.host = true;
    ui_.OpenWindow(W::HostGame);
    ui_.CloseWindow(W::HostGame);
    Pump();
    EXPECT_EQ(Open(W::HostGame), nullptr);
    EXPECT_TRUE(program_->windows.host);
}

TEST_F(WindowsTest, DebugWindowShowsABoundedBacklogAndSendsTypedLines) {
    program_->log.DebugLog(
        "\x03"
        "3<%s> joins %s\r\n",
        "alice", "#K-HubI");
    MakeFrame();
    FrameKey(Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    CDialog* debug = Open(W::Debug);
    ASSERT_NE(debug, nullptr);
    EXPECT_EQ(debug->parent(), nullptr);
    auto* pane = debug->ControlAs<QTextEdit>(control::kDebugLog);
    program_->log.DebugLog("second\r\n");
    EXPECT_EQ(pane->toPlainText(), "<alice> joins #K-HubI\nsecond\n");
    EXPECT_EQ(Runs(pane).front().second, QColor(0, 146, 0));

    for (std::size_t i = 0; i < QtUi::kDebugBacklog + 10; ++i)
        program_->log.DebugLog("line %zu\r\n", i);
    const auto backlog = ui_.DebugBacklog();
    ASSERT_EQ(backlog.size(), QtUi::kDebugBacklog);
    EXPECT_EQ(backlog.front().front().text, "line 10\r\n");
    // Its line goes to the server as typed, by button or Enter.
    auto* edit = debug->ControlAs<QLineEdit>(CDebugDlg::kEdit);
    auto* send = debug->ControlAs<QPushButton>(CDebugDlg::kSendButton);
    ASSERT_NE(send, nullptr);
    QTest::keyClicks(edit, "PRIVMSG #K-HubI :hi there");
    send->click();
    EXPECT_TRUE(edit->text().isEmpty());
    QTest::keyClicks(edit, "PING x");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(sent_, (std::vector<std::string>{"PRIVMSG #K-HubI :hi there\r\n", "PING x\r\n"}));
}

// The build's version; each address opens from its button and from a click on its link.
TEST_F(WindowsTest, AboutBoxShowsTheVersionAndOpensItsAddresses) {
    MakeFrame();
    program_->forumUrl = "https://forum.example/";
    FrameKey(Qt::Key_A);
    CDialog* about = Open(W::About);
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isModal());
    QStringList versions;
    for (QLabel* l : about->findChildren<QLabel*>()) {
        if (l->text().startsWith("K-Hub I v")) versions << l->text().mid(9);
    }
    EXPECT_EQ(versions, QStringList{KHUB_VERSION});

    for (int id = about::kSite; id <= about::kEmulatorSite; ++id) {
        auto* button = about->ControlAs<QPushButton>(id);
        ASSERT_NE(button, nullptr);
        EXPECT_FALSE(button->icon().isNull()) << id;  // not an empty box that looks checkable
        button->click();
        auto* label = about->findChild<QLabel*>(QStringLiteral("link%1").arg(id));
        ASSERT_NE(label, nullptr) << id;
        const QPoint onText(label->fontMetrics().averageCharWidth() * 3, label->height() / 2);
        QTest::mouseClick(label, Qt::LeftButton, {}, onText);
    }
    Pump();
    const std::string forum = "https://forum.example/";
    EXPECT_EQ(urls_, (std::vector<std::string>{about::kSiteUrl, about::kSiteUrl, about::kMirrorUrl,
                                               about::kMirrorUrl, forum, forum, about::kEmulatorUrl,
                                               about::kEmulatorUrl}));
}

// The list shows the core's rows as they change; clicks and keys in it move the core's
// selection and join the game, whose window chats and leaves.
TEST_F(WindowsTest, TheListMirrorsTheCoreAndClicksAndKeysJoinTheGame) {
    MakeFrame();
    for (const char* host : {"alice", "bob"})
        lobby::PutGameRow(*program_, std::string("Game of ") + host, host, false);
    lobby::PutGameRow(*program_, "Kart", "bob", false);
    CViewList& view = frame_->ViewList();
    QAbstractItemModel* model = view.model();
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->index(1, 0).data().toString(), "Kart");
    EXPECT_EQ(model->index(1, 2).data().toString(), "1/2");
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
    EXPECT_TRUE(view.selectionModel()->selectedRows().isEmpty());

    // A double click joins too.
    sent_.clear();
    ClickRow(0, true);
    EXPECT_EQ(sent_, std::vector<std::string>{"NOTICE bob :K-Hub-3|CLIENT\r\n"});
    Open(W::JoinGame)->close();
    Pump();

    // Empty space drops the highlight and greys Join.
    ClickRow(0);
    EXPECT_TRUE(frame_->IsMenuItemEnabled(menu::kJoin));
    ClickAt(QPoint(10, view.viewport()->height() - 5));
    EXPECT_FALSE(frame_->IsMenuItemEnabled(menu::kJoin));
    EXPECT_EQ(program_->games.SelectedIndex(), -1);
    program_->games.SetGameRowCell(0, 1, "bobby");
    EXPECT_EQ(model->index(0, 1).data().toString(), "bobby");
    program_->games.Clear();
    EXPECT_EQ(model->rowCount(), 0);
}

TEST_F(WindowsTest, CreateAndHostGameButtonsReachTheCoreAndExitEndsTheGame) {
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
}

}  // namespace
}  // namespace khub::gui::test

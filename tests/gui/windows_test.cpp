// The lobby windows as the core drives them through the Ui port, and what the player's
// clicks hand back to the core.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBlock>
#include <QTextEdit>

#include "GuiFixture.h"
#include "app/CAboutDlg.h"
#include "app/CDebugDlg.h"
#include "app/ColorText.h"
#include "app/MainCommands.h"
#include "app/ProgramIcon.h"
#include "lobby/CCreateGameDlg.h"
#include "platform/ColorPane.h"
#include "settings/COptionsDlg.h"

namespace khub::gui::test {
namespace {

class WindowsTest : public GuiTest {
  protected:
    template <class T>
    T* C(WindowId w, int id) {
        CDialog* d = Open(w);
        return d ? d->ControlAs<T>(id) : nullptr;
    }
    bool Enabled(WindowId w, int id) {
        QWidget* c = Open(w) ? Open(w)->Control(id) : nullptr;
        return c && c->isEnabled();
    }
    // The colour of each character run in a pane, as (text, colour) pairs.
    static std::vector<std::pair<QString, QColor>> Runs(QTextEdit* pane) {
        std::vector<std::pair<QString, QColor>> runs;
        for (QTextBlock b = pane->document()->begin(); b.isValid(); b = b.next()) {
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                runs.emplace_back(it.fragment().text(),
                                  it.fragment().charFormat().foreground().color());
            }
        }
        return runs;
    }
};

TEST_F(WindowsTest, HostGameStartsWithItsControlsAndFollowsTheCore) {
    MakeFrame();
    ui_.OpenWindow(WindowId::HostGame);
    CDialog* host = Open(WindowId::HostGame);
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->parent(), nullptr);  // a window of its own, not owned by the frame
    EXPECT_FALSE(host->isModal());
    EXPECT_TRUE(Enabled(WindowId::HostGame, control::kSelect));
    EXPECT_FALSE(Enabled(WindowId::HostGame, control::kStart));
    EXPECT_FALSE(Enabled(WindowId::HostGame, control::kKick));
    EXPECT_TRUE(Enabled(WindowId::HostGame, control::kSend));
    EXPECT_TRUE(Enabled(WindowId::HostGame, control::kHostChatEdit));
    EXPECT_EQ(C<QLineEdit>(WindowId::HostGame, control::kHostChatEdit)->maxLength(), 450);
    host->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(host));
    EXPECT_EQ(QApplication::focusWidget(), host->Control(control::kHostChatEdit));

    ui_.SetWindowTitle(WindowId::HostGame, "Host Game [Zelda]");
    ui_.EnableControl(WindowId::HostGame, control::kStart, true);
    ui_.EnableControl(WindowId::HostGame, control::kSelect, false);
    EXPECT_EQ(host->windowTitle(), "Host Game [Zelda]");
    EXPECT_TRUE(Enabled(WindowId::HostGame, control::kStart));
    EXPECT_FALSE(Enabled(WindowId::HostGame, control::kSelect));

    // The core closes it after running its Cancel: the window goes, the core is not asked again.
    program_->windows.host = true;
    ui_.CloseWindow(WindowId::HostGame);
    Pump();
    EXPECT_EQ(Open(WindowId::HostGame), nullptr);
    EXPECT_TRUE(program_->windows.host);
}

TEST_F(WindowsTest, ThePlayerClosingAGameWindowRunsItsCancel) {
    MakeFrame();
    program_->windows.host = true;
    ui_.OpenWindow(WindowId::HostGame);
    ASSERT_NE(Open(WindowId::HostGame), nullptr);
    Open(WindowId::HostGame)->close();  // the close box
    Pump();
    EXPECT_EQ(Open(WindowId::HostGame), nullptr);
    EXPECT_FALSE(program_->windows.host);

    program_->windows.client = true;
    ui_.OpenWindow(WindowId::JoinGame);
    QTest::keyClick(Open(WindowId::JoinGame), Qt::Key_Escape);
    Pump();
    EXPECT_EQ(Open(WindowId::JoinGame), nullptr);
    EXPECT_FALSE(program_->windows.client);
}

TEST_F(WindowsTest, JoinGameWaitsDisabledAndShowsTheScanAsAThinBar) {
    MakeFrame();
    program_->windows.client = true;
    ui_.OpenWindow(WindowId::JoinGame);
    ASSERT_NE(Open(WindowId::JoinGame), nullptr);
    EXPECT_FALSE(Enabled(WindowId::JoinGame, control::kJoinChatEdit));
    EXPECT_FALSE(Enabled(WindowId::JoinGame, control::kSend));
    EXPECT_FALSE(Enabled(WindowId::JoinGame, control::kDownload));
    EXPECT_TRUE(Enabled(WindowId::JoinGame, control::kCancel));
    auto* bar = C<QProgressBar>(WindowId::JoinGame, control::kJoinProgress);
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_LE(bar->height(), 8);

    ui_.ShowProgress(WindowId::JoinGame, control::kJoinProgress, true);
    ui_.SetProgress(WindowId::JoinGame, control::kJoinProgress, 40);
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(bar->value(), 40);
    ui_.SetProgress(WindowId::JoinGame, control::kJoinProgress, 250);  // never past the end
    EXPECT_EQ(bar->value(), 100);
    ui_.ShowProgress(WindowId::JoinGame, control::kJoinProgress, false);
    EXPECT_TRUE(bar->isHidden());

    // Accepted: the chat line opens with the keyboard focus, and Send follows its text.
    Open(WindowId::JoinGame)->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Open(WindowId::JoinGame)));
    ui_.EnableControl(WindowId::JoinGame, control::kJoinChatEdit, true);
    auto* chat = C<QLineEdit>(WindowId::JoinGame, control::kJoinChatEdit);
    EXPECT_EQ(QApplication::focusWidget(), chat);
    QTest::keyClicks(chat, "hi");
    EXPECT_TRUE(Enabled(WindowId::JoinGame, control::kSend));
    chat->clear();
    EXPECT_FALSE(Enabled(WindowId::JoinGame, control::kSend));
}

TEST_F(WindowsTest, ChatPanesShowTheColourStretches) {
    MakeFrame();
    ui_.OpenWindow(WindowId::HostGame);
    program_->log.AppendColoredText(WindowId::HostGame, control::kHostChatLog,
                                    "\x03<\x03"
                                    "4[MOD]\x03 %s> %s\r\n",
                                    "op", "hello");
    auto* pane = C<QTextEdit>(WindowId::HostGame, control::kHostChatLog);
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(pane->toPlainText(), "<[MOD] op> hello\n");
    const auto runs = Runs(pane);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0], std::make_pair(QString("<"), QColor(0, 0, 0)));
    EXPECT_EQ(runs[1], std::make_pair(QString("[MOD]"), QColor(255, 0, 0)));
    EXPECT_EQ(runs[2].second, QColor(0, 0, 0));
    EXPECT_TRUE(pane->isReadOnly());
}

TEST_F(WindowsTest, FileTransferShowsNameProgressAndRateAndItsCloseBoxEndsTheTransfer) {
    MakeFrame();
    program_->windows.transfer = true;
    ui_.OpenWindow(WindowId::FileTransfer);
    ASSERT_NE(Open(WindowId::FileTransfer), nullptr);
    auto* bar = C<QProgressBar>(WindowId::FileTransfer, control::kTransferProgress);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    ui_.SetControlText(WindowId::FileTransfer, control::kTransferStatus, "Zelda.smc");
    ui_.SetProgress(WindowId::FileTransfer, control::kTransferProgress, 57);
    ui_.SetControlText(WindowId::FileTransfer, control::kTransferDetail,
                       "1.0 MB of 4.0 MB, 2.0 KB/s, 25 min 36 s left");
    EXPECT_EQ(C<QLabel>(WindowId::FileTransfer, control::kTransferStatus)->text(), "Zelda.smc");
    EXPECT_EQ(bar->value(), 57);
    const QLabel* detail = C<QLabel>(WindowId::FileTransfer, control::kTransferDetail);
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(detail->text(), "1.0 MB of 4.0 MB, 2.0 KB/s, 25 min 36 s left");
    // Enter does not close it; the close box does, through the transfer's own close.
    QTest::keyClick(Open(WindowId::FileTransfer), Qt::Key_Return);
    EXPECT_NE(Open(WindowId::FileTransfer), nullptr);
    Open(WindowId::FileTransfer)->close();
    Pump();
    EXPECT_EQ(Open(WindowId::FileTransfer), nullptr);
    EXPECT_FALSE(program_->windows.transfer);
}

TEST_F(WindowsTest, CreateGameOkFollowsTheNameField) {
    MakeFrame();
    ui_.SetMenuItem(menu::kCreate, "", true);
    frame_->SendCommand(menu::kCreate);
    ASSERT_NE(Open(WindowId::CreateGame), nullptr);
    EXPECT_EQ(Open(WindowId::CreateGame)->parent(), frame_.get());
    auto* name = C<QLineEdit>(WindowId::CreateGame, control::kCreateGameName);
    EXPECT_EQ(name->maxLength(), 129);
    EXPECT_FALSE(Enabled(WindowId::CreateGame, control::kSend));
    QTest::keyClicks(name, "a");
    EXPECT_TRUE(Enabled(WindowId::CreateGame, control::kSend));
    QTest::keyClick(name, Qt::Key_Backspace);
    EXPECT_FALSE(Enabled(WindowId::CreateGame, control::kSend));
    // A name the core puts in (the "gamename" setting, a ROM's name) counts as typed.
    ui_.SetControlText(WindowId::CreateGame, control::kCreateGameName, "Super Game (U)");
    EXPECT_TRUE(Enabled(WindowId::CreateGame, control::kSend));
    EXPECT_FALSE(
        C<QCheckBox>(WindowId::CreateGame, CCreateGameDlg::kDisallowDownload)->isChecked());
}

TEST_F(WindowsTest, DebugWindowOpensWithCtrlShiftDAndShowsWhatWasLoggedBefore) {
    MakeFrame();
    program_->log.DebugLog(
        "\x03"
        "3<%s> joins %s\r\n",
        "alice", "#K-HubI");
    QTest::keyClick(frame_.get(), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    Pump();
    CDialog* debug = Open(WindowId::Debug);
    ASSERT_NE(debug, nullptr);
    EXPECT_EQ(debug->windowTitle(), "Debug output");
    EXPECT_EQ(debug->parent(), nullptr);
    auto* pane = debug->ControlAs<QTextEdit>(control::kDebugLog);
    program_->log.DebugLog("second\r\n");
    EXPECT_EQ(pane->toPlainText(), "<alice> joins #K-HubI\nsecond\n");
    EXPECT_EQ(Runs(pane).front().second, QColor(0, 146, 0));
}

TEST_F(WindowsTest, TheDebugLogKeepsABoundedBacklogWhileClosed) {
    for (std::size_t i = 0; i < QtUi::kDebugBacklog + 10; ++i)
        program_->log.DebugLog("line %zu\r\n", i);
    const auto backlog = ui_.DebugBacklog();
    ASSERT_EQ(backlog.size(), QtUi::kDebugBacklog);
    EXPECT_EQ(backlog.front().front().text, "line 10\r\n");
}

TEST_F(WindowsTest, MessageBoxesDoNotBlockAndNeverComeFromAWorker) {
    MakeFrame();
    std::thread worker(
        [this] { ui_.ShowMessage("ERROR 2: Socket connection lost.", BoxIcon::Error); });
    worker.join();
    EXPECT_TRUE(Boxes().empty());
    Pump();  // the box was queued to the GUI thread
    ASSERT_EQ(Boxes().size(), 1u);
    QMessageBox* box = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) box = b;
    }
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "K-Hub I");
    EXPECT_EQ(box->text(), "ERROR 2: Socket connection lost.");
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->windowModality(), Qt::NonModal);
}

TEST_F(WindowsTest, UiCallsFromAWorkerArriveInOrder) {
    MakeFrame();
    ui_.OpenWindow(WindowId::HostGame);
    std::thread worker([this] {
        for (int i = 0; i < 200; ++i) {
            ui_.AppendText(WindowId::HostGame, control::kHostChatLog,
                           ParseColorStretches(std::to_string(i) + "\n"));
        }
        ui_.EnableControl(WindowId::HostGame, control::kKick, true);
    });
    worker.join();
    Pump();
    const QStringList lines = C<QTextEdit>(WindowId::HostGame, control::kHostChatLog)
                                  ->toPlainText()
                                  .split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 200);
    for (int i = 0; i < 200; ++i) ASSERT_EQ(lines[i], QString::number(i));
    EXPECT_TRUE(Enabled(WindowId::HostGame, control::kKick));
}

TEST_F(WindowsTest, TypicalPathsAndGameNamesShowWhole) {
    MakeFrame();
    auto showsWhole = [](QLineEdit* field, const char* text) {
        field->setText(QString::fromLatin1(text));
        // The frame and the inner margins take a few pixels on each side.
        return field->width() - 12 >= field->fontMetrics().horizontalAdvance(field->text());
    };
    frame_->OpenWindow(WindowId::Options);
    CDialog* options = Open(WindowId::Options);
    ASSERT_NE(options, nullptr);
    EXPECT_TRUE(showsWhole(options->ControlAs<QLineEdit>(COptionsDlg::kProgram),
                           "/home/player/Games/SNES/Volta/VOLTAW.EXE"));
    EXPECT_TRUE(showsWhole(options->ControlAs<QLineEdit>(COptionsDlg::kRomFolder),
                           "/home/player/Games/SNES/ROMs/Favourites"));
    EXPECT_TRUE(showsWhole(options->ControlAs<QLineEdit>(COptionsDlg::kJoinSoundFile),
                           "/usr/share/sounds/freedesktop/join.wav"));
    options->CloseWithoutCancel();
    Pump();

    frame_->OpenWindow(WindowId::CreateGame);
    ASSERT_NE(Open(WindowId::CreateGame), nullptr);
    EXPECT_TRUE(showsWhole(C<QLineEdit>(WindowId::CreateGame, control::kCreateGameName),
                           "Super Mario World 2 - Yoshi's Island (U)"));
}

TEST_F(WindowsTest, EveryWindowShowsTheProgramIcon) {
    MakeFrame();
    // Built in, and drawn: a missing SVG reader would leave it empty.
    const QImage icon = ProgramIcon().pixmap(32).toImage();
    ASSERT_FALSE(icon.isNull());
    auto showsIcon = [&icon](const QWidget* w) {
        return w && w->windowIcon().pixmap(32).toImage() == icon;
    };
    EXPECT_TRUE(showsIcon(frame_.get()));
    for (WindowId id :
         {WindowId::Options, WindowId::About, WindowId::CreateGame, WindowId::HostGame,
          WindowId::JoinGame, WindowId::FileTransfer, WindowId::Debug}) {
        frame_->OpenWindow(id);
        EXPECT_TRUE(showsIcon(Open(id))) << WindowName(id);
        // The modal ones go again so that the next window can open.
        if (Open(id) && Open(id)->isModal()) Open(id)->CloseWithoutCancel();
        Pump();
    }
    ui_.ShowMessage("Hello", BoxIcon::Information);
    Pump();
    const QWidget* box = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox*>(w) && w->isVisible()) box = w;
    }
    EXPECT_TRUE(showsIcon(box));
}

TEST_F(WindowsTest, AboutBoxLinksAndButtonsOpenTheirAddresses) {
    MakeFrame();
    program_->forumUrl = "https://forum.example/";
    frame_->SendCommand(menu::kAbout);
    CDialog* about = Open(WindowId::About);
    ASSERT_NE(about, nullptr);
    const std::vector<std::string> addresses = {about::kSiteUrl, about::kMirrorUrl,
                                                "https://forum.example/", about::kEmulatorUrl};
    for (int id = 500; id <= 503; ++id) {
        auto* button = about->ControlAs<QPushButton>(id);
        ASSERT_NE(button, nullptr);
        EXPECT_FALSE(button->icon().isNull()) << id;  // not an empty box that looks checkable
        button->click();
    }
    Pump();
    EXPECT_EQ(urls_, addresses);

    // Each address is a link of its own: a click on its text opens it.
    urls_.clear();
    for (int id = 500; id <= 503; ++id) {
        auto* label = about->findChild<QLabel*>(QStringLiteral("link%1").arg(id));
        ASSERT_NE(label, nullptr) << id;
        const QPoint onText(label->fontMetrics().averageCharWidth() * 3, label->height() / 2);
        QTest::mouseClick(label, Qt::LeftButton, {}, onText);
    }
    Pump();
    EXPECT_EQ(urls_, addresses);
}

}  // namespace
}  // namespace khub::gui::test

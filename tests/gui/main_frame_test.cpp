#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QSettings>

#include "GuiFixture.h"
#include "lobby/CViewList.h"
#include "settings/COptionsDlg.h"

namespace khub::gui::test {
namespace {

QString ItemText(QAction* action) {
    return action->text().section('\t', 0, 0);
}

class MainFrameTest : public GuiTest {};

TEST_F(MainFrameTest, StartsNotConnectedWithTheMenuAndTheThreeColumns) {
    MakeFrame();
    EXPECT_EQ(frame_->windowTitle(), "K-Hub I - not connected");

    struct Item {
        int id;
        const char* text;
        bool enabled;
    };
    const Item items[] = {{menu::kConnect, "&Connect", true}, {menu::kOptions, "&Options...", true},
                          {menu::kExit, "E&xit", true},       {menu::kCreate, "&Create...", false},
                          {menu::kJoin, "&Join", false},      {menu::kRules, "&Rules", true},
                          {menu::kAbout, "&About", true}};
    for (const Item& item : items) {
        QAction* action = frame_->MenuItem(item.id);
        ASSERT_NE(action, nullptr) << item.id;
        EXPECT_EQ(ItemText(action), item.text) << item.id;
        EXPECT_EQ(action->isEnabled(), item.enabled) << item.text;
        EXPECT_EQ(action->data().toInt(), item.id);
    }
    QStringList popups;
    for (QAction* popup : frame_->menuBar()->actions()) popups << popup->text();
    EXPECT_EQ(popups, QStringList({"&File", "&Game", "&Help"}));

    CViewList& list = frame_->ViewList();
    ASSERT_EQ(list.model()->columnCount(), 3);
    const char* titles[] = {"Game Name", "Host", "Players"};
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(list.model()->headerData(c, Qt::Horizontal).toString(), titles[c]);
        EXPECT_EQ(list.columnWidth(c), 134);
    }
    EXPECT_EQ(list.selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_FALSE(frame_->ToolbarShown());
    EXPECT_FALSE(frame_->StatusbarShown());
    EXPECT_EQ(frame_->centralWidget(), &list);
}

TEST_F(MainFrameTest, TheCoreDrivesTitleAndMenuItemsFromAnyThread) {
    MakeFrame();
    std::thread worker([this] {
        ui_.SetMainTitle("K-Hub I - connecting.");
        ui_.SetMenuItem(menu::kConnect, "Dis&connect", false);
        ui_.SetMenuItem(menu::kCreate, "", true);
    });
    worker.join();
    // Queued, not done behind the GUI thread's back.
    EXPECT_EQ(frame_->windowTitle(), "K-Hub I - not connected");
    Pump();
    EXPECT_EQ(frame_->windowTitle(), "K-Hub I - connecting.");
    EXPECT_EQ(ItemText(frame_->MenuItem(menu::kConnect)), "Dis&connect");
    EXPECT_FALSE(frame_->IsMenuItemEnabled(menu::kConnect));
    EXPECT_EQ(ItemText(frame_->MenuItem(menu::kCreate)), "&Create...");  // empty text kept it
    EXPECT_TRUE(frame_->IsMenuItemEnabled(menu::kCreate));
}

TEST_F(MainFrameTest, CtrlCWinsOverALineEditThatHasTheFocus) {
    MakeFrame();
    // A text field inside the main window, focused and holding a selection it could copy.
    auto* field = new QLineEdit(frame_.get());
    field->setText("selected text");
    field->selectAll();
    field->show();
    field->setFocus();
    ASSERT_TRUE(field->hasFocus());

    // Without an emulator and ROM folder the connect command opens Options instead.
    QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
    Pump();
    EXPECT_NE(Open(WindowId::Options), nullptr);
}

TEST_F(MainFrameTest, AnAcceleratorOfADisabledItemDoesNothing) {
    MakeFrame();
    QTest::keyClick(frame_.get(), Qt::Key_H, Qt::ControlModifier);  // Create, greyed
    Pump();
    EXPECT_EQ(Open(WindowId::CreateGame), nullptr);

    ui_.SetMenuItem(menu::kCreate, "", true);
    QTest::keyClick(frame_.get(), Qt::Key_H, Qt::ControlModifier);
    Pump();
    EXPECT_NE(Open(WindowId::CreateGame), nullptr);
}

TEST_F(MainFrameTest, CreateAndHostCommandsDoNothingWhileAGameWindowIsOpen) {
    MakeFrame();
    ui_.SetMenuItem(menu::kCreate, "", true);
    program_->windows.host = true;
    ui_.OpenWindow(WindowId::HostGame);
    frame_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
    QTest::keyClick(frame_.get(), Qt::Key_H, Qt::ControlModifier);
    Pump();
    EXPECT_EQ(Open(WindowId::CreateGame), nullptr);
}

TEST_F(MainFrameTest, OptionsAndAboutAcceleratorsOpenTheirDialogs) {
    MakeFrame();
    QTest::keyClick(frame_.get(), Qt::Key_A, Qt::ControlModifier);
    Pump();
    CDialog* about = Open(WindowId::About);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->windowTitle(), "About K-Hub I");
    EXPECT_TRUE(about->isModal());
    about->close();
    Pump();
    frame_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
    QTest::keyClick(frame_.get(), Qt::Key_O, Qt::ControlModifier);
    Pump();
    EXPECT_NE(Open(WindowId::Options), nullptr);
    EXPECT_TRUE(program_->windows.options);
}

TEST_F(MainFrameTest, TheKeySequenceSetsATiledPictureAndAWrongLetterStartsOver) {
    MakeFrame();
    auto typed = [this](const char* letters) {
        for (const char* c = letters; *c; ++c) {
            QTest::keyClick(frame_.get(), Qt::Key(Qt::Key_A + (*c - 'A')), Qt::ShiftModifier);
        }
    };
    auto hasPicture = [this] {
        return !frame_->ViewList().palette().brush(QPalette::Base).texture().isNull();
    };
    typed("EEASTEREG");  // the second E starts over, so nine letters are not enough
    EXPECT_FALSE(hasPicture());
    typed("G");
    EXPECT_FALSE(hasPicture());
    typed("EASTEREGG");
    EXPECT_TRUE(hasPicture());
}

TEST_F(MainFrameTest, TheListMirrorsTheCoreRowsAndItsSelection) {
    MakeFrame();
    GameList& games = program_->games;
    CViewList& view = frame_->ViewList();
    QAbstractItemModel* model = view.model();
    games.PutGameRow({"Zelda", "alice", "1/2"});
    games.PutGameRow({"Mario", "bob", "1/2"});
    games.PutGameRow({"Mario Kart", "bob", "2/2"});
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->index(1, 0).data().toString(), "Mario Kart");
    EXPECT_EQ(model->index(1, 2).data().toString(), "2/2");

    view.selectionModel()->select(model->index(1, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(games.SelectedIndex(), 1);
    games.RemoveGameRow("alice");
    ASSERT_EQ(model->rowCount(), 1);
    EXPECT_EQ(model->index(0, 1).data().toString(), "bob");
    EXPECT_EQ(games.SelectedIndex(), 0);

    games.SetGameRowCell(0, 1, "bobby");
    EXPECT_EQ(model->index(0, 1).data().toString(), "bobby");
    games.Clear();
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_EQ(games.SelectedIndex(), -1);
}

TEST_F(MainFrameTest, AClickOnEmptySpaceDropsTheSelection) {
    MakeFrame();
    program_->games.PutGameRow({"Zelda", "alice", "1/2"});
    CViewList& view = frame_->ViewList();
    const QRect first = view.visualRect(view.model()->index(0, 0));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, first.center());
    EXPECT_EQ(program_->games.SelectedIndex(), 0);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                      QPoint(first.center().x(), first.bottom() + 40));
    EXPECT_EQ(program_->games.SelectedIndex(), -1);
}

TEST_F(MainFrameTest, PlacementSurvivesARestart) {
    QSettings(QStringLiteral("K-Hub"), QStringLiteral("K-Hub I")).remove("Frame Settings");
    MakeFrame();
    frame_->move(123, 77);
    frame_->resize(517, 333);
    const QPoint pos = frame_->pos();
    DestroyFrame();
    {
        QSettings settings(QStringLiteral("K-Hub"), QStringLiteral("K-Hub I"));
        settings.beginGroup("Frame Settings");
        EXPECT_EQ(settings.value("Width").toInt(), 517);
        EXPECT_EQ(settings.value("Height").toInt(), 333);
        EXPECT_FALSE(settings.value("Toolbar").toBool());
        EXPECT_FALSE(settings.value("Statusbar").toBool());
    }
    MakeFrame();
    EXPECT_EQ(frame_->size(), QSize(517, 333));
    EXPECT_EQ(frame_->pos(), pos);
}

TEST_F(MainFrameTest, ANonsensePlacementIsIgnored) {
    {
        QSettings settings(QStringLiteral("K-Hub"), QStringLiteral("K-Hub I"));
        settings.beginGroup("Frame Settings");
        for (const char* key : {"Top", "Left"}) settings.setValue(key, 10);
        settings.setValue("Width", -5);
        settings.setValue("Height", 0);
    }
    MakeFrame();
    EXPECT_GT(frame_->width(), 0);
    EXPECT_GT(frame_->height(), 0);
    QSettings(QStringLiteral("K-Hub"), QStringLiteral("K-Hub I")).remove("Frame Settings");
}

}  // namespace
}  // namespace khub::gui::test

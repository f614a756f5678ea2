#include <QImage>
#include <QLineEdit>
#include <QSettings>
#include <optional>

#include "GuiFixture.h"
#include "lobby/CViewList.h"

namespace khub::gui::test {
namespace {

using MainFrameTest = GuiTest;

// The menus and columns a first start shows, then what keys in the main window do.
TEST_F(MainFrameTest, StartsNotConnectedAndItsKeysReachOnlyWhatTheirItemsAllow) {
    MakeFrame();
    // Create and Join stay greyed until there is a game to create or join.
    for (int id : {menu::kConnect, menu::kOptions, menu::kExit, menu::kCreate, menu::kJoin,
                   menu::kRules, menu::kAbout}) {
        ASSERT_NE(frame_->MenuItem(id), nullptr) << id;
        EXPECT_EQ(frame_->IsMenuItemEnabled(id), id != menu::kCreate && id != menu::kJoin) << id;
    }

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

    FrameKey(Qt::Key_H);  // Create is greyed
    EXPECT_EQ(Open(WindowId::CreateGame), nullptr);
    auto hasPicture = [&list] { return !list.palette().brush(QPalette::Base).texture().isNull(); };
    EXPECT_FALSE(hasPicture());
    for (const char* c = "EASTEREGG"; *c; ++c)
        QTest::keyClick(frame_.get(), Qt::Key(Qt::Key_A + (*c - 'A')), Qt::ShiftModifier);
    EXPECT_TRUE(hasPicture());
    // A focused text field holding a selection it could copy does not take Ctrl+C; without
    // an emulator and ROM folder Connect opens Options.
    auto* field = new QLineEdit(frame_.get());
    field->setText("selected text");
    field->selectAll();
    field->show();
    field->setFocus();
    QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
    Pump();
    EXPECT_NE(Open(WindowId::Options), nullptr);
}

// The list's colours and picture from section "UI", as drawn; how the texts read is the
// core's test.
TEST_F(MainFrameTest, EachAppearanceModeReachesThePaintedList) {
    QImage tile(4, 4, QImage::Format_RGB32);
    tile.fill(QColor(10, 200, 30));
    const std::string tilePath = dir_.filePath("tile.png").toStdString();
    ASSERT_TRUE(tile.save(QString::fromStdString(tilePath)));
    const std::string missing = dir_.filePath("missing.png").toStdString();
    struct Row {
        const char* name;
        const char *mode, *color, *text, *image;
        std::optional<QColor> background, textColor;  // none: the system's
    } const rows[] = {
        {"colours", "1", "12ab,3x,9", "255,255,0", "", QColor(12, 3, 9), QColor(255, 255, 0)},
        {"too few parts", "1", "255,0", "9", "", {}, {}},
        {"tiled picture", "2", "", "", tilePath.c_str(), QColor(10, 200, 30), {}},
        {"missing picture", "2", "", "", missing.c_str(), {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CIni ini(SettingsPath());
        ini.SetString("UI", "GamelistBG", row.mode);
        ini.SetString("UI", "GamelistBGColor", row.color);
        ini.SetString("UI", "GamelistTextColor", row.text);
        ini.SetString("UI", "GamelistBGImage", row.image);
        MakeFrame();
        CViewList& list = frame_->ViewList();
        const QPalette system = QApplication::palette(&list);
        // A pixel of the list's empty area, below every row, as drawn.
        const QImage drawn = list.viewport()->grab().toImage();
        EXPECT_EQ(drawn.pixelColor(drawn.width() / 2, drawn.height() - 3),
                  row.background.value_or(system.color(QPalette::Base)));
        EXPECT_EQ(list.palette().color(QPalette::Text),
                  row.textColor.value_or(system.color(QPalette::Text)));
        DestroyFrame();
    }
}

TEST_F(MainFrameTest, PlacementSurvivesARestartAndANonsenseOneIsIgnored) {
    QSettings placement(QStringLiteral("K-Hub"), QStringLiteral("K-Hub I"));
    placement.beginGroup("Frame Settings");
    for (const char* key : {"Top", "Left"}) placement.setValue(key, 10);
    placement.setValue("Width", -5);
    placement.setValue("Height", 2000000);
    MakeFrame();
    EXPECT_GT(frame_->width(), 0);
    EXPECT_LT(frame_->height(), 100000);
    frame_->move(123, 77);
    frame_->resize(517, 333);
    const QPoint pos = frame_->pos();
    DestroyFrame();
    MakeFrame();
    EXPECT_EQ(frame_->size(), QSize(517, 333));
    EXPECT_EQ(frame_->pos(), pos);
    placement.endGroup();
    placement.remove("Frame Settings");
}

}  // namespace
}  // namespace khub::gui::test

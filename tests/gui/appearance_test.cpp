// The game list's colours and picture from section "UI", as they end up on the screen.

#include <QImage>

#include "GuiFixture.h"
#include "lobby/CViewList.h"

namespace khub::gui::test {
namespace {

class AppearanceTest : public GuiTest {
  protected:
    void Put(const char* key, const char* value) {
        CIni(SettingsPath()).SetString("UI", key, value);
    }
    // A pixel of the list's empty area, below every row, as drawn.
    QColor Background() {
        QWidget* viewport = frame_->ViewList().viewport();
        const QImage image = viewport->grab().toImage();
        return image.pixelColor(image.width() / 2, image.height() - 3);
    }
    QColor Text() { return frame_->ViewList().palette().color(QPalette::Text); }
};

TEST_F(AppearanceTest, NoSettingsKeepTheSystemLook) {
    MakeFrame();
    const QPalette system = QApplication::palette(&frame_->ViewList());
    EXPECT_EQ(Background(), system.color(QPalette::Base));
    EXPECT_EQ(Text(), system.color(QPalette::Text));
}

TEST_F(AppearanceTest, ColourModeUsesTheColourText) {
    struct Case {
        const char* text;
        QColor expected;
    };
    const Case cases[] = {
        {"0,0,128", QColor(0, 0, 128)},
        {"256,0,0", QColor(0, 0, 0)},  // only the low byte counts
        {"300,1,2", QColor(44, 1, 2)},
        {"12ab,3x,9", QColor(12, 3, 9)},  // leading digits of each part
        // Read whole, 3000000000 would end in the byte 0; cut after 12 characters it is
        // 30000000, which ends in 128.
        {"1,2,3000000000", QColor(1, 2, 128)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Put("GamelistBG", "1");
        Put("GamelistBGColor", c.text);
        MakeFrame();
        EXPECT_EQ(Background(), c.expected);
        DestroyFrame();
    }
}

TEST_F(AppearanceTest, AColourTextWithTooFewPartsChangesNothing) {
    Put("GamelistBG", "1");
    Put("GamelistBGColor", "255,0");
    Put("GamelistTextColor", "9");
    MakeFrame();
    const QPalette system = QApplication::palette(&frame_->ViewList());
    EXPECT_EQ(Background(), system.color(QPalette::Base));
    EXPECT_EQ(Text(), system.color(QPalette::Text));
}

TEST_F(AppearanceTest, TextColourAppliesInAnyModeAndOtherModesActAsSystem) {
    Put("GamelistBG", "7");
    Put("GamelistBGColor", "0,0,128");
    Put("GamelistTextColor", "255,255,0");
    MakeFrame();
    EXPECT_EQ(Text(), QColor(255, 255, 0));
    EXPECT_EQ(Background(), QApplication::palette(&frame_->ViewList()).color(QPalette::Base));
}

TEST_F(AppearanceTest, ImageModeTilesThePictureAndAMissingOneIsIgnored) {
    QImage tile(4, 4, QImage::Format_RGB32);
    tile.fill(QColor(10, 200, 30));
    const QString path = dir_.filePath("tile.png");
    ASSERT_TRUE(tile.save(path));
    Put("GamelistBG", "2");
    Put("GamelistBGImage", path.toUtf8().constData());
    MakeFrame();
    EXPECT_EQ(Background(), QColor(10, 200, 30));
    DestroyFrame();

    Put("GamelistBGImage", dir_.filePath("missing.png").toUtf8().constData());
    MakeFrame();
    EXPECT_EQ(Background(), QApplication::palette(&frame_->ViewList()).color(QPalette::Base));
}

}  // namespace
}  // namespace khub::gui::test

// The game list's colours and picture from section "UI", as they end up on the screen.
// How the texts read is the core's test; here each mode reaches the painted list.

#include <QImage>
#include <optional>

#include "GuiFixture.h"
#include "lobby/CViewList.h"

namespace khub::gui::test {
namespace {

class AppearanceTest : public GuiTest {};

TEST_F(AppearanceTest, EachModeReachesThePaintedList) {
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
        {"no settings", "", "", "", "", {}, {}},
        {"colour", "1", "12ab,3x,9", "", "", QColor(12, 3, 9), {}},
        {"too few parts", "1", "255,0", "9", "", {}, {}},
        {"other modes act as system", "7", "0,0,128", "255,255,0", "", {}, QColor(255, 255, 0)},
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

}  // namespace
}  // namespace khub::gui::test

// The About box names the same version as the terminal front end's --version.

#include <QLabel>
#include <QProcess>

#include "GuiFixture.h"

namespace khub::gui::test {
namespace {

class AboutVersionTest : public GuiTest {};

TEST_F(AboutVersionTest, AboutBoxShowsTheVersionTheTerminalProgramPrints) {
    QProcess cli;
    cli.start(QStringLiteral(KHUB_CLI_PATH), {QStringLiteral("--version")});
    ASSERT_TRUE(cli.waitForFinished(10000));
    const QString printed = QString::fromUtf8(cli.readAllStandardOutput()).trimmed();
    ASSERT_TRUE(printed.startsWith("k-hub-cli ")) << printed.toStdString();
    const QString version = printed.mid(10);
    ASSERT_FALSE(version.isEmpty());

    MakeFrame();
    frame_->SendCommand(menu::kAbout);
    CDialog* about = Open(WindowId::About);
    ASSERT_NE(about, nullptr);
    QStringList versions;
    for (QLabel* l : about->findChildren<QLabel*>()) {
        if (l->text().startsWith("K-Hub I v")) versions << l->text().mid(9);
    }
    EXPECT_EQ(versions, QStringList{version});
}

}  // namespace
}  // namespace khub::gui::test

// The program on a real X server (Xvfb), with pictures of the screen kept under the build
// folder's artifacts for a person to look at. The test runs this binary again under
// xvfb-run with the xcb platform; the inner run does the checking and takes the picture.

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <cstdlib>

#include "GuiFixture.h"
#include "lobby/CViewList.h"

namespace khub::gui::test {
namespace {

bool Shoot(const char* name) {
    const char* build = std::getenv("KHUB_BUILD_DIR");
    const QString folder = QString::fromLocal8Bit(build ? build : ".") + "/artifacts";
    QDir().mkpath(folder);
    return QGuiApplication::primaryScreen()->grabWindow(0).save(folder + "/" + name, "PNG");
}

// A loaded machine may take that long to map a window.
constexpr int kWaitMs = 30000;

void RunUnderXvfb() {
    for (const char* tool : {"xvfb-run", "openbox", "xwininfo"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) GTEST_SKIP() << tool << " is missing";
    }
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    QTemporaryDir home;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KHUB_XVFB_CHILD", "1");
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.path());
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    // The child starts the window manager while Qt's threads run; each forked side
    // execs at once, which ThreadSanitizer would otherwise refuse.
    env.insert("TSAN_OPTIONS", env.value("TSAN_OPTIONS") + ":die_after_fork=0");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStandardPaths::findExecutable("xvfb-run"),
                {"-a", "-s", "-screen 0 1024x768x24", QCoreApplication::applicationFilePath(),
                 QString("--gtest_filter=%1.%2").arg(test->test_suite_name(), test->name())});
    ASSERT_TRUE(child.waitForFinished(90000)) << "the run under Xvfb did not end";
    const std::string output = child.readAll().toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
}

using Screenshot = GuiTest;

// A first start opens Options: under a window manager, which places the frame only once
// it is shown, the dialog must still come up over the frame. Then the main window shows
// its title, and its column titles and a row are drawn on the screen.
TEST_F(Screenshot, FirstStartAndMainWindowUnderXvfbAndAWindowManager) {
    if (!std::getenv("KHUB_XVFB_CHILD")) return RunUnderXvfb();
    // openbox runs the start-up command once it manages windows; the root window's
    // _NET_SUPPORTING_WM_CHECK comes earlier, and a frame shown in between may never be mapped.
    QTemporaryDir wmDir;
    const QString ready = wmDir.filePath("ready");
    QProcess wm;
    wm.start(QStringLiteral("openbox"), {"--startup", "touch " + ready});
    ASSERT_TRUE(wm.waitForStarted(10000));
    ASSERT_TRUE(QTest::qWaitFor([&ready] { return QFile::exists(ready); }, kWaitMs));
    frame_ = std::make_unique<CMainFrame>(*program_, ui_);
    CMainFrame& frame = *frame_;
    frame.SetStartupHook([&frame] { frame.OpenWindow(WindowId::Options); });
    frame.Create();
    ASSERT_TRUE(
        QTest::qWaitFor([&frame] { return frame.Window(WindowId::Options) != nullptr; }, kWaitMs));
    CDialog* options = frame.Window(WindowId::Options);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(options));
    // The window manager may still be moving things; wait until they sit together.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return (options->frameGeometry().center() - frame.frameGeometry().center())
                       .manhattanLength() <= 40;
        },
        kWaitMs));
    Shoot("k-hub-first-start.png");
    options->close();

    program_->games.PutGameRow({"Super Mario World", "alice", "1/2"});
    QHeaderView* header = frame.ViewList().header();
    // All three column titles fit in the window as it first opens.
    EXPECT_GE(header->viewport()->width(), 3 * CViewList::kColumnWidth);
    // The title as the X server knows it, not as the widget remembers it.
    QProcess xwininfo;
    xwininfo.start("xwininfo", {"-root", "-tree"});
    ASSERT_TRUE(xwininfo.waitForFinished(10000));
    EXPECT_TRUE(xwininfo.readAllStandardOutput().contains("\"K-Hub I - not connected\""));
    // The screen shows what the header and the row drew, and the titles are not blank.
    auto shows = [](QWidget* w, const QRect& r, int colours) {
        const QImage drawn = w->grab(r).toImage().convertToFormat(QImage::Format_RGB32);
        const QImage shown = QGuiApplication::primaryScreen()->grabWindow(0).toImage().copy(
            QRect(w->mapToGlobal(r.topLeft()), r.size()));
        QSet<QRgb> seen;
        long same = 0;
        for (int y = 0; y < r.height(); ++y) {
            for (int x = 0; x < r.width(); ++x) {
                seen.insert(drawn.pixel(x, y));
                same += drawn.pixel(x, y) == shown.pixel(x, y);
            }
        }
        return seen.size() >= colours && same > 0.95 * r.width() * r.height();
    };
    CViewList& view = frame.ViewList();
    const QRect row = view.visualRect(view.model()->index(0, 0));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return shows(header, QRect(0, 0, 3 * CViewList::kColumnWidth, header->height()), 3) &&
                   shows(view.viewport(), row, 3);
        },
        kWaitMs));
    EXPECT_TRUE(Shoot("k-hub-main-window.png"));
    wm.kill();
    wm.waitForFinished(5000);
}

}  // namespace
}  // namespace khub::gui::test

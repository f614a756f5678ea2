// The main window on a real X server (Xvfb): it shows up with its title and the three
// column headers, and a picture of the screen is kept under the build folder.
//
// The test runs itself again under xvfb-run with the xcb platform; the inner run does
// the checking and writes the picture.

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <cstdlib>

#include "app/CMainFrame.h"
#include "app/Program.h"
#include "framework/CDialog.h"
#include "lobby/CViewList.h"
#include "platform/ManualEventLoop.h"
#include "platform/QtUi.h"

namespace khub::gui::test {
namespace {

QString ArtefactPath(const QString& name = QStringLiteral("k-hub-main-window.png")) {
    const char* build = std::getenv("KHUB_BUILD_DIR");
    const QString folder = QString::fromLocal8Bit(build ? build : ".") + "/artifacts";
    QDir().mkpath(folder);
    return folder + "/" + name;
}

void CheckInsideXvfb() {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    QTemporaryDir dir;
    QtUi ui;
    ManualEventLoop loop;
    Program program(ui, loop, dir.filePath("K-Hub.ini").toStdString());
    CMainFrame frame(program, ui);
    frame.Create();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    program.games.PutGameRow({"Super Mario World", "alice", "1/2"});

    EXPECT_EQ(frame.windowTitle(), "K-Hub I - not connected");
    QHeaderView* header = frame.ViewList().header();
    ASSERT_TRUE(header->isVisible());
    // All three column titles fit in the window as it first opens.
    EXPECT_GE(header->viewport()->width(), 3 * CViewList::kColumnWidth);
    for (int c = 0; c < 3; ++c) EXPECT_FALSE(header->isSectionHidden(c));

    // The title as the X server knows it, not as the widget remembers it.
    QProcess xwininfo;
    xwininfo.start("xwininfo", {"-root", "-tree"});
    if (xwininfo.waitForFinished(10000)) {
        EXPECT_TRUE(xwininfo.readAllStandardOutput().contains("\"K-Hub I - not connected\""));
    }

    // The screen really shows the window: its area on the screen matches what it painted.
    // The X server draws on its own time, so look again until it does (or give up).
    const QImage painted = frame.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint origin = frame.mapToGlobal(QPoint(0, 0));
    QPixmap screen;
    QImage shown;
    double sameShare = 0;
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents();
        screen = QGuiApplication::primaryScreen()->grabWindow(0);
        shown = screen.toImage()
                    .copy(QRect(origin, painted.size()))
                    .convertToFormat(QImage::Format_RGB32);
        if (shown.size() != painted.size()) break;
        long same = 0;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x)
                same += shown.pixel(x, y) == painted.pixel(x, y);
        }
        sameShare = double(same) / (shown.width() * shown.height());
        if (sameShare > 0.95) break;
    }
    ASSERT_FALSE(screen.isNull());
    ASSERT_TRUE(screen.save(ArtefactPath(), "PNG"));
    ASSERT_EQ(shown.size(), painted.size());
    EXPECT_GT(sameShare, 0.95);
    // And the header row is not blank: the column titles were drawn.
    const QRect headerArea(header->mapTo(&frame, QPoint(0, 0)),
                           QSize(3 * CViewList::kColumnWidth, header->height()));
    QSet<QRgb> colours;
    for (int y = headerArea.top(); y <= headerArea.bottom(); ++y) {
        for (int x = headerArea.left(); x <= headerArea.right(); ++x)
            colours.insert(shown.pixel(x, y));
    }
    EXPECT_GT(colours.size(), 2);
}

// Lets the GUI thread work until done() holds, for at most a few seconds.
template <class Done>
bool WaitFor(Done done) {
    QDeadlineTimer deadline(5000);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QTest::qWait(20);
    }
    return true;
}

// Starts a window manager on the Xvfb display and waits until it has taken the screen.
bool StartWindowManager(QProcess& wm) {
    wm.start(QStringLiteral("openbox"), {});
    if (!wm.waitForStarted(10000)) return false;
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"), {"-root", "_NET_SUPPORTING_WM_CHECK"});
        if (xprop.waitForFinished(5000) && xprop.readAllStandardOutput().contains("window id"))
            return true;
        QTest::qWait(50);
    }
    return false;
}

// A first start opens Options: under a window manager, which places the frame only once
// it is shown, the dialog must still come up over the frame.
void CheckFirstStartOptionsInsideXvfb() {
    QProcess wm;
    ASSERT_TRUE(StartWindowManager(wm));
    QTemporaryDir dir;
    QtUi ui;
    ManualEventLoop loop;
    Program program(ui, loop, dir.filePath("K-Hub.ini").toStdString());
    CMainFrame frame(program, ui);
    frame.SetStartupHook([&frame] { frame.OpenWindow(WindowId::Options); });
    frame.Create();
    ASSERT_TRUE(WaitFor([&frame] { return frame.Window(WindowId::Options) != nullptr; }));
    CDialog* options = frame.Window(WindowId::Options);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(options));
    // The window manager may still be moving things; wait until they sit together.
    auto offset = [&] {
        return (options->frameGeometry().center() - frame.frameGeometry().center())
            .manhattanLength();
    };
    EXPECT_TRUE(WaitFor([&] { return offset() <= 40; }))
        << "frame at " << frame.frameGeometry().x() << "," << frame.frameGeometry().y()
        << ", Options at " << options->frameGeometry().x() << "," << options->frameGeometry().y();
    QGuiApplication::primaryScreen()->grabWindow(0).save(ArtefactPath("k-hub-first-start.png"));
    options->close();
    wm.kill();
    wm.waitForFinished(5000);
}

// Runs this binary again under xvfb-run with the xcb platform, for one test.
void RunUnderXvfb(const char* test) {
    const QString xvfbRun = QStandardPaths::findExecutable("xvfb-run");
    if (xvfbRun.isEmpty()) GTEST_SKIP() << "xvfb-run is not installed";

    QTemporaryDir home;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KHUB_XVFB_CHILD", "1");
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.path());
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    // The child starts the window manager and xprop while Qt's threads run; each forked side
    // execs at once, which ThreadSanitizer would otherwise refuse.
    env.insert("TSAN_OPTIONS", env.value("TSAN_OPTIONS") + ":die_after_fork=0");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(xvfbRun,
                {"-a", "-s", "-screen 0 1024x768x24", QCoreApplication::applicationFilePath(),
                 QStringLiteral("--gtest_filter=") + QString::fromLatin1(test)});
    ASSERT_TRUE(child.waitForStarted(10000));
    ASSERT_TRUE(child.waitForFinished(90000)) << "the run under Xvfb did not end";
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

TEST(Screenshot, MainWindowAppearsUnderXvfb) {
    if (std::getenv("KHUB_XVFB_CHILD")) {
        CheckInsideXvfb();
        return;
    }
    RunUnderXvfb("Screenshot.MainWindowAppearsUnderXvfb");
    EXPECT_TRUE(QFileInfo(ArtefactPath()).size() > 0);
    std::printf("screenshot: %s\n", qPrintable(QFileInfo(ArtefactPath()).absoluteFilePath()));
}

TEST(Screenshot, FirstStartOptionsOpenOverTheMainWindowUnderAWindowManager) {
    if (std::getenv("KHUB_XVFB_CHILD")) {
        CheckFirstStartOptionsInsideXvfb();
        return;
    }
    if (QStandardPaths::findExecutable("openbox").isEmpty()) {
        GTEST_SKIP() << "openbox is not installed";
    }
    RunUnderXvfb("Screenshot.FirstStartOptionsOpenOverTheMainWindowUnderAWindowManager");
}

}  // namespace
}  // namespace khub::gui::test

// The GUI tests bring their own main: the platform must be chosen before the application
// object exists, and the window placement must not touch the user's own settings.

#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdlib>

#include "GuiFixture.h"
#include "irc/Connection.h"

namespace khub::gui::test {

void GuiTest::SetUp() {
    ASSERT_TRUE(dir_.isValid());
    program_ = std::make_unique<Program>(ui_, loop_, SettingsPath());
    ConnectIrcLinks(*program_);
    program_->conn.ownNick = "Player1";
    program_->conn.sendOverride = [this](std::string_view line) {
        sent_.emplace_back(line);
        return static_cast<long>(line.size());
    };
    ui_.SetObserver([this](const char* what, const std::string& text) {
        if (std::string(what) == "box") boxes_.push_back(text);
        if (std::string(what) == "url") urls_.push_back(text);
    });
}

void GuiTest::TearDown() {
    CloseBoxes();
    DestroyFrame();
    ui_.SetObserver(nullptr);
    Pump();
}

void GuiTest::MakeFrame() {
    frame_ = std::make_unique<CMainFrame>(*program_, ui_);
    app_ = std::make_unique<CWinApp>();
    std::vector<CWinApp::Accelerator> table;
    for (const auto& [keys, id] : CMainFrame::AcceleratorTable()) table.push_back({keys, id});
    app_->SetAccelerators(frame_.get(), std::move(table));
    frame_->Create();
    frame_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
}

void GuiTest::DestroyFrame() {
    if (!frame_) return;
    frame_->close();
    frame_.reset();
    app_.reset();
    Pump();
}

void GuiTest::FrameKey(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    frame_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
    QTest::keyClick(frame_.get(), key, modifiers);
    Pump();
}

QMessageBox* GuiTest::VisibleBox() {
    QMessageBox* box = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible()) box = b;
    }
    return box;
}

void GuiTest::CloseBoxes() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) box->close();
    }
    Pump();
}

bool GuiTest::SentStartingWith(const std::string& prefix) const {
    for (const std::string& l : sent_) {
        if (l.rfind(prefix, 0) == 0) return true;
    }
    return false;
}

void GuiTest::Pump() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

}  // namespace khub::gui::test

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QTemporaryDir placement;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, placement.path());
    return RUN_ALL_TESTS();
}

#pragma once
// A main frame on the offscreen platform with a real Program behind it: the Qt Ui, and
// the manual event loop so that timers move only when a test says so. Lines for the
// server are recorded instead of sent.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/CMainFrame.h"
#include "app/Program.h"
#include "framework/CDialog.h"
#include "framework/CWinApp.h"
#include "irc/Connection.h"
#include "platform/Choosers.h"
#include "platform/ManualEventLoop.h"
#include "platform/QtUi.h"

namespace khub::gui::test {

class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override {
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
    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w)) box->close();
        }
        DestroyFrame();
        ui_.SetObserver(nullptr);
        SetChooseFileHook({});
        SetBrowseFolderHook({});
        Pump();
    }

    // Builds and shows the frame as the program does, with its accelerators.
    void MakeFrame() {
        frame_ = std::make_unique<CMainFrame>(*program_, ui_);
        app_ = std::make_unique<CWinApp>();
        app_->SetAccelerators(frame_.get(), CMainFrame::AcceleratorTable());
        frame_->Create();
        frame_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
    }
    void DestroyFrame() {
        if (!frame_) return;
        frame_->close();
        frame_.reset();
        app_.reset();
        Pump();
    }
    std::string SettingsPath() const { return dir_.filePath("K-Hub.ini").toStdString(); }
    // The open window of that id, or null; a control of it, or null.
    CDialog* Open(WindowId id) { return frame_ ? frame_->Window(id) : nullptr; }
    template <class T = QWidget>
    T* C(WindowId w, int id) {
        return Open(w) ? Open(w)->ControlAs<T>(id) : nullptr;
    }
    bool Enabled(WindowId w, int id) { return C(w, id) && C(w, id)->isEnabled(); }
    // Whether the field's text shows whole: its frame and inner margins take a few pixels.
    static bool ShowsWhole(QLineEdit* field) {
        return field->width() - 12 >= field->fontMetrics().horizontalAdvance(field->text());
    }
    void Click(WindowId w, int id) {
        C<QAbstractButton>(w, id)->click();
        Pump();
    }
    // Keys pressed in the main window, with the focus there.
    void FrameKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
        frame_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
        QTest::keyClick(frame_.get(), key, modifiers);
        Pump();
    }
    // The first line sent with that beginning: its place, or sent_.size() for none.
    std::ptrdiff_t SentAt(const std::string& prefix) const {
        return std::find_if(sent_.begin(), sent_.end(),
                            [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }) -
               sent_.begin();
    }
    bool SentStartingWith(const std::string& prefix) const {
        return SentAt(prefix) < std::ssize(sent_);
    }
    // Runs what the GUI thread has queued.
    static void Pump() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }

    QTemporaryDir dir_;
    QtUi ui_;
    ManualEventLoop loop_;
    std::unique_ptr<Program> program_;
    std::unique_ptr<CWinApp> app_;
    std::unique_ptr<CMainFrame> frame_;
    std::vector<std::string> boxes_, urls_, sent_;
};

}  // namespace khub::gui::test

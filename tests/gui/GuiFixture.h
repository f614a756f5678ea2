#pragma once
// A main frame on the offscreen platform with a real Program behind it: the Qt Ui, and
// the manual event loop so that timers move only when a test says so. Lines for the
// server are recorded instead of sent.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "app/CMainFrame.h"
#include "app/Program.h"
#include "framework/CDialog.h"
#include "framework/CWinApp.h"
#include "platform/ManualEventLoop.h"
#include "platform/QtUi.h"

namespace khub::gui::test {

class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Builds and shows the frame as the program does, with its accelerators.
    void MakeFrame();
    void DestroyFrame();
    std::string SettingsPath() const { return dir_.filePath("K-Hub.ini").toStdString(); }
    // The open window of that id, or null; a control of it, or null.
    CDialog* Open(WindowId id) { return frame_ ? frame_->Window(id) : nullptr; }
    template <class T = QWidget>
    T* C(WindowId w, int id) {
        return Open(w) ? Open(w)->ControlAs<T>(id) : nullptr;
    }
    bool Enabled(WindowId w, int id) { return C(w, id) && C(w, id)->isEnabled(); }
    // Keys pressed in the main window, with the focus there.
    void FrameKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier);
    // Message boxes shown so far (text), in order; the one on the screen.
    std::vector<std::string> Boxes() const { return boxes_; }
    static QMessageBox* VisibleBox();
    void CloseBoxes();
    bool SentStartingWith(const std::string& prefix) const;
    // Runs what the GUI thread has queued.
    static void Pump();

    QTemporaryDir dir_;
    QtUi ui_;
    ManualEventLoop loop_;
    std::unique_ptr<Program> program_;
    std::unique_ptr<CWinApp> app_;
    std::unique_ptr<CMainFrame> frame_;
    std::vector<std::string> boxes_, urls_, sent_;
};

}  // namespace khub::gui::test

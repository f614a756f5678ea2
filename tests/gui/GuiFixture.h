#pragma once
// A main frame on the offscreen platform with a real Program behind it: the Qt Ui, and
// the manual event loop so that timers move only when a test says so.

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

// The temporary folder where QSettings keeps the window placement for this test run.
QString PlacementFolder();

class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Builds and shows the frame as the program does, with its accelerators.
    void MakeFrame();
    void DestroyFrame();
    std::string SettingsPath() const { return dir_.filePath("K-Hub.ini").toStdString(); }
    CIni Settings() const { return program_->Settings(); }
    // The open window of that id, or null.
    CDialog* Open(WindowId id) { return frame_ ? frame_->Window(id) : nullptr; }
    // Message boxes shown so far (text), in order.
    std::vector<std::string> Boxes() const { return boxes_; }
    void CloseBoxes();
    // Runs what the GUI thread has queued.
    static void Pump();

    QTemporaryDir dir_;
    QtUi ui_;
    ManualEventLoop loop_;
    std::unique_ptr<Program> program_;
    std::unique_ptr<CWinApp> app_;
    std::unique_ptr<CMainFrame> frame_;
    std::vector<std::string> boxes_, urls_;
};

}  // namespace khub::gui::test

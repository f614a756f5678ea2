// The GUI tests bring their own main: the platform must be chosen before the application
// object exists, and the window placement must not touch the user's own settings.

#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdlib>

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QTemporaryDir placement;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, placement.path());
    return RUN_ALL_TESTS();
}

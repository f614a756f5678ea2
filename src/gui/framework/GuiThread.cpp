#include "GuiThread.h"

#include <QCoreApplication>
#include <QThread>

namespace khub::gui {

bool InGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void AssertGuiThread(const char* where) {
    if (!InGuiThread()) qFatal("%s called outside the GUI thread", where);
}

}  // namespace khub::gui

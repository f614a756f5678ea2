#include "CWinApp.h"

#include <QKeyEvent>
#include <QWidget>

#include "CFrame.h"

namespace khub::gui {

CWinApp::CWinApp(int& argc, char** argv) : ownedApp_(std::make_unique<QApplication>(argc, argv)) {
    qApp->installEventFilter(this);
}

CWinApp::CWinApp() {
    qApp->installEventFilter(this);
}

CWinApp::~CWinApp() {
    if (qApp) qApp->removeEventFilter(this);
}

int CWinApp::Run() {
    if (!InitInstance()) return -1;
    return QApplication::exec();
}

void CWinApp::SetAccelerators(CFrame* frame, std::vector<Accelerator> table) {
    accelFrame_ = frame;
    accelerators_ = std::move(table);
}

int CWinApp::FindAccelerator(const QKeyEvent& key) const {
    // Keypad and other modifiers that a table does not name must not stop a match.
    const Qt::KeyboardModifiers mods = key.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier |
                                                          Qt::AltModifier | Qt::MetaModifier);
    for (const Accelerator& a : accelerators_) {
        if (a.keys.key() == key.key() && a.keys.keyboardModifiers() == mods) return a.commandId;
    }
    return 0;
}

bool CWinApp::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type != QEvent::ShortcutOverride && type != QEvent::KeyPress) || !accelFrame_ ||
        !watched->isWidgetType()) {
        return QObject::eventFilter(watched, event);
    }
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != accelFrame_) return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const int command = FindAccelerator(*key);
    if (command == 0) return QObject::eventFilter(watched, event);
    if (type == QEvent::ShortcutOverride) {
        // Claiming the override turns the key into a plain key press, which comes back
        // here before the focused widget (a line edit would copy on Ctrl+C) can act on it.
        event->accept();
        return true;
    }
    accelFrame_->RunAccelerator(command);
    return true;
}

}  // namespace khub::gui

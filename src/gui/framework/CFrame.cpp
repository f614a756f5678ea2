#include "CFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QWindow>

namespace khub::gui {

namespace {
constexpr const char* kGroup = "Frame Settings";
}

CFrame::CFrame() = default;

CFrame::~CFrame() = default;

void CFrame::LoadRegistrySettings(const QString& organisation, const QString& application) {
    organisation_ = organisation;
    application_ = application;
}

void CFrame::Create() {
    OnCreate();
    BuildMenu();
    if (useToolbar_) {
        toolbar_ = addToolBar(QStringLiteral("Toolbar"));
        toolbar_->setObjectName(QStringLiteral("toolbar"));
    }
    RestorePlacement();
    ShowToolbar(useToolbar_ && toolbarShown_);
    ShowStatusbar(useStatusbar_ && statusbarShown_);
    show();
    OnInitialUpdate();
}

namespace {
// Waits for the first expose of a window: by then the window manager has placed it.
class ExposeWaiter : public QObject {
  public:
    ExposeWaiter(QWindow* window, QObject* context, std::function<void()> f)
        : QObject(window), window_(window), context_(context), f_(std::move(f)) {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Expose && window_->isExposed()) {
            window_->removeEventFilter(this);
            QTimer::singleShot(0, context_, std::move(f_));
            deleteLater();
        }
        return false;
    }

  private:
    QWindow* window_;
    QObject* context_;
    std::function<void()> f_;
};
}  // namespace

void CFrame::CallWhenOnScreen(std::function<void()> f) {
    QWindow* window = windowHandle();
    if (!window || window->isExposed()) {
        f();
        return;
    }
    new ExposeWaiter(window, this, std::move(f));
}

void CFrame::SetView(QWidget* view) {
    view_ = view;
    setCentralWidget(view);
}

QMenu* CFrame::AddPopup(const QString& title) {
    return menuBar()->addMenu(title);
}

QAction* CFrame::AddMenuItem(QMenu* popup, int id, const QString& text, bool enabled,
                             const QString& shortcutText) {
    // The key is shown beside the text only; the accelerator table does the work, so a
    // focused child cannot swallow it.
    QAction* action = popup->addAction(shortcutText.isEmpty() ? text : text + '\t' + shortcutText);
    action->setData(id);
    action->setEnabled(enabled);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    items_[id] = action;
    return action;
}

QAction* CFrame::MenuItem(int id) const {
    auto it = items_.find(id);
    return it == items_.end() ? nullptr : it->second;
}

void CFrame::SetMenuItemText(int id, const QString& text) {
    QAction* action = MenuItem(id);
    if (!action) return;
    const QString old = action->text();
    const qsizetype tab = old.indexOf('\t');
    action->setText(tab < 0 ? text : text + old.mid(tab));
}

void CFrame::EnableMenuItem(int id, bool enabled) {
    if (QAction* action = MenuItem(id)) action->setEnabled(enabled);
}

bool CFrame::IsMenuItemEnabled(int id) const {
    QAction* action = MenuItem(id);
    return action && action->isEnabled();
}

void CFrame::RunAccelerator(int id) {
    if (QAction* action = MenuItem(id); action && !action->isEnabled()) return;
    OnCommand(id);
}

void CFrame::ShowToolbar(bool show) {
    toolbarShown_ = show && toolbar_;
    if (toolbar_) toolbar_->setVisible(toolbarShown_);
}

void CFrame::ShowStatusbar(bool show) {
    statusbarShown_ = show && useStatusbar_;
    if (statusbarShown_) {
        statusBar()->show();
    } else if (QStatusBar* bar = findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly)) {
        bar->hide();
    }
}

void CFrame::RestorePlacement() {
    if (organisation_.isEmpty()) return;
    QSettings settings(organisation_, application_);
    settings.beginGroup(kGroup);
    const bool known = settings.contains("Left") && settings.contains("Top") &&
                       settings.contains("Width") && settings.contains("Height");
    if (known) {
        const int width = settings.value("Width").toInt();
        const int height = settings.value("Height").toInt();
        // A placement that could not be a window (hand-edited, or from a broken run) is
        // ignored; the window system's default is better than an invisible frame.
        if (width > 0 && height > 0 && width < 100000 && height < 100000) {
            move(settings.value("Left").toInt(), settings.value("Top").toInt());
            resize(width, height);
        }
    }
    toolbarShown_ = settings.value("Toolbar", false).toBool();
    statusbarShown_ = settings.value("Statusbar", false).toBool();
}

void CFrame::SavePlacement() {
    if (organisation_.isEmpty()) return;
    QSettings settings(organisation_, application_);
    settings.beginGroup(kGroup);
    // A minimised or maximised window comes back at its normal place and size.
    QRect normal(pos(), size());
    if (isMinimized() || isMaximized()) {
        // normalGeometry is the client area; move() places the frame, so keep its offset.
        const QPoint frameOffset = geometry().topLeft() - pos();
        normal = QRect(normalGeometry().topLeft() - frameOffset, normalGeometry().size());
    }
    settings.setValue("Top", normal.top());
    settings.setValue("Left", normal.left());
    settings.setValue("Width", normal.width());
    settings.setValue("Height", normal.height());
    settings.setValue("Toolbar", toolbarShown_);
    settings.setValue("Statusbar", statusbarShown_);
}

void CFrame::closeEvent(QCloseEvent* event) {
    if (!destroyed_) {
        destroyed_ = true;
        SavePlacement();
        OnDestroy();
    }
    event->accept();
}

}  // namespace khub::gui

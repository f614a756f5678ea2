#include "QtUi.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QUrl>
#include <algorithm>

#include "ColorPane.h"
#include "Sound.h"
#include "Text.h"
#include "framework/CDialog.h"
#include "framework/GuiThread.h"

namespace khub::gui {

QtUi::QtUi(QObject* parent) : QObject(parent), sound_(new SoundPlayer(this)) {}

QtUi::~QtUi() = default;

void QtUi::OnGuiThread(std::function<void()> f) {
    if (InGuiThread()) {
        f();
    } else {
        QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
    }
}

QWidget* QtUi::FindControl(WindowId window, int controlId) {
    AssertGuiThread("QtUi::FindControl");
    if (!host_) return nullptr;
    CDialog* dialog = host_->Window(window);
    return dialog ? dialog->Control(controlId) : nullptr;
}

void QtUi::SetMainTitle(const std::string& title) {
    OnGuiThread([this, title] {
        if (host_) host_->SetMainTitle(ToQt(title));
    });
}

void QtUi::SetMenuItem(int menuId, const std::string& text, bool enabled) {
    OnGuiThread([this, menuId, text, enabled] {
        if (host_) host_->SetMenuItem(menuId, ToQt(text), enabled);
    });
}

void QtUi::OpenWindow(WindowId window) {
    OnGuiThread([this, window] {
        if (host_) host_->OpenWindow(window);
    });
}

void QtUi::CloseWindow(WindowId window) {
    OnGuiThread([this, window] {
        if (host_) host_->CloseWindow(window);
    });
}

void QtUi::SetWindowTitle(WindowId window, const std::string& title) {
    OnGuiThread([this, window, title] {
        if (window == WindowId::Main) {
            if (host_) host_->SetMainTitle(ToQt(title));
        } else if (CDialog* dialog = host_ ? host_->Window(window) : nullptr) {
            dialog->setWindowTitle(ToQt(title));
        }
    });
}

void QtUi::EnableControl(WindowId window, int controlId, bool enabled) {
    OnGuiThread([this, window, controlId, enabled] {
        if (QWidget* control = FindControl(window, controlId)) control->setEnabled(enabled);
    });
}

void QtUi::SetControlText(WindowId window, int controlId, const std::string& text) {
    OnGuiThread([this, window, controlId, text] {
        QWidget* control = FindControl(window, controlId);
        if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            edit->setText(ToQt(text));
        } else if (auto* label = qobject_cast<QLabel*>(control)) {
            label->setText(ToQt(text));
        } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            button->setText(ToQt(text));
        } else if (auto* pane = qobject_cast<ColorPane*>(control)) {
            pane->setPlainText(ToQt(text));
        }
    });
}

void QtUi::AppendText(WindowId window, int controlId, const std::vector<ColorStretch>& stretches) {
    // The debug log is written from every thread; its backlog is kept here under a lock.
    if (window == WindowId::Debug) {
        std::lock_guard lock(backlogMutex_);
        backlog_.push_back(stretches);
        if (backlog_.size() > kDebugBacklog) backlog_.pop_front();
    }
    OnGuiThread([this, window, controlId, stretches] {
        if (auto* pane = qobject_cast<ColorPane*>(FindControl(window, controlId))) {
            pane->Append(stretches);
        }
    });
}

std::vector<std::vector<ColorStretch>> QtUi::DebugBacklog() const {
    std::lock_guard lock(backlogMutex_);
    return {backlog_.begin(), backlog_.end()};
}

void QtUi::ShowProgress(WindowId window, int controlId, bool visible) {
    OnGuiThread([this, window, controlId, visible] {
        if (auto* bar = qobject_cast<QProgressBar*>(FindControl(window, controlId))) {
            bar->setVisible(visible);
        }
    });
}

void QtUi::SetProgress(WindowId window, int controlId, int position) {
    OnGuiThread([this, window, controlId, position] {
        if (auto* bar = qobject_cast<QProgressBar*>(FindControl(window, controlId))) {
            bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
        }
    });
}

void QtUi::ShowMessage(const std::string& text, BoxIcon icon) {
    OnGuiThread([this, text, icon] {
        QMessageBox::Icon qtIcon = QMessageBox::Information;
        switch (icon) {
            case BoxIcon::Error:
                qtIcon = QMessageBox::Critical;
                break;
            case BoxIcon::Warning:
                qtIcon = QMessageBox::Warning;
                break;
            case BoxIcon::Information:
                qtIcon = QMessageBox::Information;
                break;
        }
        // Under an open modal dialog (Options) a box owned by the main window could not be
        // answered: the dialog blocks it. Such a box belongs to the dialog instead.
        QWidget* owner = QApplication::activeModalWidget();
        if (!owner && host_) owner = host_->MainWidget();
        auto* box =
            new QMessageBox(qtIcon, QStringLiteral("K-Hub I"), ToQt(text), QMessageBox::Ok, owner);
        // Shown and left: the lobby goes on while the box waits for its OK.
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
        box->show();
        if (observer_) observer_("box", text);
    });
}

void QtUi::PlaySound(const std::string& file) {
    OnGuiThread([this, file] {
        sound_->Play(file);
        if (observer_) observer_("sound", file);
    });
}

void QtUi::OpenAddress(const std::string& url) {
    OnGuiThread([this, url] {
        if (observer_) {
            observer_("url", url);
            return;
        }
        QDesktopServices::openUrl(QUrl::fromUserInput(ToQt(url)));
    });
}

}  // namespace khub::gui

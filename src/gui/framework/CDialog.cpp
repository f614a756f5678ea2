#include "CDialog.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>

namespace khub::gui {

CDialog::CDialog(QWidget* owner) : QDialog(owner) {}

CDialog::~CDialog() = default;

void CDialog::Init() {
    if (initialised_) return;
    initialised_ = true;
    OnInitDialog();
}

void CDialog::DoModal() {
    Init();
    setWindowModality(Qt::ApplicationModal);
    show();
}

void CDialog::DoModeless() {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    Init();
    show();
}

void CDialog::EndDialog(int result) {
    if (ending_) return;
    ending_ = true;
    done(result);
}

void CDialog::CloseWithoutCancel() {
    EndDialog(Rejected);
}

void CDialog::accept() {
    OnOK();
}

void CDialog::reject() {
    // done() closes the window, which Qt reports as a close; the hooks ran already.
    if (ending_) return;
    OnCancel();
}

void CDialog::FocusWhenEnabled(QWidget* control) {
    focusWhenEnabled_ = control;
    control->installEventFilter(this);
    // A hidden window takes this as the focus it shows with.
    if (control->isEnabled()) control->setFocus();
}

bool CDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == focusWhenEnabled_ && event->type() == QEvent::EnabledChange &&
        focusWhenEnabled_->isEnabled()) {
        focusWhenEnabled_->setFocus();
    }
    return QDialog::eventFilter(watched, event);
}

QWidget* CDialog::Control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

int CDialog::ControlId(const QWidget* control) const {
    for (const auto& [id, widget] : controls_) {
        if (widget == control) return id;
    }
    return 0;
}

void CDialog::AddControl(int id, QWidget* control) {
    controls_[id] = control;
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        connect(edit, &QLineEdit::textChanged, this, [this, id] { OnCommand(id); });
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        connect(button, &QAbstractButton::clicked, this, [this, id] {
            if (id == kIdOk) {
                accept();
            } else if (id == kIdCancel) {
                reject();
            } else {
                OnCommand(id);
            }
        });
    }
}

}  // namespace khub::gui

#include "CDebugDlg.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/MainCommands.h"
#include "app/Program.h"
#include "platform/ColorPane.h"
#include "platform/Text.h"

namespace khub::gui {

CDebugDlg::CDebugDlg(Program& program) : CDialog(nullptr), program_(program) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint);
    setWindowTitle(QStringLiteral("Debug output"));
    setSizeGripEnabled(true);
    auto* log = new ColorPane;
    QFont font = log->font();
    font.setPointSize(12);
    log->setFont(font);
    auto* edit = new QLineEdit;
    auto* send = new QPushButton(QStringLiteral("Send"));
    send->setDefault(true);
    auto* column = new QVBoxLayout(this);
    column->addWidget(log, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(edit, 1);
    row->addWidget(send);
    column->addLayout(row);
    AddControl(control::kDebugLog, log);
    AddControl(kEdit, edit);
    AddControl(kSendButton, send);
    resize(515, 372);
}

void CDebugDlg::ShowBacklog(const std::vector<std::vector<ColorStretch>>& lines) {
    auto* pane = ControlAs<ColorPane>(control::kDebugLog);
    for (const auto& line : lines) pane->Append(line);
}

bool CDebugDlg::OnCommand(int id) {
    if (id != kSendButton) return false;
    SendLine();
    return true;
}

void CDebugDlg::OnOK() {
    SendLine();
}

void CDebugDlg::SendLine() {
    auto* edit = ControlAs<QLineEdit>(kEdit);
    if (khub::SendDebugLine(program_, FromQt(edit->text()))) edit->clear();
}

void CDebugDlg::OnCancel() {
    program_.windows.debug = false;
    EndDialog(Rejected);
}

}  // namespace khub::gui

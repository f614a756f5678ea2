#include "CJoinGameDlg.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Program.h"
#include "lobby/Lobby.h"
#include "platform/ColorPane.h"
#include "platform/Text.h"

namespace khub::gui {

CJoinGameDlg::CJoinGameDlg(Program& program) : CDialog(nullptr), program_(program) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    setWindowTitle(QStringLiteral("Join Game"));
    auto* log = new ColorPane;
    auto* chat = new QLineEdit;
    chat->setMaxLength(lobby::kChatLineLimit);
    chat->setEnabled(false);
    auto* scan = new QProgressBar;
    scan->setRange(0, 100);
    scan->setValue(0);
    scan->setTextVisible(false);
    scan->setFixedHeight(6);
    scan->setVisible(false);
    auto* download = new QPushButton(QStringLiteral("&Download"));
    download->setEnabled(false);
    download->setAutoDefault(false);
    auto* send = new QPushButton(QStringLiteral("Send"));
    send->setDefault(true);
    send->setEnabled(false);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    cancel->setAutoDefault(false);

    auto* chatRow = new QHBoxLayout;
    chatRow->addWidget(chat, 1);
    chatRow->addWidget(send);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(download);
    buttons->addStretch();
    buttons->addWidget(cancel);
    auto* column = new QVBoxLayout(this);
    column->addWidget(log, 1);
    column->addLayout(chatRow);
    column->addWidget(scan);
    column->addLayout(buttons);

    AddControl(control::kJoinChatLog, log);
    AddControl(control::kJoinChatEdit, chat);
    AddControl(control::kJoinProgress, scan);
    AddControl(control::kDownload, download);
    AddControl(kIdOk, send);
    AddControl(kIdCancel, cancel);
    resize(410, 254);
    FocusWhenEnabled(chat);
}

bool CJoinGameDlg::OnCommand(int id) {
    switch (id) {
        case control::kJoinChatEdit:
            lobby::JoinChatChanged(program_, FromQt(ControlAs<QLineEdit>(id)->text()));
            return true;
        case control::kDownload:
            lobby::JoinDownload(program_);
            return true;
        default:
            return false;
    }
}

void CJoinGameDlg::OnOK() {
    // Enter in the chat line reaches here too; a disabled Send must not send.
    if (!Control(kIdOk)->isEnabled()) return;
    lobby::JoinSend(program_, FromQt(ControlAs<QLineEdit>(control::kJoinChatEdit)->text()));
}

void CJoinGameDlg::OnCancel() {
    lobby::JoinCancel(program_);
    EndDialog(Rejected);
}

}  // namespace khub::gui

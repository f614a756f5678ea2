#include "CHostGameDlg.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "RomFilter.h"
#include "app/Program.h"
#include "lobby/Lobby.h"
#include "platform/ColorPane.h"
#include "platform/Text.h"

namespace khub::gui {

CHostGameDlg::CHostGameDlg(Program& program) : CDialog(nullptr), program_(program) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Host Game"));
    auto* log = new ColorPane;
    auto* chat = new QLineEdit;
    chat->setMaxLength(lobby::kChatLineLimit);
    auto* select = new QPushButton(QStringLiteral("S&elect"));
    auto* start = new QPushButton(QStringLiteral("&Start"));
    start->setEnabled(false);
    auto* kick = new QPushButton(QStringLiteral("Kick"));
    kick->setEnabled(false);
    auto* send = new QPushButton(QStringLiteral("Send"));
    send->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    for (QPushButton* b : {select, start, kick, cancel}) b->setAutoDefault(false);

    auto* chatRow = new QHBoxLayout;
    chatRow->addWidget(chat, 1);
    chatRow->addWidget(send);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(select);
    buttons->addWidget(start);
    buttons->addWidget(kick);
    buttons->addStretch();
    buttons->addWidget(cancel);
    auto* column = new QVBoxLayout(this);
    column->addWidget(log, 1);
    column->addLayout(chatRow);
    column->addLayout(buttons);

    AddControl(control::kHostChatLog, log);
    AddControl(control::kHostChatEdit, chat);
    AddControl(control::kSelect, select);
    AddControl(control::kStart, start);
    AddControl(control::kKick, kick);
    AddControl(kIdOk, send);
    AddControl(kIdCancel, cancel);
    resize(410, 254);
    FocusWhenEnabled(chat);
}

bool CHostGameDlg::OnCommand(int id) {
    switch (id) {
        case control::kHostChatEdit:
            lobby::HostChatChanged(program_, FromQt(ControlAs<QLineEdit>(id)->text()));
            return true;
        case control::kSelect: {
            lobby::HostSelectBegin(program_);
            const std::string romFolder =
                program_.Settings().GetStringCut("options", "rompath", 2048);
            const QString path = ChooseFile(this, RomFileFilters(), ToQt(romFolder));
            lobby::HostSelectEnd(program_, FromQt(path));
            return true;
        }
        case control::kStart:
            lobby::HostStart(program_);
            return true;
        case control::kKick:
            lobby::HostKick(program_);
            return true;
        default:
            return false;
    }
}

void CHostGameDlg::OnOK() {
    if (!Control(kIdOk)->isEnabled()) return;
    auto* chat = ControlAs<QLineEdit>(control::kHostChatEdit);
    lobby::HostSend(program_, FromQt(chat->text()));
}

void CHostGameDlg::OnCancel() {
    lobby::HostCancel(program_);
    EndDialog(Rejected);
}

}  // namespace khub::gui

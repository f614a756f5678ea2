#include "CCreateGameDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/Program.h"
#include "lobby/Lobby.h"
#include "lobby/RomFilter.h"
#include "platform/Choosers.h"
#include "platform/FieldWidth.h"
#include "platform/Text.h"

namespace khub::gui {

CCreateGameDlg::CCreateGameDlg(Program& program, QWidget* owner)
    : CDialog(owner), program_(program) {
    setWindowTitle(QStringLiteral("Create Game"));
    auto* label = new QLabel(QStringLiteral("Game &name:"));
    auto* name = new QLineEdit;
    name->setMaxLength(lobby::kGameNameLimit);
    label->setBuddy(name);
    auto* browse = new QPushButton(QStringLiteral("..."));
    browse->setAutoDefault(false);
    browse->setFixedWidth(28);
    auto* disallow = new QCheckBox(QStringLiteral("Disallow downloading"));
    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setDefault(true);
    ok->setEnabled(false);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    cancel->setAutoDefault(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(name, 0, 1);
    grid->addWidget(browse, 0, 2);
    grid->addWidget(disallow, 1, 1, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 2, 0, 1, 3);

    AddControl(control::kCreateGameName, name);
    AddControl(kBrowse, browse);
    AddControl(kDisallowDownload, disallow);
    AddControl(kIdOk, ok);
    AddControl(kIdCancel, cancel);
    WidenFor(name, QStringLiteral("Super Mario World 2 - Yoshi's Island (U) [!]"));
    resize(sizeHint());
}

bool CCreateGameDlg::OnCommand(int id) {
    if (id == control::kCreateGameName) {
        lobby::CreateGameNameChanged(program_, FromQt(ControlAs<QLineEdit>(id)->text()));
        return true;
    }
    if (id == kBrowse) {
        const std::string romFolder = program_.Settings().GetStringCut("options", "rompath", 2048);
        const QString path = ChooseFile(this, RomFileFilters(), ToQt(romFolder));
        lobby::CreateGameChooseRom(program_, FromQt(path));
        return true;
    }
    return false;
}

void CCreateGameDlg::OnOK() {
    const std::string name = FromQt(ControlAs<QLineEdit>(control::kCreateGameName)->text());
    const bool disallow = ControlAs<QCheckBox>(kDisallowDownload)->isChecked();
    if (lobby::CreateGameOk(program_, name, disallow)) EndDialog(Accepted);
}

void CCreateGameDlg::OnCancel() {
    lobby::CreateGameCancel(program_);
    EndDialog(Rejected);
}

}  // namespace khub::gui

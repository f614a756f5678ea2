#include "COptionsDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Program.h"
#include "platform/Choosers.h"
#include "platform/FieldWidth.h"
#include "platform/Text.h"
#include "settings/Options.h"

namespace khub::gui {

namespace {
QPushButton* BrowseButton() {
    auto* b = new QPushButton(QStringLiteral("..."));
    b->setAutoDefault(false);
    b->setFixedWidth(28);
    return b;
}
}  // namespace

COptionsDlg::COptionsDlg(Program& program, QWidget* owner) : CDialog(owner), program_(program) {
    setWindowTitle(QStringLiteral("Options"));
    auto* nameLabel = new QLabel(QStringLiteral("&Player name:"));
    auto* name = new QLineEdit;
    nameLabel->setBuddy(name);
    auto* connect = new QCheckBox(QStringLiteral("&Connect on startup"));
    auto* programLabel = new QLabel(QStringLiteral("P&ath to VOLTA program:"));
    auto* programPath = new QLineEdit;
    programLabel->setBuddy(programPath);
    auto* programBrowse = BrowseButton();
    auto* romLabel = new QLabel(QStringLiteral("Path to ROM images:"));
    auto* romPath = new QLineEdit;
    auto* romBrowse = BrowseButton();
    auto* host = new QGroupBox(QStringLiteral("Host"));
    auto* joinSound = new QCheckBox(QStringLiteral("Play sound when a player joins"));
    auto* joinFile = new QLineEdit;
    auto* joinBrowse = BrowseButton();
    auto* textSound = new QCheckBox(QStringLiteral("Play sound when a player types"));
    auto* textFile = new QLineEdit;
    auto* textBrowse = BrowseButton();
    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    cancel->setAutoDefault(false);

    auto* column = new QVBoxLayout(this);
    column->addWidget(nameLabel);
    column->addWidget(name);
    column->addWidget(connect);
    auto pathRow = [column](QLabel* label, QLineEdit* field, QPushButton* browse) {
        column->addWidget(label);
        auto* row = new QHBoxLayout;
        row->addWidget(field, 1);
        row->addWidget(browse);
        column->addLayout(row);
    };
    pathRow(programLabel, programPath, programBrowse);
    pathRow(romLabel, romPath, romBrowse);
    auto* hostColumn = new QVBoxLayout(host);
    auto soundRow = [hostColumn](QCheckBox* box, QLineEdit* field, QPushButton* browse) {
        hostColumn->addWidget(box);
        auto* row = new QHBoxLayout;
        row->addWidget(field, 1);
        row->addWidget(browse);
        hostColumn->addLayout(row);
    };
    soundRow(joinSound, joinFile, joinBrowse);
    soundRow(textSound, textFile, textBrowse);
    column->addWidget(host);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    column->addLayout(buttons);

    AddControl(kName, name);
    AddControl(kConnectOnStartup, connect);
    AddControl(kProgram, programPath);
    AddControl(kProgramBrowse, programBrowse);
    AddControl(kRomFolder, romPath);
    AddControl(kRomFolderBrowse, romBrowse);
    AddControl(kJoinSound, joinSound);
    AddControl(kJoinSoundFile, joinFile);
    AddControl(kJoinSoundBrowse, joinBrowse);
    AddControl(kTextSound, textSound);
    AddControl(kTextSoundFile, textFile);
    AddControl(kTextSoundBrowse, textBrowse);
    AddControl(kIdOk, ok);
    AddControl(kIdCancel, cancel);
    for (QLineEdit* path : {programPath, romPath, joinFile, textFile}) WidenFor(path, kTypicalPath);
    resize(sizeHint());
}

bool COptionsDlg::OnInitDialog() {
    ControlAs<QLineEdit>(kName)->setMaxLength(static_cast<int>(kOptionsNameLimit));
    for (int id : {kProgram, kRomFolder, kJoinSoundFile, kTextSoundFile}) {
        ControlAs<QLineEdit>(id)->setMaxLength(static_cast<int>(kOptionsPathLimit));
    }
    const OptionsValues v = LoadOptions(program_);
    ControlAs<QLineEdit>(kName)->setText(ToQt(v.playerName));
    ControlAs<QCheckBox>(kConnectOnStartup)->setChecked(v.connectOnStartup);
    ControlAs<QLineEdit>(kProgram)->setText(ToQt(v.programPath));
    ControlAs<QLineEdit>(kRomFolder)->setText(ToQt(v.romPath));
    ControlAs<QCheckBox>(kJoinSound)->setChecked(v.playJoinSound);
    ControlAs<QLineEdit>(kJoinSoundFile)->setText(ToQt(v.joinSoundFile));
    ControlAs<QCheckBox>(kTextSound)->setChecked(v.playTextSound);
    ControlAs<QLineEdit>(kTextSoundFile)->setText(ToQt(v.textSoundFile));
    // The name is the nick on the server; it cannot change under a live connection.
    ControlAs<QLineEdit>(kName)->setEnabled(!program_.conn.receiveThreadRunning.load());
    FollowCheckBox(kJoinSound, kJoinSoundFile, kJoinSoundBrowse);
    FollowCheckBox(kTextSound, kTextSoundFile, kTextSoundBrowse);
    return true;
}

void COptionsDlg::FollowCheckBox(int box, int field, int browse) {
    const bool on = ControlAs<QCheckBox>(box)->isChecked();
    Control(field)->setEnabled(on);
    Control(browse)->setEnabled(on);
}

void COptionsDlg::PutChosenPath(int field, const QString& path) {
    if (path.isEmpty()) return;
    ControlAs<QLineEdit>(field)->setText(path);
    program_.log.DebugLog("%s\r\n", FromQt(path).c_str());
}

bool COptionsDlg::OnCommand(int id) {
    const QList<FileFilter> wave = {{QStringLiteral("WAVE File"), {"*.wav"}}};
    switch (id) {
        case kJoinSound:
            FollowCheckBox(kJoinSound, kJoinSoundFile, kJoinSoundBrowse);
            return true;
        case kTextSound:
            FollowCheckBox(kTextSound, kTextSoundFile, kTextSoundBrowse);
            return true;
        case kProgramBrowse:
            // The emulator may be a wrapper script here, so every file may be chosen too.
            PutChosenPath(kProgram,
                          ChooseFile(this, {{QStringLiteral("VOLTAW.EXE"), {"VOLTAW.EXE"}},
                                            {QStringLiteral("All files"), {"*"}}}));
            return true;
        case kRomFolderBrowse:
            PutChosenPath(kRomFolder,
                          BrowseForFolder(this, QString::fromLatin1(kRomFolderBrowseTitle)));
            return true;
        case kJoinSoundBrowse:
            PutChosenPath(kJoinSoundFile, ChooseFile(this, wave));
            return true;
        case kTextSoundBrowse:
            PutChosenPath(kTextSoundFile, ChooseFile(this, wave));
            return true;
        default:
            return false;
    }
}

void COptionsDlg::OnOK() {
    OptionsValues v;
    v.playerName = FromQt(ControlAs<QLineEdit>(kName)->text());
    v.connectOnStartup = ControlAs<QCheckBox>(kConnectOnStartup)->isChecked();
    v.programPath = FromQt(ControlAs<QLineEdit>(kProgram)->text());
    v.romPath = FromQt(ControlAs<QLineEdit>(kRomFolder)->text());
    v.playJoinSound = ControlAs<QCheckBox>(kJoinSound)->isChecked();
    v.joinSoundFile = FromQt(ControlAs<QLineEdit>(kJoinSoundFile)->text());
    v.playTextSound = ControlAs<QCheckBox>(kTextSound)->isChecked();
    v.textSoundFile = FromQt(ControlAs<QLineEdit>(kTextSoundFile)->text());
    if (!SaveOptions(program_, v)) {
        program_.ui.ShowMessage(kInvalidPlayerNameText, BoxIcon::Error);
        return;
    }
    EndDialog(Accepted);
}

}  // namespace khub::gui

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QTimer>

#include "GuiFixture.h"
#include "lobby/RomFilter.h"
#include "settings/COptionsDlg.h"

namespace khub::gui::test {
namespace {

class OptionsDialogTest : public GuiTest {
  protected:
    COptionsDlg* OpenOptions() {
        if (!frame_) MakeFrame();
        FrameKey(Qt::Key_O);
        return qobject_cast<COptionsDlg*>(Open(WindowId::Options));
    }
    QLineEdit* Field(int id) { return C<QLineEdit>(WindowId::Options, id); }
    QCheckBox* Box(int id) { return C<QCheckBox>(WindowId::Options, id); }
};

TEST_F(OptionsDialogTest, ShowsStoredValuesChoosersFillFieldsCancelWritesNoneOkEachUnlessRefused) {
    QString answer = "/opt/volta/VOLTAW.EXE";
    QList<FileFilter> filters;
    SetChooseFileHook([&](QWidget*, const QList<FileFilter>& f, const QString&) {
        filters = f;
        return answer;
    });
    SetBrowseFolderHook([](QWidget*, const QString&) { return QStringLiteral("/home/p/snes"); });
    CIni ini(SettingsPath());
    ini.SetString("options", "playername", "PlayerWithAVeryLongNameOverThirtyChars");
    ini.SetString("options", "programpath", "/home/player/Games/SNES/Volta/VOLTAW.EXE");
    ini.SetString("options", "rompath", "/home/player/Games/SNES/Roms/Super Famicom");
    ini.SetString("options", "connectonstartup", "Yes");
    ini.SetString("host", "playsound", "1");
    ini.SetString("host", "soundfile", "/home/player/Games/SNES/Sounds/join.wav");
    ini.SetString("host", "textsoundfile", "/home/player/Games/SNES/Sounds/text.wav");
    COptionsDlg* d = OpenOptions();
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->isModal());
    EXPECT_TRUE(program_->windows.options);
    EXPECT_EQ(Field(COptionsDlg::kName)->text(), "PlayerWithAVeryLongNameOverThi");
    EXPECT_EQ(Field(COptionsDlg::kName)->maxLength(), 30);
    EXPECT_EQ(Field(COptionsDlg::kProgram)->maxLength(), 1024);
    EXPECT_EQ(Field(COptionsDlg::kProgram)->text(), "/home/player/Games/SNES/Volta/VOLTAW.EXE");
    EXPECT_EQ(Field(COptionsDlg::kRomFolder)->text(), "/home/player/Games/SNES/Roms/Super Famicom");
    EXPECT_EQ(Field(COptionsDlg::kJoinSoundFile)->text(),
              "/home/player/Games/SNES/Sounds/join.wav");
    EXPECT_EQ(Field(COptionsDlg::kTextSoundFile)->text(),
              "/home/player/Games/SNES/Sounds/text.wav");
    for (int path : {COptionsDlg::kProgram, COptionsDlg::kRomFolder, COptionsDlg::kJoinSoundFile,
                     COptionsDlg::kTextSoundFile}) {
        EXPECT_TRUE(ShowsWhole(Field(path))) << path;  // a typical path
    }
    EXPECT_TRUE(Box(COptionsDlg::kConnectOnStartup)->isChecked());
    EXPECT_TRUE(Box(COptionsDlg::kJoinSound)->isChecked());
    EXPECT_FALSE(Box(COptionsDlg::kTextSound)->isChecked());
    // A sound's file and its browse button follow its box.
    EXPECT_TRUE(Field(COptionsDlg::kJoinSoundFile)->isEnabled());
    EXPECT_FALSE(Field(COptionsDlg::kTextSoundFile)->isEnabled());
    EXPECT_FALSE(d->Control(COptionsDlg::kTextSoundBrowse)->isEnabled());
    EXPECT_TRUE(Field(COptionsDlg::kName)->isEnabled());
    // The choosers fill their fields, a cancelled one leaves its field; Cancel writes none.
    Click(WindowId::Options, COptionsDlg::kProgramBrowse);
    EXPECT_EQ(Field(COptionsDlg::kProgram)->text(), answer);
    EXPECT_EQ(filters.value(0).patterns, QStringList{"VOLTAW.EXE"});
    Click(WindowId::Options, COptionsDlg::kRomFolderBrowse);
    EXPECT_EQ(Field(COptionsDlg::kRomFolder)->text(), "/home/p/snes");
    answer = "/s/ding.wav";
    Click(WindowId::Options, COptionsDlg::kJoinSoundBrowse);
    EXPECT_EQ(Field(COptionsDlg::kJoinSoundFile)->text(), "/s/ding.wav");
    EXPECT_EQ(filters.value(0).patterns, QStringList{"*.wav"});
    answer.clear();
    Click(WindowId::Options, COptionsDlg::kJoinSoundBrowse);
    EXPECT_EQ(Field(COptionsDlg::kJoinSoundFile)->text(), "/s/ding.wav");
    Field(COptionsDlg::kName)->setText("Player1");
    Box(COptionsDlg::kConnectOnStartup)->click();
    Click(WindowId::Options, CDialog::kIdCancel);
    EXPECT_EQ(ini.GetString("options", "programpath"), "/home/player/Games/SNES/Volta/VOLTAW.EXE");
    EXPECT_EQ(ini.GetString("options", "connectonstartup"), "Yes");

    OpenOptions();
    Field(COptionsDlg::kName)->setText("Player1");
    Field(COptionsDlg::kRomFolder)->setText("/roms");
    Box(COptionsDlg::kConnectOnStartup)->click();
    Box(COptionsDlg::kJoinSound)->click();
    EXPECT_FALSE(Field(COptionsDlg::kJoinSoundFile)->isEnabled());
    EXPECT_FALSE(C(WindowId::Options, COptionsDlg::kJoinSoundBrowse)->isEnabled());
    Box(COptionsDlg::kTextSound)->click();
    EXPECT_TRUE(Field(COptionsDlg::kTextSoundFile)->isEnabled());
    Click(WindowId::Options, CDialog::kIdOk);
    EXPECT_EQ(Open(WindowId::Options), nullptr);
    EXPECT_EQ(ini.GetString("options", "playername"), "Player1");
    EXPECT_EQ(ini.GetString("options", "rompath"), "/roms");
    EXPECT_EQ(ini.GetString("host", "playsound"), "0");
    EXPECT_EQ(ini.GetString("host", "playtextsound"), "1");
    EXPECT_EQ(ini.GetString("options", "connectonstartup"), "0");
    EXPECT_EQ(ini.GetString("host", "soundfile"), "/home/player/Games/SNES/Sounds/join.wav");

    // While connected the name is fixed, and a bad stored one keeps the dialog open.
    ini.SetString("options", "playername", "bad");
    program_->conn.receiveThreadRunning = true;
    d = OpenOptions();
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(Field(COptionsDlg::kName)->isEnabled());
    Click(WindowId::Options, CDialog::kIdOk);
    EXPECT_NE(Open(WindowId::Options), nullptr);
    EXPECT_EQ(boxes_, std::vector<std::string>{"ERROR: Invalid Player Name"});
    // The box must be answerable while the modal dialog is open: it belongs to the dialog.
    QMessageBox* box = d->findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    Click(WindowId::Options, CDialog::kIdCancel);
    EXPECT_EQ(Open(WindowId::Options), nullptr);
}

// The real chooser: the filter reads as plain patterns and finds ROMs in any letter case.
TEST_F(OptionsDialogTest, TheChooserShowsPlainPatternsAndMatchesAnyLetterCase) {
    QTemporaryDir roms;
    for (const char* name : {"Zelda.SMC", "mario.smc", "Kart.Sfc", "notes.txt"}) {
        QFile file(roms.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QStringList filters, shown;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        filters = dialog->nameFilters();
        auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
        auto listed = [&] {
            shown.clear();
            if (!view) return false;
            const QModelIndex root = view->rootIndex();
            for (int r = 0; r < view->model()->rowCount(root); ++r) {
                shown << view->model()->index(r, 0, root).data().toString();
            }
            return shown.size() >= 3;
        };
        (void)QTest::qWaitFor(listed);  // what it lists is checked below
        dialog->reject();
    });
    EXPECT_TRUE(ChooseFile(nullptr, RomFileFilters(), roms.path()).isEmpty());
    EXPECT_EQ(filters.join('|').toStdString(),
              "Super Nintendo Games (*.smc *.sfc *.swc *.fig *.058 *.078 *.1 *.usa *.jap)");
    shown.sort(Qt::CaseInsensitive);
    EXPECT_EQ(shown.join('|').toStdString(), "Kart.Sfc|mario.smc|Zelda.SMC");
}

}  // namespace
}  // namespace khub::gui::test

#include <QCheckBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTimer>

#include "GuiFixture.h"
#include "lobby/RomFilter.h"
#include "platform/Choosers.h"
#include "settings/COptionsDlg.h"

namespace khub::gui::test {
namespace {

class OptionsDialogTest : public GuiTest {
  protected:
    COptionsDlg* OpenOptions() {
        MakeFrame();
        frame_->SendCommand(menu::kOptions);
        return qobject_cast<COptionsDlg*>(Open(WindowId::Options));
    }
    static QLineEdit* Field(COptionsDlg* d, int id) { return d->ControlAs<QLineEdit>(id); }
    static QCheckBox* Box(COptionsDlg* d, int id) { return d->ControlAs<QCheckBox>(id); }
    static void ClickOk(COptionsDlg* d) { d->ControlAs<QPushButton>(CDialog::kIdOk)->click(); }
    void TearDown() override {
        SetChooseFileHook({});
        SetBrowseFolderHook({});
        GuiTest::TearDown();
    }
};

TEST_F(OptionsDialogTest, OpensWithTheStoredValuesAndLimits) {
    CIni ini(SettingsPath());
    ini.SetString("options", "playername", "PlayerWithAVeryLongNameOverThirtyChars");
    ini.SetString("options", "programpath", "/opt/volta/voltaw");
    ini.SetString("options", "rompath", "/home/p/roms");
    ini.SetString("options", "connectonstartup", "Yes");
    ini.SetString("host", "playsound", "1");
    ini.SetString("host", "soundfile", "/s/join.wav");
    ini.SetString("host", "textsoundfile", "/s/text.wav");
    COptionsDlg* d = OpenOptions();
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->isModal());
    EXPECT_TRUE(program_->windows.options);
    EXPECT_EQ(Field(d, COptionsDlg::kName)->text(), "PlayerWithAVeryLongNameOverThi");
    EXPECT_EQ(Field(d, COptionsDlg::kName)->maxLength(), 30);
    EXPECT_EQ(Field(d, COptionsDlg::kProgram)->maxLength(), 1024);
    EXPECT_EQ(Field(d, COptionsDlg::kProgram)->text(), "/opt/volta/voltaw");
    EXPECT_EQ(Field(d, COptionsDlg::kRomFolder)->text(), "/home/p/roms");
    EXPECT_TRUE(Box(d, COptionsDlg::kConnectOnStartup)->isChecked());
    EXPECT_TRUE(Box(d, COptionsDlg::kJoinSound)->isChecked());
    EXPECT_TRUE(Field(d, COptionsDlg::kJoinSoundFile)->isEnabled());
    EXPECT_FALSE(Box(d, COptionsDlg::kTextSound)->isChecked());
    EXPECT_FALSE(Field(d, COptionsDlg::kTextSoundFile)->isEnabled());
    EXPECT_FALSE(d->Control(COptionsDlg::kTextSoundBrowse)->isEnabled());
    EXPECT_EQ(Field(d, COptionsDlg::kTextSoundFile)->text(), "/s/text.wav");
    EXPECT_TRUE(Field(d, COptionsDlg::kName)->isEnabled());
}

TEST_F(OptionsDialogTest, NameRuleOnOk) {
    struct Case {
        const char* name;
        bool valid;
    };
    const Case cases[] = {
        {"abcd", false},           {"abcde", true},
        {"abcdefghijklmno", true}, {"abcdefghijklmnop", false},
        {"with blank", false},     {"dot.ted", false},
        {"hy-phen", false},        {"Under_score9", true},
        {"quote\"d", false},       {"back`tick", false},
        {"slash\\ed", false},      {"tilde~d", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CIni(SettingsPath()).SetString("options", "playername", "Before");
        boxes_.clear();
        COptionsDlg* d = OpenOptions();
        ASSERT_NE(d, nullptr);
        Field(d, COptionsDlg::kName)->setText(c.name);
        Field(d, COptionsDlg::kRomFolder)->setText("/roms");
        ClickOk(d);
        Pump();
        const CIni ini(SettingsPath());
        // The other fields are written whether or not the name passed.
        EXPECT_EQ(ini.GetString("options", "rompath"), "/roms");
        if (c.valid) {
            EXPECT_EQ(ini.GetString("options", "playername"), c.name);
            EXPECT_EQ(Open(WindowId::Options), nullptr);
            EXPECT_TRUE(Boxes().empty());
        } else {
            EXPECT_EQ(ini.GetString("options", "playername"), "Before");
            EXPECT_NE(Open(WindowId::Options), nullptr);
            EXPECT_EQ(Boxes(), std::vector<std::string>{"ERROR: Invalid Player Name"});
        }
        CloseBoxes();
        DestroyFrame();
    }
}

TEST_F(OptionsDialogTest, WhileConnectedTheNameIsFixedAndABadStoredNameKeepsTheDialogOpen) {
    CIni(SettingsPath()).SetString("options", "playername", "bad");
    program_->conn.receiveThreadRunning = true;
    COptionsDlg* d = OpenOptions();
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(Field(d, COptionsDlg::kName)->isEnabled());
    ClickOk(d);
    Pump();
    EXPECT_NE(Open(WindowId::Options), nullptr);
    EXPECT_EQ(Boxes().size(), 1u);
    // The box must be answerable while the modal dialog is open: it belongs to the dialog.
    QMessageBox* box = d->findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    d->ControlAs<QPushButton>(CDialog::kIdCancel)->click();
    Pump();
    EXPECT_EQ(Open(WindowId::Options), nullptr);
}

TEST_F(OptionsDialogTest, ClearingASoundBoxDisablesItsFieldAndOkStillWritesTheFile) {
    CIni(SettingsPath()).SetString("host", "playsound", "1");
    CIni(SettingsPath()).SetString("host", "soundfile", "/s/join.wav");
    COptionsDlg* d = OpenOptions();
    ASSERT_NE(d, nullptr);
    Field(d, COptionsDlg::kName)->setText("Player1");
    Box(d, COptionsDlg::kJoinSound)->click();
    EXPECT_FALSE(Field(d, COptionsDlg::kJoinSoundFile)->isEnabled());
    EXPECT_FALSE(d->Control(COptionsDlg::kJoinSoundBrowse)->isEnabled());
    Box(d, COptionsDlg::kTextSound)->click();
    EXPECT_TRUE(Field(d, COptionsDlg::kTextSoundFile)->isEnabled());
    program_->playJoinSound = true;
    ClickOk(d);
    const CIni ini(SettingsPath());
    EXPECT_EQ(ini.GetString("host", "playsound"), "0");
    EXPECT_EQ(ini.GetString("host", "playtextsound"), "1");
    EXPECT_EQ(ini.GetString("options", "connectonstartup"), "0");
    EXPECT_EQ(ini.GetString("host", "soundfile"), "/s/join.wav");
    EXPECT_FALSE(program_->playJoinSound);
    EXPECT_TRUE(program_->playTextSound);
}

TEST_F(OptionsDialogTest, CancelWritesNothing) {
    COptionsDlg* d = OpenOptions();
    ASSERT_NE(d, nullptr);
    Field(d, COptionsDlg::kName)->setText("Player1");
    Field(d, COptionsDlg::kProgram)->setText("/x");
    Box(d, COptionsDlg::kConnectOnStartup)->click();
    d->ControlAs<QPushButton>(CDialog::kIdCancel)->click();
    const CIni ini(SettingsPath());
    EXPECT_EQ(ini.GetString("options", "playername", "none"), "none");
    EXPECT_EQ(ini.GetString("options", "programpath", "none"), "none");
    EXPECT_EQ(ini.GetString("options", "connectonstartup", "none"), "none");
}

TEST_F(OptionsDialogTest, ChoosersFillTheFieldsAndACancelledOneLeavesThem) {
    QString answer = "/opt/volta/VOLTAW.EXE";
    QList<FileFilter> lastFilters;
    SetChooseFileHook([&](QWidget*, const QList<FileFilter>& filters, const QString&) {
        lastFilters = filters;
        return answer;
    });
    QString folderTitle;
    SetBrowseFolderHook([&](QWidget*, const QString& title) {
        folderTitle = title;
        return QStringLiteral("/home/p/snes");
    });
    COptionsDlg* d = OpenOptions();
    ASSERT_NE(d, nullptr);
    d->ControlAs<QPushButton>(COptionsDlg::kProgramBrowse)->click();
    EXPECT_EQ(Field(d, COptionsDlg::kProgram)->text(), answer);
    ASSERT_FALSE(lastFilters.isEmpty());
    EXPECT_EQ(lastFilters[0].patterns, QStringList{"VOLTAW.EXE"});
    d->ControlAs<QPushButton>(COptionsDlg::kRomFolderBrowse)->click();
    EXPECT_EQ(Field(d, COptionsDlg::kRomFolder)->text(), "/home/p/snes");
    EXPECT_EQ(folderTitle, "Select you SNES ROM directory.");

    Box(d, COptionsDlg::kJoinSound)->click();
    answer = "/s/ding.wav";
    d->ControlAs<QPushButton>(COptionsDlg::kJoinSoundBrowse)->click();
    EXPECT_EQ(Field(d, COptionsDlg::kJoinSoundFile)->text(), "/s/ding.wav");
    EXPECT_EQ(lastFilters[0].patterns, QStringList{"*.wav"});

    answer.clear();
    d->ControlAs<QPushButton>(COptionsDlg::kJoinSoundBrowse)->click();
    EXPECT_EQ(Field(d, COptionsDlg::kJoinSoundFile)->text(), "/s/ding.wav");
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
        QDeadlineTimer deadline(5000);
        while (!listed() && !deadline.hasExpired()) QTest::qWait(20);
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

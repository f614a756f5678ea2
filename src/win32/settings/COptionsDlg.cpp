#include "COptionsDlg.h"

#include "app/Program.h"
#include "platform/Choosers.h"
#include "resources/resource.h"
#include "settings/Options.h"

namespace khub::win32 {

COptionsDlg::COptionsDlg(Program& program, HWND owner)
    : CDialog(IDD_OPTIONS, owner), program_(program) {}

bool COptionsDlg::OnInitDialog() {
    LimitText(IDC_OPT_NAME, kOptionsNameLimit);
    for (int id : {IDC_OPT_PROGRAM, IDC_OPT_ROMS, IDC_OPT_JOIN_SOUND_FILE, IDC_OPT_TEXT_SOUND_FILE})
        LimitText(id, kOptionsPathLimit);
    const OptionsValues v = LoadOptions(program_);
    SetControlText(IDC_OPT_NAME, v.playerName);
    SetChecked(IDC_OPT_CONNECT, v.connectOnStartup);
    SetControlText(IDC_OPT_PROGRAM, v.programPath);
    SetControlText(IDC_OPT_ROMS, v.romPath);
    SetChecked(IDC_OPT_JOIN_SOUND, v.playJoinSound);
    SetControlText(IDC_OPT_JOIN_SOUND_FILE, v.joinSoundFile);
    SetChecked(IDC_OPT_TEXT_SOUND, v.playTextSound);
    SetControlText(IDC_OPT_TEXT_SOUND_FILE, v.textSoundFile);
    // The name is the nick on the server; it cannot change under a live connection.
    EnableControl(IDC_OPT_NAME, !program_.conn.receiveThreadRunning.load());
    FollowCheckBox(IDC_OPT_JOIN_SOUND, IDC_OPT_JOIN_SOUND_FILE, IDC_OPT_JOIN_SOUND_BROWSE);
    FollowCheckBox(IDC_OPT_TEXT_SOUND, IDC_OPT_TEXT_SOUND_FILE, IDC_OPT_TEXT_SOUND_BROWSE);
    return true;
}

void COptionsDlg::FollowCheckBox(int box, int field, int browse) {
    const bool on = IsChecked(box);
    EnableControl(field, on);
    EnableControl(browse, on);
}

void COptionsDlg::PutChosenPath(int field, const std::string& path) {
    if (path.empty()) return;
    SetControlText(field, path);
    program_.log.DebugLog("%s\r\n", path.c_str());
}

bool COptionsDlg::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return false;
    const std::vector<FileFilter> wave = {{"WAVE File", {"*.wav"}}};
    switch (id) {
        case IDC_OPT_JOIN_SOUND:
            FollowCheckBox(IDC_OPT_JOIN_SOUND, IDC_OPT_JOIN_SOUND_FILE, IDC_OPT_JOIN_SOUND_BROWSE);
            return true;
        case IDC_OPT_TEXT_SOUND:
            FollowCheckBox(IDC_OPT_TEXT_SOUND, IDC_OPT_TEXT_SOUND_FILE, IDC_OPT_TEXT_SOUND_BROWSE);
            return true;
        case IDC_OPT_PROGRAM_BROWSE:
            // The emulator may be a wrapper (a .bat) here, so every file may be chosen too.
            PutChosenPath(IDC_OPT_PROGRAM, ChooseFile(Hwnd(), {{"VOLTAW.EXE", {"VOLTAW.EXE"}},
                                                               {"All files", {"*.*"}}}));
            return true;
        case IDC_OPT_ROMS_BROWSE:
            PutChosenPath(IDC_OPT_ROMS, BrowseForFolder(Hwnd(), kRomFolderBrowseTitle));
            return true;
        case IDC_OPT_JOIN_SOUND_BROWSE:
            PutChosenPath(IDC_OPT_JOIN_SOUND_FILE, ChooseFile(Hwnd(), wave));
            return true;
        case IDC_OPT_TEXT_SOUND_BROWSE:
            PutChosenPath(IDC_OPT_TEXT_SOUND_FILE, ChooseFile(Hwnd(), wave));
            return true;
        default:
            return false;
    }
}

void COptionsDlg::OnOK() {
    OptionsValues v;
    v.playerName = ControlText(IDC_OPT_NAME);
    v.connectOnStartup = IsChecked(IDC_OPT_CONNECT);
    v.programPath = ControlText(IDC_OPT_PROGRAM);
    v.romPath = ControlText(IDC_OPT_ROMS);
    v.playJoinSound = IsChecked(IDC_OPT_JOIN_SOUND);
    v.joinSoundFile = ControlText(IDC_OPT_JOIN_SOUND_FILE);
    v.playTextSound = IsChecked(IDC_OPT_TEXT_SOUND);
    v.textSoundFile = ControlText(IDC_OPT_TEXT_SOUND_FILE);
    if (!SaveOptions(program_, v)) {
        program_.ui.ShowMessage(kInvalidPlayerNameText, BoxIcon::Error);
        return;
    }
    EndDialog(IDOK);
}

}  // namespace khub::win32

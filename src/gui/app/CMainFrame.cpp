#include "CMainFrame.h"

#include <QApplication>
#include <QMenu>
#include <QPainter>

#include "CAboutDlg.h"
#include "CDebugDlg.h"
#include "ProgramIcon.h"
#include "app/MainCommands.h"
#include "app/Program.h"
#include "framework/GuiThread.h"
#include "irc/Connection.h"
#include "lobby/CCreateGameDlg.h"
#include "lobby/CHostGameDlg.h"
#include "lobby/CJoinGameDlg.h"
#include "lobby/CViewList.h"
#include "lobby/Lobby.h"
#include "settings/COptionsDlg.h"
#include "transfer/CFileTransferDlg.h"

namespace khub::gui {

CMainFrame::CMainFrame(Program& program, QtUi& ui)
    : program_(program), ui_(ui), view_(new CViewList(program, this)) {
    // Every window of the program, boxes and choosers included, takes it from here.
    QApplication::setWindowIcon(ProgramIcon());
    SetView(view_);
    // Without a saved placement the window opens wide enough for its three columns.
    resize(3 * CViewList::kColumnWidth + 40, 320);
    LoadRegistrySettings(QStringLiteral("K-Hub"), QStringLiteral("K-Hub I"));
    view_->SetNotifyHandler([this](CListView::Notification n) {
        OnListNotify(n == CListView::Notification::DoubleClick);
    });
    ui_.SetHost(this);
}

CMainFrame::~CMainFrame() {
    ui_.SetHost(nullptr);
    for (auto& [id, window] : windows_) delete window.data();
}

void CMainFrame::OnCreate() {
    useToolbar_ = false;
    useStatusbar_ = false;
}

void CMainFrame::BuildMenu() {
    QMenu* file = AddPopup(QStringLiteral("&File"));
    AddMenuItem(file, menu::kConnect, QStringLiteral("&Connect"), true, QStringLiteral("Ctrl+C"));
    AddMenuItem(file, menu::kOptions, QStringLiteral("&Options..."), true,
                QStringLiteral("Ctrl+O"));
    file->addSeparator();
    AddMenuItem(file, menu::kExit, QStringLiteral("E&xit"), true, QStringLiteral("Ctrl+X"));
    QMenu* game = AddPopup(QStringLiteral("&Game"));
    AddMenuItem(game, menu::kCreate, QStringLiteral("&Create..."), false, QStringLiteral("Ctrl+H"));
    AddMenuItem(game, menu::kJoin, QStringLiteral("&Join"), false, QStringLiteral("Ctrl+J"));
    QMenu* help = AddPopup(QStringLiteral("&Help"));
    AddMenuItem(help, menu::kRules, QStringLiteral("&Rules"), true);
    AddMenuItem(help, menu::kAbout, QStringLiteral("&About"), true, QStringLiteral("Ctrl+A"));
}

std::vector<CWinApp::Accelerator> CMainFrame::AcceleratorTable() {
    return {
        {Qt::CTRL | Qt::Key_C, menu::kConnect},
        {Qt::CTRL | Qt::Key_O, menu::kOptions},
        {Qt::CTRL | Qt::Key_X, menu::kExit},
        {Qt::CTRL | Qt::Key_H, menu::kCreate},
        {Qt::CTRL | Qt::Key_J, menu::kJoin},
        {Qt::CTRL | Qt::Key_A, menu::kAbout},
        {Qt::SHIFT | Qt::Key_E, command::kKeyE},
        {Qt::SHIFT | Qt::Key_A, command::kKeyA},
        {Qt::SHIFT | Qt::Key_S, command::kKeyS},
        {Qt::SHIFT | Qt::Key_T, command::kKeyT},
        {Qt::SHIFT | Qt::Key_R, command::kKeyR},
        {Qt::SHIFT | Qt::Key_G, command::kKeyG},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_D, command::kDebugWindow},
    };
}

void CMainFrame::OnInitialUpdate() {
    SetMainTitle(QStringLiteral("K-Hub I - not connected"));
    view_->InitialUpdate();
    // On a first start this opens Options, which must appear over the frame, not where
    // the frame was before the window manager placed it.
    if (startup_) CallWhenOnScreen(startup_);
}

bool CMainFrame::OnCommand(int id) {
    if (id == menu::kExit) {
        close();
        return true;
    }
    if (id == command::kDebugWindow) {
        OpenWindow(WindowId::Debug);
        return true;
    }
    if (const std::optional<char> letter = KeySequenceLetter(id)) {
        KeyStep(*letter);
        return true;
    }
    return RunMainCommand(program_, id);
}

void CMainFrame::KeyStep(char letter) {
    if (keys_.Step(letter)) view_->SetBackgroundImage(SecretBackground());
}

QPixmap CMainFrame::SecretBackground() {
    // A tile of little controller buttons in the four face-button colours.
    QPixmap tile(64, 64);
    tile.fill(QColor(232, 232, 240));
    QPainter p(&tile);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QColor colors[] = {QColor(0, 146, 0), QColor(0, 0, 255), QColor(255, 0, 0),
                             QColor(255, 255, 0)};
    const QPoint centres[] = {{32, 14}, {14, 32}, {50, 32}, {32, 50}};
    for (int i = 0; i < 4; ++i) {
        p.setBrush(colors[i].lighter(160));
        p.drawEllipse(centres[i], 7, 7);
    }
    return tile;
}

void CMainFrame::OnListNotify(bool doubleClick) {
    lobby::GameListClick(program_, program_.games.SelectedIndex(), doubleClick);
}

void CMainFrame::OnDestroy() {
    // Every window goes with the frame; the game windows' own Cancel runs first.
    for (WindowId id : kWindowsClosedOnExit) {
        if (CDialog* window = Window(id)) window->close();
    }
    khub::RunExitSequence(program_);
    QCoreApplication::quit();
}

void CMainFrame::SetMainTitle(const QString& title) {
    AssertGuiThread("CMainFrame::SetMainTitle");
    setWindowTitle(title);
}

void CMainFrame::SetMenuItem(int menuId, const QString& text, bool enabled) {
    AssertGuiThread("CMainFrame::SetMenuItem");
    if (!text.isEmpty()) SetMenuItemText(menuId, text);
    EnableMenuItem(menuId, enabled);
}

CDialog* CMainFrame::Window(WindowId window) {
    AssertGuiThread("CMainFrame::Window");
    auto it = windows_.find(window);
    if (it == windows_.end() || !it->second || !it->second->isVisible()) return nullptr;
    return it->second.data();
}

void CMainFrame::OpenWindow(WindowId window) {
    AssertGuiThread("CMainFrame::OpenWindow");
    if (CDialog* open = Window(window)) {
        // One of each: a second request brings the open one to the front.
        open->raise();
        open->activateWindow();
        return;
    }
    CDialog* dialog = nullptr;
    bool modal = false;
    switch (window) {
        case WindowId::Main:
            return;
        case WindowId::Options:
            dialog = new COptionsDlg(program_, this);
            program_.windows.options = true;
            connect(dialog, &QDialog::finished, this, [this] { program_.windows.options = false; });
            modal = true;
            break;
        case WindowId::About:
            dialog = new CAboutDlg(program_, this);
            modal = true;
            break;
        case WindowId::Debug: {
            auto* debug = new CDebugDlg(program_);
            debug->ShowBacklog(ui_.DebugBacklog());
            program_.windows.debug = true;
            dialog = debug;
            break;
        }
        case WindowId::CreateGame:
            dialog = new CCreateGameDlg(program_, this);
            break;
        case WindowId::HostGame:
            dialog = new CHostGameDlg(program_);
            break;
        case WindowId::JoinGame:
            dialog = new CJoinGameDlg(program_);
            break;
        case WindowId::FileTransfer:
            dialog = new CFileTransferDlg(program_);
            break;
    }
    windows_[window] = dialog;
    if (modal) {
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->DoModal();
    } else {
        dialog->DoModeless();
    }
}

void CMainFrame::CloseWindow(WindowId window) {
    AssertGuiThread("CMainFrame::CloseWindow");
    if (CDialog* dialog = Window(window)) dialog->CloseWithoutCancel();
}

}  // namespace khub::gui

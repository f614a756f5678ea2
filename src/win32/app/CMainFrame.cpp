#include "CMainFrame.h"

#include "CAboutDlg.h"
#include "CDebugDlg.h"
#include "app/Program.h"
#include "irc/Connection.h"
#include "lobby/CCreateGameDlg.h"
#include "lobby/CHostGameDlg.h"
#include "lobby/CJoinGameDlg.h"
#include "resources/resource.h"
#include "settings/COptionsDlg.h"
#include "transfer/CFileTransferDlg.h"

namespace khub::win32 {

// The resource script names the core's ids by number.
static_assert(ID_APP_EXIT == menu::kExit && ID_HELP_ABOUT == menu::kAbout &&
              ID_HELP_RULES == menu::kRules && ID_FILE_CONNECT == menu::kConnect &&
              ID_FILE_OPTIONS == menu::kOptions && ID_GAME_CREATE == menu::kCreate &&
              ID_GAME_JOIN == menu::kJoin);
static_assert(ID_KEY_E == command::kKeyE && ID_KEY_G == command::kKeyG &&
              ID_DEBUG_WINDOW == command::kDebugWindow);
static_assert(
    IDC_HOST_CHAT_LOG == control::kHostChatLog && IDC_JOIN_CHAT_LOG == control::kJoinChatLog &&
    IDC_HOST_CHAT_EDIT == control::kHostChatEdit && IDC_JOIN_CHAT_EDIT == control::kJoinChatEdit &&
    IDC_START == control::kStart && IDC_SELECT == control::kSelect &&
    IDC_DOWNLOAD == control::kDownload && IDC_KICK == control::kKick && IDOK == control::kSend &&
    IDCANCEL == control::kCancel && IDC_JOIN_PROGRESS == control::kJoinProgress &&
    IDC_TRANSFER_STATUS == control::kTransferStatus && IDC_GAME_NAME == control::kCreateGameName &&
    IDC_TRANSFER_PROGRESS == control::kTransferProgress &&
    IDC_TRANSFER_DETAIL == control::kTransferDetail && IDC_DEBUG_LOG == control::kDebugLog);
static_assert(IDC_ABOUT_SITE == about::kSite && IDC_ABOUT_MIRROR == about::kMirror &&
              IDC_ABOUT_FORUM == about::kForum && IDC_ABOUT_EMULATOR == about::kEmulatorSite);

namespace {
constexpr UINT kRunStartup = WM_APP + 20;
constexpr UINT kFreeRetired = WM_APP + 21;
constexpr int kViewId = 1;
}  // namespace

CMainFrame::CMainFrame(Program& program, Win32Ui& ui) : program_(program), ui_(ui), view_(program) {
    LoadRegistrySettings(L"K-Hub\\K-Hub I");
    view_.SetNotifyHandler([this](CListView::Notification n) {
        OnListNotify(n == CListView::Notification::DoubleClick);
    });
    ui_.SetHost(this);
}

CMainFrame::~CMainFrame() {
    ui_.SetHost(nullptr);
}

void CMainFrame::OnCreate() {
    useToolbar_ = false;
    useStatusbar_ = false;
}

HWND CMainFrame::CreateView(HWND parent) {
    HWND view = view_.Create(parent, kViewId);
    // Without a saved placement the window opens wide enough for its three columns.
    if (!PlacementRestored()) {
        const int width = ScaleForWindow(parent, 3 * CViewList::kColumnWidth + 40);
        const int height = ScaleForWindow(parent, 320);
        SetWindowPos(parent, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    }
    return view;
}

void CMainFrame::OnInitialUpdate() {
    SetMainTitle(std::string(kProgramTitle) + " - not connected");
    view_.InitialUpdate();
    // On a first start this opens Options, which must appear over the frame as placed.
    if (startup_) PostMessageW(Hwnd(), kRunStartup, 0, 0);
}

bool CMainFrame::OnMessage(UINT message, WPARAM, LPARAM, LRESULT* result) {
    switch (message) {
        case kRunStartup:
            if (startup_) startup_();
            *result = 0;
            return true;
        case kFreeRetired:
            retired_.clear();
            *result = 0;
            return true;
        default:
            return false;
    }
}

bool CMainFrame::OnCommand(int id) {
    if (id == menu::kExit) {
        PostMessageW(Hwnd(), WM_CLOSE, 0, 0);
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

LRESULT CMainFrame::OnNotify(const NMHDR& header) {
    if (header.hwndFrom == view_.Hwnd()) view_.OnNotify(header);
    return 0;
}

void CMainFrame::KeyStep(char letter) {
    if (!keys_.Step(letter)) return;
    view_.SetBackgroundBitmap(SecretBackground(GetSystemMetrics(SM_CXVIRTUALSCREEN),
                                               GetSystemMetrics(SM_CYVIRTUALSCREEN)));
}

HBITMAP CMainFrame::SecretBackground(int width, int height) {
    // A tile of little controller buttons in the four face-button colours.
    constexpr int kTile = 64;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP tile = CreateCompatibleBitmap(screen, kTile, kTile);
    HGDIOBJ old = SelectObject(dc, tile);
    const RECT tileRect{0, 0, kTile, kTile};
    HBRUSH ground = CreateSolidBrush(RGB(232, 232, 240));
    FillRect(dc, &tileRect, ground);
    DeleteObject(ground);
    const COLORREF colors[] = {RGB(102, 233, 102), RGB(102, 102, 255), RGB(255, 102, 102),
                               RGB(255, 255, 102)};
    const POINT centres[] = {{32, 14}, {14, 32}, {50, 32}, {32, 50}};
    SelectObject(dc, GetStockObject(NULL_PEN));
    for (int i = 0; i < 4; ++i) {
        HBRUSH brush = CreateSolidBrush(colors[i]);
        HGDIOBJ previous = SelectObject(dc, brush);
        Ellipse(dc, centres[i].x - 7, centres[i].y - 7, centres[i].x + 8, centres[i].y + 8);
        SelectObject(dc, previous);
        DeleteObject(brush);
    }
    // The tile repeated over the whole picture.
    HBITMAP picture = CreateCompatibleBitmap(screen, width, height);
    SelectObject(dc, picture);
    HBRUSH pattern = CreatePatternBrush(tile);
    const RECT all{0, 0, width, height};
    FillRect(dc, &all, pattern);
    DeleteObject(pattern);
    SelectObject(dc, old);
    DeleteObject(tile);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return picture;
}

void CMainFrame::OnListNotify(bool doubleClick) {
    lobby::GameListClick(program_, program_.games.SelectedIndex(), doubleClick);
}

void CMainFrame::OnDestroy() {
    // Every window goes with the frame; the game windows' own Cancel runs first.
    for (WindowId id : kWindowsClosedOnExit) {
        if (CDialog* window = Window(id)) SendMessageW(window->Hwnd(), WM_CLOSE, 0, 0);
    }
    RunExitSequence(program_);
}

void CMainFrame::SetMainTitle(const std::string& title) {
    SetTitle(title);
}

void CMainFrame::SetMenuItem(int menuId, const std::string& text, bool enabled) {
    if (!text.empty()) SetMenuItemText(menuId, text);
    EnableMenuItem(menuId, enabled);
}

CDialog* CMainFrame::Window(WindowId window) {
    auto it = windows_.find(window);
    if (it == windows_.end() || !it->second || !it->second->IsOpen()) return nullptr;
    return it->second.get();
}

std::unique_ptr<CDialog> CMainFrame::MakeWindow(WindowId window, bool* modal) {
    *modal = false;
    switch (window) {
        case WindowId::Main:
            return nullptr;
        case WindowId::Options: {
            auto dialog = std::make_unique<COptionsDlg>(program_, Hwnd());
            program_.windows.options = true;
            dialog->SetClosedHandler([this] { program_.windows.options = false; });
            *modal = true;
            return dialog;
        }
        case WindowId::About:
            *modal = true;
            return std::make_unique<CAboutDlg>(program_, Hwnd());
        case WindowId::Debug: {
            auto debug = std::make_unique<CDebugDlg>(program_, ui_.DebugBacklog());
            program_.windows.debug = true;
            debug->SetClosedHandler([this] { program_.windows.debug = false; });
            return debug;
        }
        case WindowId::CreateGame:
            return std::make_unique<CCreateGameDlg>(program_, Hwnd());
        case WindowId::HostGame:
            return std::make_unique<CHostGameDlg>(program_);
        case WindowId::JoinGame:
            return std::make_unique<CJoinGameDlg>(program_);
        case WindowId::FileTransfer:
            return std::make_unique<CFileTransferDlg>(program_);
    }
    return nullptr;
}

void CMainFrame::OpenWindow(WindowId window) {
    if (CDialog* open = Window(window)) {
        // One of each: a second request brings the open one to the front.
        if (IsIconic(open->Hwnd())) ShowWindow(open->Hwnd(), SW_RESTORE);
        SetForegroundWindow(open->Hwnd());
        return;
    }
    bool modal = false;
    std::unique_ptr<CDialog> dialog = MakeWindow(window, &modal);
    if (!dialog) return;
    if (auto it = windows_.find(window); it != windows_.end() && it->second) {
        retired_.push_back(std::move(it->second));
        PostMessageW(Hwnd(), kFreeRetired, 0, 0);
    }
    CDialog* shown = dialog.get();
    windows_[window] = std::move(dialog);
    if (modal) {
        shown->DoModal();
    } else {
        shown->DoModeless();
    }
}

void CMainFrame::CloseWindow(WindowId window) {
    if (CDialog* dialog = Window(window)) dialog->CloseWithoutCancel();
}

}  // namespace khub::win32

#include "CThemesApp.h"

#include <commctrl.h>
#include <objbase.h>

#include "CMainFrame.h"
#include "app/MainCommands.h"
#include "app/Program.h"
#include "app/Startup.h"
#include "platform/ColorPane.h"
#include "platform/SingleInstance.h"
#include "platform/Text.h"
#include "resources/resource.h"

namespace khub::win32 {

namespace {
void ShowStartupBox(const std::string& text, UINT icon) {
    MessageBoxW(nullptr, Wide(text).c_str(), Wide(kProgramTitle).c_str(), MB_OK | icon);
}
}  // namespace

CThemesApp::CThemesApp() {
    // The folder browser and the list's picture background need COM on this thread.
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)))
        ShowStartupBox("Failed to initialize the COM libraries!", MB_ICONEXCLAMATION);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS |
                                                       ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
}

CThemesApp::~CThemesApp() {
    frame_.reset();
    program_.reset();
    CoUninitialize();
}

bool CThemesApp::InitInstance() {
    const SettingsLocation where = SystemSettingsLocation(ProcessEnvironment());
    const std::string lockPath = LockFilePathFor(where.filePath);
    guard_ = std::make_unique<SingleInstance>(SingleInstance::Acquire(lockPath));
    // A second copy ends at once and leaves the running one undisturbed.
    if (guard_->state() == SingleInstance::State::AlreadyRunning) return false;

    if (!LoadRichEdit()) {
        ShowStartupBox("CMainFrameDlg::CRichView  Failed to load RICHED32.DLL", MB_ICONWARNING);
    }
    program_ = std::make_unique<Program>(ui_, loop_, where.filePath);
    frame_ = std::make_unique<CMainFrame>(*program_, ui_);
    frame_->SetStartupHook([this, where] { RunDesktopStartup(*program_, where); });
    SetProgramIcon(IDI_KHUB);
    if (!frame_->Create(IDR_MAINFRAME)) {
        ShowStartupBox("ERROR: Failed to create Frame window", MB_ICONERROR);
        return false;
    }
    SetAccelerators(frame_->Hwnd(),
                    LoadAcceleratorsW(ResourceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME)));
    return true;
}

}  // namespace khub::win32

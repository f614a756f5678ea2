#include "CThemesApp.h"

#include <cstdio>
#include <filesystem>

#include "CMainFrame.h"
#include "app/MainCommands.h"
#include "app/Program.h"
#include "app/Startup.h"
#include "irc/Connection.h"
#include "platform/SingleInstance.h"

namespace khub::gui {

CThemesApp::CThemesApp(int& argc, char** argv) : CWinApp(argc, argv) {
    QApplication::setApplicationName(QStringLiteral("K-Hub I"));
    QApplication::setOrganizationName(QStringLiteral("K-Hub"));
    QApplication::setApplicationVersion(QStringLiteral(KHUB_VERSION));
    // Lets the desktop match the windows with the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("k-hub"));
}

CThemesApp::~CThemesApp() {
    frame_.reset();
    program_.reset();
}

bool CThemesApp::InitInstance() {
    const SettingsLocation where = SystemSettingsLocation(ProcessEnvironment());
    const std::string lockPath = LockFilePathFor(where.filePath);
    guard_ = std::make_unique<SingleInstance>(SingleInstance::Acquire(lockPath));
    switch (guard_->state()) {
        case SingleInstance::State::AlreadyRunning:
            // The copy that runs stays undisturbed; this one goes without a window.
            std::fprintf(stderr, "k-hub: K-Hub I is already running on the settings in \"%s\".\n",
                         std::filesystem::path(where.filePath).parent_path().string().c_str());
            return false;
        case SingleInstance::State::Unavailable:
            std::fprintf(stderr,
                         "k-hub: warning: cannot use the lock file \"%s\" (%s); a second copy "
                         "would not be stopped.\n",
                         lockPath.c_str(), guard_->error().c_str());
            break;
        case SingleInstance::State::Acquired:
            break;
    }

    program_ = std::make_unique<Program>(ui_, loop_, where.filePath);
    ConnectIrcLinks(*program_);
    frame_ = std::make_unique<CMainFrame>(*program_, ui_);
    SetAccelerators(frame_.get(), CMainFrame::AcceleratorTable());
    frame_->SetStartupHook([this, where] { RunDesktopStartup(*program_, where); });
    frame_->Create();
    return true;
}

}  // namespace khub::gui

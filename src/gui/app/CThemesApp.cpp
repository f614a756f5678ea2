#include "CThemesApp.h"

#include "CMainFrame.h"
#include "CorePending.h"
#include "app/Program.h"

namespace khub::gui {

CThemesApp::CThemesApp(int& argc, char** argv) : CWinApp(argc, argv) {
    QApplication::setApplicationName(QStringLiteral("K-Hub I"));
    QApplication::setOrganizationName(QStringLiteral("K-Hub"));
    QApplication::setApplicationVersion(QStringLiteral(KHUB_VERSION));
}

CThemesApp::~CThemesApp() {
    frame_.reset();
    program_.reset();
}

bool CThemesApp::InitInstance() {
    const std::string settingsPath = pending::LocateSettingsFile();
    program_ = std::make_unique<Program>(ui_, loop_, settingsPath);
    frame_ = std::make_unique<CMainFrame>(*program_, ui_);
    std::vector<Accelerator> table;
    for (const auto& [keys, id] : CMainFrame::AcceleratorTable()) table.push_back({keys, id});
    SetAccelerators(frame_.get(), std::move(table));
    frame_->SetStartupHook([this] {
        switch (pending::RunStartup(*program_)) {
            case pending::StartupAction::OpenOptions:
                frame_->OpenWindow(WindowId::Options);
                break;
            case pending::StartupAction::Connect:
                pending::StartConnect(*program_);
                break;
            case pending::StartupAction::StayNotConnected:
                break;
        }
    });
    frame_->Create();
    return true;
}

}  // namespace khub::gui

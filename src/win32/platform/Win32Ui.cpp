#include "Win32Ui.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <shellapi.h>

#include <algorithm>
#include <thread>

#include "ColorPane.h"
#include "Text.h"
#include "app/Program.h"
#include "framework/CDialog.h"

#undef PlaySound  // the port's method below, not the multimedia macro

namespace khub::win32 {

void Win32Ui::OnGuiThread(std::function<void()> f) {
    if (loop_.InLoopThread()) {
        f();
    } else {
        loop_.Post(std::move(f));
    }
}

CDialog* Win32Ui::Dialog(WindowId window) {
    return host_ ? host_->Window(window) : nullptr;
}

HWND Win32Ui::FindControl(WindowId window, int controlId) {
    CDialog* dialog = Dialog(window);
    return dialog ? dialog->Control(controlId) : nullptr;
}

void Win32Ui::SetMainTitle(const std::string& title) {
    OnGuiThread([this, title] {
        if (host_) host_->SetMainTitle(title);
    });
}

void Win32Ui::SetMenuItem(int menuId, const std::string& text, bool enabled) {
    OnGuiThread([this, menuId, text, enabled] {
        if (host_) host_->SetMenuItem(menuId, text, enabled);
    });
}

void Win32Ui::OpenWindow(WindowId window) {
    OnGuiThread([this, window] {
        if (host_) host_->OpenWindow(window);
    });
}

void Win32Ui::CloseWindow(WindowId window) {
    OnGuiThread([this, window] {
        if (host_) host_->CloseWindow(window);
    });
}

void Win32Ui::SetWindowTitle(WindowId window, const std::string& title) {
    OnGuiThread([this, window, title] {
        if (CDialog* dialog = Dialog(window)) SetWindowTextW(dialog->Hwnd(), ShownText(title).c_str());
    });
}

void Win32Ui::EnableControl(WindowId window, int controlId, bool enabled) {
    OnGuiThread([this, window, controlId, enabled] {
        if (CDialog* dialog = Dialog(window)) dialog->EnableControl(controlId, enabled);
    });
}

void Win32Ui::SetControlText(WindowId window, int controlId, const std::string& text) {
    OnGuiThread([this, window, controlId, text] {
        if (HWND control = FindControl(window, controlId))
            SetWindowTextW(control, ShownText(text).c_str());
    });
}

void Win32Ui::AppendText(WindowId window, int controlId,
                         const std::vector<ColorStretch>& stretches) {
    // The debug log is written from every thread; its backlog is kept here under a lock.
    if (window == WindowId::Debug) {
        std::lock_guard lock(backlogMutex_);
        backlog_.push_back(stretches);
        if (backlog_.size() > kDebugBacklog) backlog_.pop_front();
    }
    OnGuiThread([this, window, controlId, stretches] {
        AppendColored(FindControl(window, controlId), stretches);
    });
}

std::vector<std::vector<ColorStretch>> Win32Ui::DebugBacklog() const {
    std::lock_guard lock(backlogMutex_);
    return {backlog_.begin(), backlog_.end()};
}

void Win32Ui::ShowProgress(WindowId window, int controlId, bool visible) {
    OnGuiThread([this, window, controlId, visible] {
        if (HWND bar = FindControl(window, controlId)) ShowWindow(bar, visible ? SW_SHOW : SW_HIDE);
    });
}

void Win32Ui::SetProgress(WindowId window, int controlId, int position) {
    OnGuiThread([this, window, controlId, position] {
        if (HWND bar = FindControl(window, controlId))
            SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(std::clamp(position, 0, 100)), 0);
    });
}

void Win32Ui::ShowMessage(const std::string& text, BoxIcon icon) {
    OnGuiThread([this, text, icon] {
        UINT style = MB_OK | MB_SETFOREGROUND;
        switch (icon) {
            case BoxIcon::Error:
                style |= MB_ICONERROR;
                break;
            case BoxIcon::Warning:
                style |= MB_ICONWARNING;
                break;
            case BoxIcon::Information:
                style |= MB_ICONINFORMATION;
                break;
        }
        // Under an open modal dialog (Options) the box belongs to the dialog: one owned
        // by the disabled main window would enable it again when it closes.
        HWND owner = host_ ? host_->MainWindow() : nullptr;
        if (owner && !IsWindowEnabled(owner)) owner = GetLastActivePopup(owner);
        // Shown and left: the lobby goes on while the box waits for its OK.
        std::thread([owner, message = ShownText(text), style] {
            MessageBoxW(owner, message.c_str(), Wide(kProgramTitle).c_str(), style);
        }).detach();
    });
}

void Win32Ui::PlaySound(const std::string& file) {
    OnGuiThread([file] {
        if (file.empty()) return;
        ::PlaySoundW(Wide(file).c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT);
    });
}

void Win32Ui::OpenAddress(const std::string& url) {
    OnGuiThread([url] {
        ShellExecuteW(nullptr, L"open", Wide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    });
}

}  // namespace khub::win32

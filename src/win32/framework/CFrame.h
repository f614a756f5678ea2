#pragma once
// A frame window: a menu bar whose items carry command ids, one view filling the client
// area, an optional status bar, and a placement that survives a restart (in the current
// user's registry).

#include <windows.h>

#include <string>

namespace khub::win32 {

class CFrame {
  public:
    CFrame();
    virtual ~CFrame();
    CFrame(const CFrame&) = delete;
    CFrame& operator=(const CFrame&) = delete;

    // Builds the window with its menu and the program's icon: OnCreate, CreateView, the
    // saved placement, then shows it and runs OnInitialUpdate. False when the window could
    // not be made.
    bool Create(int menuId);

    // The placement lives under HKEY_CURRENT_USER\Software\<key>\Frame Settings.
    void LoadRegistrySettings(const std::wstring& key) { registryKey_ = key; }

    HWND Hwnd() const { return hwnd_; }
    HWND View() const { return view_; }

    void SetTitle(const std::string& title);
    // Keeps the key text after a tab ("&Connect\tCtrl+C").
    void SetMenuItemText(int id, const std::string& text);
    void EnableMenuItem(int id, bool enabled);
    bool IsMenuItemEnabled(int id) const;

    void ShowStatusbar(bool show);
    bool StatusbarShown() const { return statusbarShown_; }
    bool ToolbarShown() const { return toolbarShown_; }

  protected:
    // Switch off optional parts here (toolbar, status bar).
    virtual void OnCreate() {}
    // Makes the view as a child of the frame; it fills the client area.
    virtual HWND CreateView(HWND parent) = 0;
    virtual void OnInitialUpdate() {}
    virtual bool OnCommand(int id) {
        (void)id;
        return false;
    }
    // Notifications of the view and other children.
    virtual LRESULT OnNotify(const NMHDR& header) {
        (void)header;
        return 0;
    }
    // The window is going away (after its placement was saved).
    virtual void OnDestroy() {}
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
        (void)message;
        (void)wParam;
        (void)lParam;
        (void)result;
        return false;
    }

    // True when the window took its place and size from the registry.
    bool PlacementRestored() const { return placementRestored_; }

    bool useToolbar_ = true;
    bool useStatusbar_ = true;

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void RestorePlacement(int* x, int* y, int* width, int* height);
    void SavePlacement();
    void ResizeView();

    HWND hwnd_ = nullptr;
    HWND view_ = nullptr;
    HWND statusbar_ = nullptr;
    std::wstring registryKey_;
    bool toolbarShown_ = false;
    bool statusbarShown_ = false;
    bool placementRestored_ = false;
    bool destroyed_ = false;
};

}  // namespace khub::win32

#pragma once
// A dialog from a template, with controls addressed by id, modal or modeless, and the
// hooks the program's windows override: initialisation, commands, notifications, OK and
// Cancel. Closing the window (close box, Escape, a close request) runs Cancel.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace khub::win32 {

class CDialog {
  public:
    CDialog(int templateId, HWND owner);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Application-modal without a nested loop: the owner is disabled while the dialog is
    // open and the lobby keeps running underneath; the result arrives through OnOK/OnCancel.
    void DoModal();
    // Modeless: shown and left to itself.
    void DoModeless();

    // Ends the dialog without running any hook.
    void EndDialog(int result);
    // Closes the window for someone who already ran the Cancel steps (the core).
    void CloseWithoutCancel() { EndDialog(IDCANCEL); }

    HWND Hwnd() const { return hwnd_; }
    bool IsOpen() const { return hwnd_ != nullptr; }
    int Result() const { return result_; }
    HWND Control(int id) const { return hwnd_ ? GetDlgItem(hwnd_, id) : nullptr; }

    std::string ControlText(int id) const;
    void SetControlText(int id, const std::string& text);
    bool IsChecked(int id) const;
    void SetChecked(int id, bool checked);
    bool IsControlEnabled(int id) const;
    // Enables or disables a control; the line set by FocusWhenEnabled takes the focus
    // when it becomes enabled.
    void EnableControl(int id, bool enabled);
    void LimitText(int id, std::size_t characters);
    // The line a person types into, not the first control in the tab order.
    void FocusWhenEnabled(int id) { focusWhenEnabled_ = id; }

    // How a control follows the window when it is resized.
    enum Anchor : unsigned {
        kMoveX = 1,  // keeps its distance to the right edge
        kMoveY = 2,  // keeps its distance to the bottom edge
        kGrowX = 4,  // keeps both horizontal distances
        kGrowY = 8,  // keeps both vertical distances
    };
    void SetAnchor(int id, unsigned anchor);

    // Runs once the window is gone, however it closed.
    void SetClosedHandler(std::function<void()> handler) { closed_ = std::move(handler); }

    // The dialog object behind a window, or null.
    static CDialog* FromWindow(HWND window);

  protected:
    // Runs once the controls exist, before the window is shown.
    virtual bool OnInitDialog() { return true; }
    // A button was clicked (BN_CLICKED) or an edit reported (EN_CHANGE...). True when
    // handled.
    virtual bool OnCommand(int id, int code) {
        (void)id;
        (void)code;
        return false;
    }
    virtual bool OnNotify(const NMHDR& header) {
        (void)header;
        return false;
    }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // Messages the hooks above do not cover; true when handled (result in *result).
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
        (void)message;
        (void)wParam;
        (void)lParam;
        (void)result;
        return false;
    }

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void Create();
    void CentreOnOwner();
    void Layout();

    struct Anchored {
        int id;
        unsigned anchor;
        RECT start;  // in client coordinates of the window's first size
    };

    int templateId_;
    HWND owner_;
    HWND hwnd_ = nullptr;
    bool modal_ = false;
    bool ending_ = false;
    int result_ = 0;
    int focusWhenEnabled_ = 0;
    bool pendingFocus_ = false;  // the line was enabled while the window was inactive
    SIZE startClient_{};
    std::vector<Anchored> anchors_;
    std::function<void()> closed_;
};

}  // namespace khub::win32

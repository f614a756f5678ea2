#pragma once
// The application object: runs the initialisation hook and the message loop. The loop
// turns keys pressed in the frame into the frame's accelerator commands before any child
// (the game list) sees them, and gives the modeless dialogs their keyboard handling (Tab,
// Enter on the default button, Escape).

#include <windows.h>

namespace khub::win32 {

class CWinApp {
  public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Runs InitInstance and, when it agrees, the message loop. Returns the exit code.
    int Run();

    // An accelerator table belongs to one frame: only keys pressed in its window count.
    void SetAccelerators(HWND frame, HACCEL table);

    static CWinApp* Instance() { return instance_; }
    HINSTANCE ResourceHandle() const { return module_; }
    // The icon every window of the program shows (null: the system's).
    void SetProgramIcon(int iconId);
    HICON ProgramIcon(bool small) const { return small ? smallIcon_ : largeIcon_; }

  protected:
    // Decides whether the program runs; false ends it with exit code -1.
    virtual bool InitInstance() { return true; }

  private:
    bool PreTranslate(MSG& message);

    static CWinApp* instance_;
    HINSTANCE module_;
    HWND accelFrame_ = nullptr;
    HACCEL accelerators_ = nullptr;
    HICON largeIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
};

}  // namespace khub::win32

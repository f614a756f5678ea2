// k-hub.exe: the Windows desktop program.

#include <windows.h>

#include "app/CThemesApp.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    khub::win32::CThemesApp app;
    return app.Run();
}

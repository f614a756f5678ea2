#pragma once
// Text crossing between the core (byte strings, UTF-8 where it can be) and the wide
// Windows calls. Paths and addresses go through Wide (UTF-8, from the core's platform
// layer); what a window shows goes through ShownText.

#include <windows.h>

#include <string>

#include "platform/win32/WideText.h"

namespace khub::win32 {

// UTF-8 when the bytes are UTF-8; otherwise each byte as one Latin-1 character, so that
// nothing a server sends turns into a row of replacement marks.
std::wstring ShownText(const std::string& text);

// A window's whole text (an edit line, a label) as UTF-8.
std::string WindowTextUtf8(HWND window);

}  // namespace khub::win32

#pragma once
// Text crossing between the core (byte strings, UTF-8 where it can be) and the wide
// Windows calls.

#include <windows.h>

#include <string>

namespace khub::win32 {

// UTF-8 when the bytes are UTF-8; otherwise each byte as one Latin-1 character, so that
// nothing a server sends turns into a row of question marks.
std::wstring Wide(const std::string& text);
std::string Utf8(const std::wstring& text);

// A window's whole text (an edit line, a label) as UTF-8.
std::string WindowTextUtf8(HWND window);

}  // namespace khub::win32

#pragma once
// UTF-8 inside the program, UTF-16 at every Win32 call.

#include <windows.h>

#include <string>

namespace khub::win32 {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const wchar_t* wide, std::size_t length);
std::string Utf8(const std::wstring& wide);
// The system's text for an error number, without the trailing line break.
std::string ErrorText(DWORD error);

}  // namespace khub::win32

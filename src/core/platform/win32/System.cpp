#include "platform/System.h"

#include <windows.h>

#include "WideText.h"

namespace khub::platform {

// Windows raises no signal for a failed write.
void IgnoreWriteFailureSignals() {}

std::optional<std::string> EnvironmentVariable(const char* name) {
    std::wstring wideName = win32::Wide(name);
    DWORD n = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (n == 0) return std::nullopt;
    std::wstring value(n, L'\0');
    n = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), n);
    value.resize(n);
    return win32::Utf8(value);
}

std::optional<std::string> HomeFolderOfUser() {
    return std::nullopt;
}

bool IsVistaOrHigher() {
    // GetVersionEx answers by the program's manifest; the kernel's own call tells the truth.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    auto rtlGetVersion = ntdll ? reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(
                                     ::GetProcAddress(ntdll, "RtlGetVersion")))
                               : nullptr;
    if (!rtlGetVersion || rtlGetVersion(&info) != 0) return false;
    return info.dwMajorVersion >= 6;
}

bool IsElevated() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    bool elevated =
        ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
        elevation.TokenIsElevated != 0;
    ::CloseHandle(token);
    return elevated;
}

std::string ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    std::size_t slash = path.find_last_of(L"\\/");
    return win32::Utf8(slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1));
}

}  // namespace khub::platform

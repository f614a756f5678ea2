// The emulator stand-in of the Windows play tests, a Windows program: it writes what it was
// started with into its own folder, as UTF-8 lines: "argv" (the arguments as Windows
// splits them, argv[0] included), "cwd" (its working folder) and "rom" (a copy of the file
// named by its fourth argument, the ROM path).
// Each file appears whole, "argv" last.

#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

bool WriteWhole(const std::wstring& path, const std::string& bytes) {
    std::wstring temp = path + L".tmp";
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size() &&
           MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::string ReadWhole(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "(cannot open)";
    std::string bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(h, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    CloseHandle(h);
    return bytes;
}

}  // namespace

int main() {
    wchar_t self[MAX_PATH];
    DWORD len = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self, len);
    folder.erase(folder.find_last_of(L'\\') + 1);

    wchar_t cwd[MAX_PATH];
    DWORD cwdLen = GetCurrentDirectoryW(MAX_PATH, cwd);

    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::string args;
    for (int i = 0; i < argc; ++i) args += Utf8(argv[i]) + "\n";

    bool ok = WriteWhole(folder + L"cwd", Utf8(std::wstring(cwd, cwdLen)) + "\n") &&
              WriteWhole(folder + L"rom", argc > 3 ? ReadWhole(argv[3]) : "(no ROM argument)") &&
              WriteWhole(folder + L"argv", args);
    LocalFree(argv);
    return ok ? 0 : 1;
}

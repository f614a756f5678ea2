// The emulator stand-in of the Windows play tests, a Windows program: it writes what it was
// started with into its own folder, as UTF-8 lines: "argv" (the arguments as Windows
// splits them, argv[0] included), "cwd" (its working folder) and "rom" (a copy of the file
// named by its fourth argument, the ROM path) and "show" (how it was asked to show its
// window: the ShowWindow number, or -1 when the starter left that to the system).
// Each file appears whole, "argv" last.

#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string Utf8(const fs::path& path) {
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// Written under another name first: whoever waits for the file never reads half of it.
bool WriteWhole(const fs::path& path, const std::string& bytes) {
    fs::path temp = path;
    temp += ".tmp";
    if (!(std::ofstream(temp, std::ios::binary) << bytes)) return false;
    std::error_code ec;
    fs::rename(temp, path, ec);
    return !ec;
}

}  // namespace

int main() {
    wchar_t self[MAX_PATH];
    fs::path folder(std::wstring(self, GetModuleFileNameW(nullptr, self, MAX_PATH)));
    folder = folder.parent_path();
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::string args;
    for (int i = 0; i < argc; ++i) args += Utf8(argv[i]) + "\n";
    std::ifstream rom(argc > 3 ? fs::path(argv[3]) : fs::path(), std::ios::binary);
    std::string romBytes(std::istreambuf_iterator<char>(rom), {});
    STARTUPINFOW startup{};
    GetStartupInfoW(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    bool ok = WriteWhole(folder / "cwd", Utf8(fs::current_path()) + "\n") &&
              WriteWhole(folder / "show", std::to_string(show) + "\n") &&
              WriteWhole(folder / "rom", romBytes) && WriteWhole(folder / "argv", args);
    LocalFree(argv);
    return ok ? 0 : 1;
}

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

int main() {
    auto utf8 = [](const fs::path& path) {
        std::u8string text = path.u8string();
        return std::string(text.begin(), text.end());
    };
    wchar_t self[MAX_PATH];
    fs::path folder(std::wstring(self, GetModuleFileNameW(nullptr, self, MAX_PATH)));
    folder = folder.parent_path();
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::string args;
    for (int i = 0; i < argc; ++i) args += utf8(argv[i]) + "\n";
    std::ifstream rom(argc > 3 ? fs::path(argv[3]) : fs::path(), std::ios::binary);
    std::string romBytes(std::istreambuf_iterator<char>(rom), {});
    STARTUPINFOW startup{};
    GetStartupInfoW(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    auto write = [&](const char* name, const std::string& bytes) {
        return static_cast<bool>(std::ofstream(folder / name, std::ios::binary) << bytes);
    };
    // "argv" under another name first: whoever waits for it finds every file whole.
    bool ok = write("cwd", utf8(fs::current_path()) + "\n") &&
              write("show", std::to_string(show) + "\n") && write("rom", romBytes) &&
              write("argv.tmp", args);
    std::error_code ec;
    fs::rename(folder / "argv.tmp", folder / "argv", ec);
    LocalFree(argv);
    return ok && !ec ? 0 : 1;
}

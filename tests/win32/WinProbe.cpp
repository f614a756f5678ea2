// khub-win-probe.exe: looks at the windows of another program from outside, as a person
// would, for the desktop program's tests under wine. Windows are found by their exact title,
// or by its beginning when TITLE ends in '*'.
//   wait TITLE [SECONDS]     exit 0 once a visible window has that title, 1 after SECONDS
//   gone TITLE [SECONDS]     exit 0 once no visible window has that title
//   columns TITLE            the column titles of the window's list view, one a line
//   controls TITLE           each child control: id, class, enabled, visible, text
//   command TITLE ID         posts the command ID to the window, as its menu item does
//   close TITLE              posts a close request

#include <commctrl.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Narrow(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring Text(HWND window) {
    wchar_t buffer[1024] = {};
    // WM_GETTEXT is copied between processes by the system, unlike most messages.
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer),
                        SMTO_ABORTIFHUNG, 2000, nullptr);
    return buffer;
}

HWND Find(const std::wstring& title) {
    struct Search {
        std::wstring title;
        HWND found = nullptr;
    } search{title};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t text[512] = {};
            GetWindowTextW(window, text, 512);
            const std::wstring& t = s->title;
            const bool prefix = !t.empty() && t.back() == L'*';
            const bool match =
                prefix ? std::wstring(text).starts_with(t.substr(0, t.size() - 1)) : t == text;
            if (IsWindowVisible(window) && match) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool WaitFor(const std::wstring& title, double seconds, bool present) {
    for (double waited = 0; waited <= seconds; waited += 0.1) {
        if ((Find(title) != nullptr) == present) return true;
        Sleep(100);
    }
    return false;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM param) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return children;
}

// Header texts live in the other process: ask there, with a buffer made there.
int PrintColumns(HWND window) {
    for (HWND child : Children(window)) {
        wchar_t cls[64] = {};
        GetClassNameW(child, cls, 64);
        if (lstrcmpW(cls, WC_LISTVIEWW) != 0) continue;
        HWND header = reinterpret_cast<HWND>(SendMessageW(child, LVM_GETHEADER, 0, 0));
        const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
        DWORD pid = 0;
        GetWindowThreadProcessId(child, &pid);
        HANDLE process =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (!process) return 1;
        constexpr SIZE_T kText = 256;
        auto* remote = static_cast<char*>(VirtualAllocEx(process, nullptr,
                                                         sizeof(HDITEMW) + kText * sizeof(wchar_t),
                                                         MEM_COMMIT, PAGE_READWRITE));
        for (int i = 0; i < count; ++i) {
            HDITEMW item{};
            item.mask = HDI_TEXT;
            item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(HDITEMW));
            item.cchTextMax = kText;
            WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
            SendMessageW(header, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(remote));
            wchar_t text[kText] = {};
            ReadProcessMemory(process, remote + sizeof(HDITEMW), text, sizeof text - 2, nullptr);
            std::printf("%s\n", Narrow(text).c_str());
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
        CloseHandle(process);
        return 0;
    }
    return 1;
}

// One line per control: line breaks in its text are shown as \n.
std::string OneLine(const std::string& text) {
    std::string line;
    for (const char c : text) {
        if (c == '\n') {
            line += "\\n";
        } else if (c != '\r') {
            line += c;
        }
    }
    return line;
}

int PrintControls(HWND window) {
    for (HWND child : Children(window)) {
        wchar_t cls[64] = {};
        GetClassNameW(child, cls, 64);
        std::printf("%d\t%s\t%d\t%d\t%s\n", GetDlgCtrlID(child), Narrow(cls).c_str(),
                    IsWindowEnabled(child) ? 1 : 0, IsWindowVisible(child) ? 1 : 0,
                    OneLine(Narrow(Text(child))).c_str());
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: khub-win-probe wait|gone|columns|controls|command|close TITLE ...\n");
        return 2;
    }
    const std::wstring verb = argv[1];
    const std::wstring title = argv[2];
    const double seconds = argc > 3 ? _wtof(argv[3]) : 20.0;
    if (verb == L"wait") return WaitFor(title, seconds, true) ? 0 : 1;
    if (verb == L"gone") return WaitFor(title, seconds, false) ? 0 : 1;
    HWND window = Find(title);
    if (!window) {
        std::fprintf(stderr, "khub-win-probe: no window \"%s\"\n", Narrow(title).c_str());
        return 1;
    }
    if (verb == L"columns") return PrintColumns(window);
    if (verb == L"controls") return PrintControls(window);
    if (verb == L"command" && argc > 3) {
        return PostMessageW(window, WM_COMMAND, MAKEWPARAM(_wtoi(argv[3]), 0), 0) ? 0 : 1;
    }
    if (verb == L"close") return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
    return 2;
}

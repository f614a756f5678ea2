// khub-win-probe.exe: looks at the windows of another program from outside, as a person
// would, for the desktop program's tests under wine. Windows are found by their exact title,
// or by its beginning when TITLE ends in '*'.
//   wait TITLE [SECONDS]     exit 0 once a visible window has that title, 1 after SECONDS
//   watch TITLE [SECONDS]    as wait, saying "watching" once it looks (for a window that
//                            may show only briefly after the next step)
//   gone TITLE [SECONDS]     exit 0 once no visible window has that title
//   columns TITLE            the column titles of the window's list view, one a line
//   rows TITLE               the rows of the window's list view, cells separated by tabs
//   rowpoint TITLE ROW       the screen point "x y" in the middle of a row's first cell
//   controls TITLE           each child control: id, class, enabled, visible, text
//   command TITLE ID         posts the command ID to the window, as its menu item does
//   close TITLE              posts a close request

#include <windows.h>
// after windows.h
#include <commctrl.h>

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
    // Often, so that a window shown only briefly (a fast transfer's) is seen.
    for (double waited = 0; waited <= seconds; waited += 0.01) {
        if ((Find(title) != nullptr) == present) return true;
        Sleep(10);
    }
    return false;
}

// Hears of every window shown on the desktop as it happens, so that one shown for a moment
// only is not missed between two looks; looks as well, for a window shown before.
std::wstring g_watched;
bool g_seen = false;

void CALLBACK OnShow(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG, DWORD, DWORD) {
    if (object != OBJID_WINDOW || !window) return;
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    if (g_watched == text) g_seen = true;
}

bool Watch(const std::wstring& title, double seconds) {
    g_watched = title;
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_SHOW, nullptr, OnShow, 0,
                                         0, WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    std::printf("watching\n");
    std::fflush(stdout);
    const DWORD end = GetTickCount() + static_cast<DWORD>(seconds * 1000);
    while (!g_seen && GetTickCount() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        if (Find(title)) g_seen = true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    if (hook) UnhookWinEvent(hook);
    return g_seen;
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

HWND FindListView(HWND window) {
    for (HWND child : Children(window)) {
        wchar_t cls[64] = {};
        GetClassNameW(child, cls, 64);
        if (lstrcmpW(cls, WC_LISTVIEWW) == 0) return child;
    }
    return nullptr;
}

// A list view keeps its texts in its own process: they are asked for there, with a
// structure and a text buffer made in that process's memory.
class RemoteText {
  public:
    explicit RemoteText(HWND control) {
        DWORD pid = 0;
        GetWindowThreadProcessId(control, &pid);
        process_ =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process_) {
            memory_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, kHead + sizeof text_,
                                                        MEM_COMMIT, PAGE_READWRITE));
        }
    }
    ~RemoteText() {
        if (memory_) VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }
    bool ok() const { return memory_ != nullptr; }
    wchar_t* RemoteBuffer() const { return reinterpret_cast<wchar_t*>(memory_ + kHead); }
    static constexpr int kChars = 256;

    // Sends message with the structure (whose text pointer is RemoteBuffer) and reads the
    // structure back into item and the text.
    template <class Struct>
    std::string Ask(HWND control, UINT message, WPARAM wParam, Struct& item) {
        static_assert(sizeof(Struct) <= kHead);
        WriteProcessMemory(process_, memory_, &item, sizeof item, nullptr);
        SendMessageW(control, message, wParam, reinterpret_cast<LPARAM>(memory_));
        ReadProcessMemory(process_, memory_, &item, sizeof item, nullptr);
        text_[0] = L'\0';
        ReadProcessMemory(process_, memory_ + kHead, text_, sizeof text_ - sizeof(wchar_t),
                          nullptr);
        return Narrow(text_);
    }

  private:
    static constexpr SIZE_T kHead = 256;  // room for the structure
    HANDLE process_ = nullptr;
    char* memory_ = nullptr;
    wchar_t text_[kChars + 1] = {};
};

int PrintColumns(HWND window) {
    HWND list = FindListView(window);
    if (!list) return 1;
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    RemoteText remote(header);
    if (!remote.ok()) return 1;
    const int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        HDITEMW item{};
        item.mask = HDI_TEXT;
        item.pszText = remote.RemoteBuffer();
        item.cchTextMax = RemoteText::kChars;
        std::printf("%s\n", remote.Ask(header, HDM_GETITEMW, i, item).c_str());
    }
    return 0;
}

// One line per row, its cells separated by tabs.
int PrintRows(HWND window) {
    HWND list = FindListView(window);
    if (!list) return 1;
    RemoteText remote(list);
    if (!remote.ok()) return 1;
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            LVITEMW item{};
            item.iSubItem = column;
            item.pszText = remote.RemoteBuffer();
            item.cchTextMax = RemoteText::kChars;
            std::printf("%s%s", column ? "\t" : "",
                        remote.Ask(list, LVM_GETITEMTEXTW, row, item).c_str());
        }
        std::printf("\n");
    }
    return 0;
}

// Where a person clicks on a row: the middle of its first cell, in screen coordinates.
int PrintRowPoint(HWND window, int row) {
    HWND list = FindListView(window);
    if (!list) return 1;
    RemoteText remote(list);
    if (!remote.ok()) return 1;
    RECT cell{LVIR_LABEL, 0, 0, 0};
    remote.Ask(list, LVM_GETITEMRECT, row, cell);
    POINT middle{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
    ClientToScreen(list, &middle);
    std::printf("%ld %ld\n", static_cast<long>(middle.x), static_cast<long>(middle.y));
    return 0;
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
        std::fprintf(
            stderr,
            "usage: khub-win-probe wait|gone|columns|rows|controls|command|close TITLE ...\n");
        return 2;
    }
    const std::wstring verb = argv[1];
    const std::wstring title = argv[2];
    const double seconds = argc > 3 ? _wtof(argv[3]) : 20.0;
    if (verb == L"wait") return WaitFor(title, seconds, true) ? 0 : 1;
    if (verb == L"watch") return Watch(title, seconds) ? 0 : 1;
    if (verb == L"gone") return WaitFor(title, seconds, false) ? 0 : 1;
    HWND window = Find(title);
    if (!window) {
        std::fprintf(stderr, "khub-win-probe: no window \"%s\"\n", Narrow(title).c_str());
        return 1;
    }
    if (verb == L"columns") return PrintColumns(window);
    if (verb == L"rows") return PrintRows(window);
    if (verb == L"rowpoint" && argc > 3) return PrintRowPoint(window, _wtoi(argv[3]));
    if (verb == L"controls") return PrintControls(window);
    if (verb == L"command" && argc > 3) {
        return PostMessageW(window, WM_COMMAND, MAKEWPARAM(_wtoi(argv[3]), 0), 0) ? 0 : 1;
    }
    if (verb == L"close") return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
    return 2;
}

// khub-win-probe.exe: looks at the windows of another program from outside, as a person
// would, for the desktop program's tests under wine. Windows are found by their exact title,
// or by its beginning when TITLE ends in '*'.
//   wait TITLE [SECONDS]     exit 0 once a visible window has that title, 1 after SECONDS;
//                            says "watching" once it looks (a window may show only briefly)
//   gone TITLE [SECONDS]     exit 0 once no visible window has that title
//   rows TITLE               the window's list view: the column titles, then each row, cells
//                            separated by tabs
//   rowpoint TITLE ROW       the screen point "x y" in the middle of a row's first cell
//   controls TITLE           each child control: id, class, enabled, visible, text
//   command TITLE ID         posts the command ID to the window, as its menu item does
//   close TITLE              posts a close request

#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <cstdio>
#include <string>

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

// GetWindowText reads another program's title without a message, even while it is busy.
bool Matches(const std::wstring& title, HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return title.ends_with(L'*') ? std::wstring(text).starts_with(title.substr(0, title.size() - 1))
                                 : title == text;
}

HWND Find(const std::wstring& title) {
    std::pair<const std::wstring*, HWND> search{&title, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<std::pair<const std::wstring*, HWND>*>(param);
            if (!IsWindowVisible(window) || !Matches(*s->first, window)) return TRUE;
            s->second = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.second;
}

// Hears of every window shown on the desktop as it happens, so that one shown for a moment
// only (a fast transfer's) is not missed between two looks; looks as well, often.
std::wstring g_watched;
bool g_seen = false;

void CALLBACK OnShow(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG, DWORD, DWORD) {
    if (object == OBJID_WINDOW && window && Matches(g_watched, window)) g_seen = true;
}

bool Await(const std::wstring& title, double seconds, bool present) {
    g_watched = title;
    HWINEVENTHOOK hook =
        present ? SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_SHOW, nullptr, OnShow, 0, 0,
                                  WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS)
                : nullptr;
    if (present) std::printf("watching\n");
    std::fflush(stdout);
    const DWORD end = GetTickCount() + static_cast<DWORD>(seconds * 1000);
    bool done = false;
    while (!(done = present ? g_seen || Find(title) : !Find(title)) && GetTickCount() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    if (hook) UnhookWinEvent(hook);
    return done;
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

int PrintRows(HWND list, RemoteText& remote) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = -1; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            HDITEMW title{};
            title.mask = HDI_TEXT;
            LVITEMW cell{};
            cell.iSubItem = column;
            title.pszText = cell.pszText = remote.RemoteBuffer();
            title.cchTextMax = cell.cchTextMax = RemoteText::kChars;
            std::printf("%s%s", column ? "\t" : "",
                        (row < 0 ? remote.Ask(header, HDM_GETITEMW, column, title)
                                 : remote.Ask(list, LVM_GETITEMTEXTW, row, cell))
                            .c_str());
        }
        std::printf("\n");
    }
    return 0;
}

// Where a person clicks on a row: the middle of its first cell, in screen coordinates.
int PrintRowPoint(HWND list, RemoteText& remote, int row) {
    RECT cell{LVIR_LABEL, 0, 0, 0};
    remote.Ask(list, LVM_GETITEMRECT, row, cell);
    POINT middle{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
    ClientToScreen(list, &middle);
    std::printf("%ld %ld\n", static_cast<long>(middle.x), static_cast<long>(middle.y));
    return 0;
}

// One line per control: line breaks in its text are shown as \n.
int PrintControls(HWND window) {
    EnumChildWindows(
        window,
        [](HWND child, LPARAM) -> BOOL {
            std::string text;
            for (const char c : Narrow(Text(child))) {
                if (c != '\r') text += c == '\n' ? std::string("\\n") : std::string(1, c);
            }
            wchar_t cls[64] = {};
            GetClassNameW(child, cls, 64);
            std::printf("%d\t%s\t%d\t%d\t%s\n", GetDlgCtrlID(child), Narrow(cls).c_str(),
                        IsWindowEnabled(child) ? 1 : 0, IsWindowVisible(child) ? 1 : 0,
                        text.c_str());
            return TRUE;
        },
        0);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: khub-win-probe wait|gone|rows|rowpoint|controls|"
                     "command|close TITLE ...\n");
        return 2;
    }
    const std::wstring verb = argv[1];
    const std::wstring title = argv[2];
    const double seconds = argc > 3 ? _wtof(argv[3]) : 20.0;
    if (verb == L"wait" || verb == L"gone") return Await(title, seconds, verb == L"wait") ? 0 : 1;
    HWND window = Find(title);
    if (!window) {
        std::fprintf(stderr, "khub-win-probe: no window \"%s\"\n", Narrow(title).c_str());
        return 1;
    }
    if (verb == L"controls") return PrintControls(window);
    if (verb == L"command" && argc > 3)
        return PostMessageW(window, WM_COMMAND, MAKEWPARAM(_wtoi(argv[3]), 0), 0) ? 0 : 1;
    if (verb == L"close") return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
    HWND list = FindWindowExW(window, nullptr, WC_LISTVIEWW, nullptr);
    RemoteText remote(list);
    if (!list || !remote.ok()) return 1;
    if (verb == L"rows") return PrintRows(list, remote);
    if (verb == L"rowpoint" && argc > 3) return PrintRowPoint(list, remote, _wtoi(argv[3]));
    return 2;
}

#include "platform/Process.h"

#include <windows.h>

#include "WideText.h"
#include "platform/CommandLine.h"

namespace khub {

bool SpawnDetached(const std::string& program, const std::vector<std::string>& argv,
                   const std::string& workingDir, std::string* error) {
    std::wstring application = win32::Wide(program);
    // CreateProcessW may write into the command line.
    std::wstring commandLine = win32::Wide(platform::WindowsCommandLine(argv));
    std::wstring folder = win32::Wide(workingDir);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started{};
    // No handle of ours is inherited; the lobby neither waits for nor watches the child.
    if (!::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_UNICODE_ENVIRONMENT, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, &started)) {
        if (error) *error = win32::ErrorText(::GetLastError());
        return false;
    }
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    return true;
}

}  // namespace khub

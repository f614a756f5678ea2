#include "platform/SingleInstance.h"

#include <windows.h>

#include "WideText.h"

namespace khub {

SingleInstance SingleInstance::Acquire(const std::string&) {
    SingleInstance guard;
    std::wstring name = win32::Wide(kSingleInstanceMutexName);
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
    DWORD error = ::GetLastError();
    if (!mutex) {
        // Another user's copy holds a mutex of that name this one may not open: it runs.
        if (error == ERROR_ACCESS_DENIED) {
            guard.state_ = State::AlreadyRunning;
        } else {
            guard.error_ = win32::ErrorText(error);
        }
        return guard;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        guard.state_ = State::AlreadyRunning;
        return guard;
    }
    guard.handle_ = reinterpret_cast<std::intptr_t>(mutex);
    guard.state_ = State::Acquired;
    return guard;
}

void SingleInstance::Release() {
    if (handle_) ::CloseHandle(reinterpret_cast<HANDLE>(*handle_));
    handle_.reset();
}

}  // namespace khub

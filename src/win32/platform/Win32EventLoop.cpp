#include "Win32EventLoop.h"

#include <algorithm>

namespace khub::win32 {

namespace {
constexpr UINT kWake = WM_APP + 1;
constexpr UINT_PTR kTimerId = 1;
constexpr wchar_t kClassName[] = L"KHubEventLoop";
}  // namespace

Win32EventLoop::Win32EventLoop() : thread_(GetCurrentThreadId()) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);  // a second loop finds the class there already
    window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              wc.hInstance, this);
}

Win32EventLoop::~Win32EventLoop() {
    if (window_) DestroyWindow(window_);
}

bool Win32EventLoop::InLoopThread() const {
    return GetCurrentThreadId() == thread_;
}

LRESULT CALLBACK Win32EventLoop::WindowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* loop = reinterpret_cast<Win32EventLoop*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (loop && message == kWake) {
        loop->RunTasks();
        loop->ArmTimer();
        return 0;
    }
    if (loop && message == WM_TIMER && wParam == kTimerId) {
        loop->RunDueTimers();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Win32EventLoop::Wake() {
    {
        std::lock_guard lock(mutex_);
        if (woken_) return;
        woken_ = true;
    }
    PostMessageW(window_, kWake, 0, 0);
}

void Win32EventLoop::Post(Task task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    Wake();
}

void Win32EventLoop::RunTasks() {
    std::deque<Task> batch;
    {
        std::lock_guard lock(mutex_);
        woken_ = false;
        batch.swap(tasks_);
    }
    // A task posted while these run waits for the next wake, so a task that posts itself
    // again cannot starve the window's other messages.
    for (Task& task : batch) task();
}

EventLoop::TimerId Win32EventLoop::PostDelayed(std::chrono::milliseconds delay, Task task) {
    TimerId id;
    {
        std::lock_guard lock(mutex_);
        id = timers_.Add(Now() + delay, std::move(task));
    }
    if (InLoopThread()) {
        ArmTimer();
    } else {
        Wake();
    }
    return id;
}

void Win32EventLoop::Cancel(TimerId timer) {
    std::lock_guard lock(mutex_);
    timers_.Cancel(timer);
}

void Win32EventLoop::ArmTimer() {
    Clock::time_point due;
    {
        std::lock_guard lock(mutex_);
        if (timers_.Empty()) {
            KillTimer(window_, kTimerId);
            return;
        }
        due = timers_.NextDue();
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - Now()).count();
    SetTimer(window_, kTimerId, static_cast<UINT>(std::clamp<long long>(wait, 0, 0x7fffffff)),
             nullptr);
}

void Win32EventLoop::RunDueTimers() {
    for (;;) {
        Task task;
        {
            std::lock_guard lock(mutex_);
            if (!timers_.PopDue(Now(), task)) break;
        }
        task();
    }
    ArmTimer();
}

}  // namespace khub::win32

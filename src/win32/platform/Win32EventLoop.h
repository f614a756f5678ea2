#pragma once
// The lobby's event loop on the GUI thread: in the desktop program the GUI thread is the
// lobby thread. Tasks and timers reach it through a message-only window, so they run in
// every message loop of the thread, a chooser's or a menu's included. Post and
// PostDelayed may be called from any thread.

#include <windows.h>

#include <deque>
#include <mutex>

#include "platform/EventLoop.h"
#include "platform/TimerQueue.h"

namespace khub::win32 {

class Win32EventLoop : public EventLoop {
  public:
    // Makes the calling thread the loop thread.
    Win32EventLoop();
    ~Win32EventLoop() override;
    Win32EventLoop(const Win32EventLoop&) = delete;
    Win32EventLoop& operator=(const Win32EventLoop&) = delete;

    void Post(Task task) override;
    TimerId PostDelayed(std::chrono::milliseconds delay, Task task) override;
    void Cancel(TimerId timer) override;
    Clock::time_point Now() const override { return Clock::now(); }
    bool InLoopThread() const override;

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void RunTasks();
    void RunDueTimers();
    // Sets the window timer for the earliest due timer (loop thread only).
    void ArmTimer();
    // Asks the loop thread to run tasks or re-arm its timer.
    void Wake();

    HWND window_ = nullptr;
    DWORD thread_;
    mutable std::mutex mutex_;
    std::deque<Task> tasks_;
    TimerQueue timers_;
    bool woken_ = false;
};

}  // namespace khub::win32

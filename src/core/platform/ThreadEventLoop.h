#pragma once
// The real event loop: Run() makes the calling thread the lobby thread until Quit().

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "EventLoop.h"
#include "TimerQueue.h"

namespace khub {

class ThreadEventLoop : public EventLoop {
public:
    void Post(Task task) override;
    TimerId PostDelayed(std::chrono::milliseconds delay, Task task) override;
    void Cancel(TimerId timer) override;
    Clock::time_point Now() const override { return Clock::now(); }
    bool InLoopThread() const override;

    // Runs tasks and timers until Quit is called; returns then. Tasks already posted
    // before Quit still run.
    void Run();
    void Quit();

private:
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> tasks_;
    TimerQueue timers_;
    bool quit_ = false;
    std::thread::id loopThread_;
};

}  // namespace khub

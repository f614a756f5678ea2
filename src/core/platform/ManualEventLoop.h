#pragma once
// An event loop for tests: nothing runs until the test says so, and time moves only when
// the test advances it. An eleven-second wait takes no time.

#include <deque>
#include <mutex>
#include <thread>

#include "EventLoop.h"
#include "TimerQueue.h"

namespace khub {

class ManualEventLoop : public EventLoop {
public:
    ManualEventLoop();

    void Post(Task task) override;
    TimerId PostDelayed(std::chrono::milliseconds delay, Task task) override;
    void Cancel(TimerId timer) override;
    Clock::time_point Now() const override;
    bool InLoopThread() const override;

    // Runs every posted task, including those posted while running. Returns how many ran.
    int RunPending();
    // Moves the clock forward, running posted tasks and each timer as its due time is
    // reached, in due-time order.
    void AdvanceBy(std::chrono::milliseconds delta);
    // Makes the calling thread the loop thread (the constructor's thread by default).
    void AdoptCurrentThread();
    std::size_t PendingTimers() const;

private:
    mutable std::mutex mutex_;
    std::deque<Task> tasks_;
    TimerQueue timers_;
    Clock::time_point now_;
    std::thread::id loopThread_;
};

}  // namespace khub

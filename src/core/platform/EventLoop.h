#pragma once
// The lobby thread's event loop. Everything that reads or writes lobby state runs on it;
// I/O threads hand their results over with Post. Waits are timers on this loop, never
// sleeps, so that tests can drive time with a manual clock.

#include <chrono>
#include <cstdint>
#include <functional>

namespace khub {

class EventLoop {
public:
    using Task = std::function<void()>;
    using Clock = std::chrono::steady_clock;
    using TimerId = std::uint64_t;

    virtual ~EventLoop() = default;

    // Run task on the loop thread, after the tasks posted before it. Any thread.
    virtual void Post(Task task) = 0;
    // Run task on the loop thread once delay has passed. Any thread. Timers due at the
    // same moment run in the order they were posted.
    virtual TimerId PostDelayed(std::chrono::milliseconds delay, Task task) = 0;
    // Cancel a timer that has not run yet; cancelling a run or unknown timer is harmless.
    virtual void Cancel(TimerId timer) = 0;
    // The loop's clock (the manual clock in tests).
    virtual Clock::time_point Now() const = 0;
    // True on the thread that runs the loop.
    virtual bool InLoopThread() const = 0;
};

}  // namespace khub

#include "ManualEventLoop.h"

namespace khub {

ManualEventLoop::ManualEventLoop() : now_(Clock::time_point{} + std::chrono::hours(1)),
                                     loopThread_(std::this_thread::get_id()) {}

void ManualEventLoop::Post(Task task) {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
}

EventLoop::TimerId ManualEventLoop::PostDelayed(std::chrono::milliseconds delay, Task task) {
    std::lock_guard lock(mutex_);
    return timers_.Add(now_ + delay, std::move(task));
}

void ManualEventLoop::Cancel(TimerId timer) {
    std::lock_guard lock(mutex_);
    timers_.Cancel(timer);
}

EventLoop::Clock::time_point ManualEventLoop::Now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

bool ManualEventLoop::InLoopThread() const {
    std::lock_guard lock(mutex_);
    return loopThread_ == std::this_thread::get_id();
}

void ManualEventLoop::AdoptCurrentThread() {
    std::lock_guard lock(mutex_);
    loopThread_ = std::this_thread::get_id();
}

int ManualEventLoop::RunPending() {
    int ran = 0;
    for (;;) {
        Task task;
        {
            std::lock_guard lock(mutex_);
            if (tasks_.empty()) break;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
        ++ran;
    }
    return ran;
}

void ManualEventLoop::AdvanceBy(std::chrono::milliseconds delta) {
    RunPending();
    Clock::time_point target;
    {
        std::lock_guard lock(mutex_);
        target = now_ + delta;
    }
    for (;;) {
        Task task;
        {
            std::lock_guard lock(mutex_);
            if (timers_.Empty() || timers_.NextDue() > target) {
                now_ = target;
                break;
            }
            now_ = timers_.NextDue();
            timers_.PopDue(now_, task);
        }
        task();
        RunPending();
    }
    RunPending();
}

std::size_t ManualEventLoop::PendingTimers() const {
    std::lock_guard lock(mutex_);
    return timers_.Size();
}

}  // namespace khub

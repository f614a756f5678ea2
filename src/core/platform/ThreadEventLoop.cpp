#include "ThreadEventLoop.h"

namespace khub {

void ThreadEventLoop::Post(Task task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

EventLoop::TimerId ThreadEventLoop::PostDelayed(std::chrono::milliseconds delay, Task task) {
    TimerId id;
    {
        std::lock_guard lock(mutex_);
        id = timers_.Add(Clock::now() + delay, std::move(task));
    }
    wake_.notify_one();
    return id;
}

void ThreadEventLoop::Cancel(TimerId timer) {
    std::lock_guard lock(mutex_);
    timers_.Cancel(timer);
}

bool ThreadEventLoop::InLoopThread() const {
    std::lock_guard lock(mutex_);
    return loopThread_ == std::this_thread::get_id();
}

void ThreadEventLoop::Run() {
    std::unique_lock lock(mutex_);
    loopThread_ = std::this_thread::get_id();
    for (;;) {
        Task task;
        if (!tasks_.empty()) {
            task = std::move(tasks_.front());
            tasks_.pop_front();
        } else if (timers_.PopDue(Clock::now(), task)) {
        } else if (quit_) {
            break;
        } else if (timers_.Empty()) {
            wake_.wait(lock);
            continue;
        } else {
            wake_.wait_until(lock, timers_.NextDue());
            continue;
        }
        lock.unlock();
        task();
        task = nullptr;  // captured state dies outside the lock
        lock.lock();
    }
    quit_ = false;
    loopThread_ = {};
}

void ThreadEventLoop::Quit() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_one();
}

}  // namespace khub

#include "TimerQueue.h"

namespace khub {

EventLoop::TimerId TimerQueue::Add(EventLoop::Clock::time_point due, EventLoop::Task task) {
    EventLoop::TimerId id = nextId_++;
    timers_.emplace(std::make_pair(due, id), std::move(task));
    dueOf_.emplace(id, due);
    return id;
}

void TimerQueue::Cancel(EventLoop::TimerId id) {
    auto it = dueOf_.find(id);
    if (it == dueOf_.end()) return;
    timers_.erase(std::make_pair(it->second, id));
    dueOf_.erase(it);
}

bool TimerQueue::PopDue(EventLoop::Clock::time_point now, EventLoop::Task& task) {
    if (timers_.empty() || timers_.begin()->first.first > now) return false;
    auto first = timers_.begin();
    task = std::move(first->second);
    dueOf_.erase(first->first.second);
    timers_.erase(first);
    return true;
}

}  // namespace khub

#pragma once
// Due-time ordered timers, shared by the real and the manual event loop. Not locked: the
// owning loop guards it.

#include <map>
#include <utility>

#include "EventLoop.h"

namespace khub {

class TimerQueue {
public:
    EventLoop::TimerId Add(EventLoop::Clock::time_point due, EventLoop::Task task);
    void Cancel(EventLoop::TimerId id);
    bool Empty() const { return timers_.empty(); }
    std::size_t Size() const { return timers_.size(); }
    EventLoop::Clock::time_point NextDue() const { return timers_.begin()->first.first; }
    // Removes and returns the earliest timer if it is due at or before now.
    bool PopDue(EventLoop::Clock::time_point now, EventLoop::Task& task);

private:
    // Keyed by (due, id) so that equal due times keep their posting order.
    std::map<std::pair<EventLoop::Clock::time_point, EventLoop::TimerId>, EventLoop::Task> timers_;
    std::map<EventLoop::TimerId, EventLoop::Clock::time_point> dueOf_;
    EventLoop::TimerId nextId_ = 1;
};

}  // namespace khub

#include "LineInbox.h"

namespace khub {

LineInbox::Pushed LineInbox::Push(std::vector<ReceivedItem> items) {
    std::unique_lock lock(mutex_);
    bool mayWait = items.empty() || items.back().kind != ReceivedItem::Kind::End;
    if (mayWait && bytes_ >= capacity_ && !closed_) {
        ++waiting_;
        room_.wait(lock, [this] { return bytes_ < capacity_ || closed_; });
        --waiting_;
    }
    if (closed_) return Pushed::Closed;
    for (ReceivedItem& item : items) {
        bytes_ += Cost(item);
        items_.push_back(std::move(item));
    }
    if (takeScheduled_ || items_.empty()) return Pushed::Queued;
    takeScheduled_ = true;
    return Pushed::Scheduled;
}

std::vector<ReceivedItem> LineInbox::Take(std::size_t max, bool& more) {
    std::vector<ReceivedItem> out;
    {
        std::lock_guard lock(mutex_);
        while (!items_.empty() && out.size() < max) {
            bytes_ -= Cost(items_.front());
            out.push_back(std::move(items_.front()));
            items_.pop_front();
        }
        more = !items_.empty();
        takeScheduled_ = more;
    }
    room_.notify_all();
    return out;
}

void LineInbox::Close() {
    std::deque<ReceivedItem> gone;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        gone.swap(items_);
        bytes_ = 0;
        takeScheduled_ = false;
    }
    room_.notify_all();
}

std::size_t LineInbox::PendingBytes() const {
    std::lock_guard lock(mutex_);
    return bytes_;
}

bool LineInbox::PusherWaiting() const {
    std::lock_guard lock(mutex_);
    return waiting_ > 0;
}

}  // namespace khub

#pragma once
// What the receive thread has read and the lobby thread has yet to handle, bounded.
//
// The receive thread pushes what each read gave and waits while the inbox is full, so a
// server that sends faster than the lobby keeps up fills the socket's buffers (and then
// has to wait itself) instead of this program's memory. The lobby thread takes a few
// lines per turn of its loop, so a command the player gives meanwhile waits for one
// handful of lines and not for the whole backlog.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace khub {

struct ReceivedItem {
    enum class Kind { Line, Dropped, End };
    Kind kind = Kind::Line;
    std::string line;
    std::size_t droppedLength = 0;  // Dropped: a line too long to keep
    long result = 0;                // End: what the last read returned (0 closed, <0 error)
};

class LineInbox {
  public:
    // Bytes of lines held before the receive thread has to wait.
    static constexpr std::size_t kDefaultCapacity = 256 * 1024;
    // What an item costs beyond its text, so that empty lines are bounded too.
    static constexpr std::size_t kItemCost = 64;

    explicit LineInbox(std::size_t capacity = kDefaultCapacity) : capacity_(capacity) {}

    enum class Pushed {
        Closed,     // dropped: nobody will take them
        Scheduled,  // the caller must arrange one Take on the lobby thread
        Queued,     // a Take is already on its way
    };
    // Receive thread: waits while the inbox is full (an End item never waits), then
    // queues the items. At most one read's worth lies beyond the capacity.
    Pushed Push(std::vector<ReceivedItem> items);

    // Lobby thread: the next items, at most max of them. more tells whether items are
    // left, in which case the caller must arrange another Take; otherwise the next Push
    // schedules it.
    std::vector<ReceivedItem> Take(std::size_t max, bool& more);

    // Nobody will take what is queued: it goes, a waiting Push returns, later ones drop.
    void Close();

    std::size_t PendingBytes() const;
    std::size_t capacity() const { return capacity_; }
    // A Push is waiting for room.
    bool PusherWaiting() const;

  private:
    static std::size_t Cost(const ReceivedItem& item) { return item.line.size() + kItemCost; }

    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable room_;
    std::deque<ReceivedItem> items_;
    std::size_t bytes_ = 0;
    bool takeScheduled_ = false;
    bool closed_ = false;
    int waiting_ = 0;
};

}  // namespace khub

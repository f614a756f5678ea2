#pragma once
// The lobby's event loop on the Qt GUI thread: in the desktop program the GUI thread is
// the lobby thread. Post and PostDelayed may be called from any thread.

#include <QObject>
#include <QTimer>
#include <atomic>
#include <map>
#include <mutex>
#include <set>

#include "platform/EventLoop.h"

namespace khub::gui {

class QtEventLoop : public QObject, public EventLoop {
    Q_OBJECT
  public:
    explicit QtEventLoop(QObject* parent = nullptr);
    ~QtEventLoop() override;

    void Post(Task task) override;
    TimerId PostDelayed(std::chrono::milliseconds delay, Task task) override;
    void Cancel(TimerId timer) override;
    Clock::time_point Now() const override { return Clock::now(); }
    bool InLoopThread() const override;

    std::size_t PendingTimers() const;

  private:
    void StartTimer(TimerId id, std::chrono::milliseconds delay, Task task, bool startedHere);
    void Fire(TimerId id);

    mutable std::mutex mutex_;
    std::atomic<TimerId> nextId_{1};
    std::map<TimerId, std::pair<QTimer*, Task>> timers_;  // GUI thread only
    std::set<TimerId> waiting_;  // posted from another thread, timer not made yet
};

}  // namespace khub::gui

#include "QtEventLoop.h"

#include <QThread>

namespace khub::gui {

QtEventLoop::QtEventLoop(QObject* parent) : QObject(parent) {}

QtEventLoop::~QtEventLoop() {
    for (auto& [id, timer] : timers_) delete timer.first;
}

bool QtEventLoop::InLoopThread() const {
    return QThread::currentThread() == thread();
}

void QtEventLoop::Post(Task task) {
    QMetaObject::invokeMethod(
        this, [task = std::move(task)] { task(); }, Qt::QueuedConnection);
}

EventLoop::TimerId QtEventLoop::PostDelayed(std::chrono::milliseconds delay, Task task) {
    const TimerId id = nextId_++;
    if (InLoopThread()) {
        StartTimer(id, delay, std::move(task), true);
    } else {
        {
            std::lock_guard lock(mutex_);
            waiting_.insert(id);
        }
        QMetaObject::invokeMethod(
            this,
            [this, id, delay, task = std::move(task)]() mutable {
                StartTimer(id, delay, std::move(task), false);
            },
            Qt::QueuedConnection);
    }
    return id;
}

void QtEventLoop::StartTimer(TimerId id, std::chrono::milliseconds delay, Task task,
                             bool startedHere) {
    {
        std::lock_guard lock(mutex_);
        if (waiting_.erase(id) == 0 && !startedHere) return;
    }
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, [this, id] { Fire(id); });
    {
        std::lock_guard lock(mutex_);
        timers_[id] = {timer, std::move(task)};
    }
    timer->start(delay);
}

void QtEventLoop::Fire(TimerId id) {
    Task task;
    {
        std::lock_guard lock(mutex_);
        auto it = timers_.find(id);
        if (it == timers_.end()) return;
        it->second.first->deleteLater();
        task = std::move(it->second.second);
        timers_.erase(it);
    }
    if (task) task();
}

void QtEventLoop::Cancel(TimerId id) {
    {
        std::lock_guard lock(mutex_);
        // Still on its way to the GUI thread: dropping the mark stops it there.
        if (waiting_.erase(id) > 0) return;
    }
    if (!InLoopThread()) {
        QMetaObject::invokeMethod(
            this, [this, id] { Cancel(id); }, Qt::QueuedConnection);
        return;
    }
    std::lock_guard lock(mutex_);
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    it->second.first->stop();
    it->second.first->deleteLater();
    timers_.erase(it);
}

std::size_t QtEventLoop::PendingTimers() const {
    std::lock_guard lock(mutex_);
    return timers_.size();
}

}  // namespace khub::gui

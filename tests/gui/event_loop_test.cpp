// The lobby's event loop on the Qt GUI thread.

#include <atomic>
#include <thread>

#include "GuiFixture.h"
#include "platform/QtEventLoop.h"

namespace khub::gui::test {
namespace {

using namespace std::chrono_literals;

TEST(QtEventLoop, PostsFromWorkersRunOnTheGuiThreadInOrderAndCancelledTimersNever) {
    QtEventLoop loop;
    std::vector<int> ran;
    std::atomic<bool> allOnGui{true};
    bool cancelledRan = false, keptRan = false, workerCancelledRan = false;
    const EventLoop::TimerId cancelled = loop.PostDelayed(0ms, [&] { cancelledRan = true; });
    loop.PostDelayed(0ms, [&] { keptRan = true; });
    loop.Cancel(cancelled);
    // Made on a worker and cancelled from the GUI thread before the timer exists there.
    EventLoop::TimerId fromWorker = 0;
    std::thread worker([&] {
        EXPECT_FALSE(loop.InLoopThread());
        for (int i = 0; i < 100; ++i) {
            loop.Post([&, i] {
                if (!loop.InLoopThread()) allOnGui = false;
                ran.push_back(i);
            });
        }
        fromWorker = loop.PostDelayed(0ms, [&] { workerCancelledRan = true; });
        loop.PostDelayed(0ms, [&] { ran.push_back(100); });
    });
    worker.join();
    loop.Cancel(fromWorker);
    EXPECT_TRUE(ran.empty());
    // Work queued from other threads arrives with the next passes of the event loop.
    ASSERT_TRUE(QTest::qWaitFor([&] { return ran.size() == 101 && keptRan; }));
    for (int i = 0; i <= 100; ++i) EXPECT_EQ(ran[static_cast<std::size_t>(i)], i);
    EXPECT_TRUE(allOnGui);
    EXPECT_TRUE(loop.InLoopThread());
    EXPECT_FALSE(cancelledRan);
    EXPECT_FALSE(workerCancelledRan);
    EXPECT_EQ(loop.PendingTimers(), 0u);
    loop.Cancel(cancelled);  // cancelling twice, or after the run, is harmless
}

}  // namespace
}  // namespace khub::gui::test

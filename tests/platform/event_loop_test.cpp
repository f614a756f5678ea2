#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/ManualEventLoop.h"
#include "platform/ThreadEventLoop.h"

using namespace std::chrono_literals;
using khub::ManualEventLoop;
using khub::ThreadEventLoop;

TEST(ManualEventLoop, TimersRunInDueOrderWhenTheClockReachesThemAndCancelledOnesNever) {
    ManualEventLoop loop;
    std::vector<int> ran;
    loop.PostDelayed(11s, [&] { ran.push_back(11); });
    loop.PostDelayed(5s, [&] { ran.push_back(5); });
    loop.PostDelayed(5s, [&] { ran.push_back(50); });  // same due time: posting order
    loop.Post([&] { ran.push_back(0); });
    auto cancelled = loop.PostDelayed(5s, [&] { ran.push_back(-1); });
    loop.PostDelayed(1s, [&] { loop.PostDelayed(1s, [&] { ran.push_back(2); }); });
    loop.Cancel(cancelled);
    loop.Cancel(cancelled);  // twice is harmless

    const auto start = loop.Now();
    loop.AdvanceBy(4999ms);
    EXPECT_EQ(ran, (std::vector<int>{0, 2}));
    loop.AdvanceBy(1ms);
    EXPECT_EQ(ran, (std::vector<int>{0, 2, 5, 50}));
    loop.AdvanceBy(6s);
    EXPECT_EQ(ran, (std::vector<int>{0, 2, 5, 50, 11}));
    EXPECT_EQ(loop.PendingTimers(), 0u);
    EXPECT_EQ(loop.Now() - start, 11s);
}

TEST(ThreadEventLoop, TasksFromOtherThreadsRunInOrderOnTheLoopThreadAndCancelledTimersNot) {
    ThreadEventLoop loop;
    bool cancelledRan = false;
    loop.Cancel(loop.PostDelayed(1ms, [&] { cancelledRan = true; }));  // due before the Quit
    std::vector<int> seen;
    std::atomic<bool> allOnLoop{true};
    std::thread poster([&] {
        for (int i = 0; i < 1000; ++i) {
            loop.Post([&, i] {
                seen.push_back(i);
                if (!loop.InLoopThread()) allOnLoop = false;
            });
        }
        loop.PostDelayed(1ms, [&] { loop.Quit(); });
    });
    loop.Run();
    poster.join();
    ASSERT_EQ(seen.size(), 1000u);
    for (int i = 0; i < 1000; ++i) EXPECT_EQ(seen[static_cast<std::size_t>(i)], i);
    EXPECT_TRUE(allOnLoop);
    EXPECT_FALSE(cancelledRan);
}

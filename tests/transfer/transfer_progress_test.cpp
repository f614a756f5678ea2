#include <gtest/gtest.h>

#include "transfer/TransferProgress.h"

namespace khub::transfer {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(TransferProgressTest, Texts) {
    struct Row {
        const char* name;
        std::int64_t done, total;
        double rate;
        const char* text;
    };
    const Row rows[] = {
        {"nothing yet, no rate", 0, 4 << 20, 0, "0 bytes of 4.0 MB"},
        {"one byte", 1, 1000, 0, "1 byte of 1000 bytes"},
        {"rounding never shows 1024.0", 1048575, 1 << 30, 0, "1.0 MB of 1.0 GB"},
        {"rate and seconds left", 1 << 20, 4 << 20, 350 * 1024,
         "1.0 MB of 4.0 MB, 350.0 KB/s, 9 s left"},
        {"minutes left", 0, 3 << 20, 1024, "0 bytes of 3.0 MB, 1.0 KB/s, 51 min 12 s left"},
        {"hours left", 0, 3LL << 30, 200 * 1024, "0 bytes of 3.0 GB, 200.0 KB/s, 4 h 22 min left"},
        {"done: no time left", 4 << 20, 4 << 20, 1 << 20, "4.0 MB of 4.0 MB"},
        {"empty file", 0, 0, 0, "0 bytes of 0 bytes"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(TransferProgressText(row.done, row.total, row.rate), row.text) << row.name;
    }
}

TEST(TransferProgressTest, TheMeterRefreshesOnPercentsAndOnTimeAndMeasuresTheRecentRate) {
    const auto t0 = TransferMeter::Clock::time_point{} + seconds(100);
    TransferMeter meter(100 * 1024 * 1024);  // 1 % is 1 MB
    EXPECT_TRUE(meter.Record(0, t0));
    EXPECT_FALSE(meter.Record(1024, t0 + milliseconds(100)));    // same percent, too soon
    EXPECT_EQ(meter.BytesPerSecond(), 0);                        // under a second seen
    EXPECT_TRUE(meter.Record(2048, t0 + milliseconds(600)));     // half a second: still alive
    EXPECT_TRUE(meter.Record(1 << 20, t0 + milliseconds(700)));  // a new whole percent
    EXPECT_EQ(meter.Percent(), 1);

    // A fast start, then a slow link: the rate follows the last seconds, not the average.
    std::int64_t done = 1 << 20;
    for (int s = 1; s <= 10; ++s) meter.Record(done += 1024, t0 + seconds(s));
    EXPECT_NEAR(meter.BytesPerSecond(), 1024, 1);
    EXPECT_EQ(meter.Text(), TransferProgressText(done, 100 * 1024 * 1024, meter.BytesPerSecond()));
    EXPECT_TRUE(meter.Record(100 * 1024 * 1024, t0 + seconds(10) + milliseconds(1)));  // the end

    TransferMeter justASecond(1000);  // one whole second is enough to tell a rate
    justASecond.Record(0, t0);
    justASecond.Record(500, t0 + seconds(1));
    EXPECT_EQ(justASecond.BytesPerSecond(), 500);
}

}  // namespace
}  // namespace khub::transfer

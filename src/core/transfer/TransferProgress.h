#pragma once
// How far a ROM transfer has come, in words: bytes done of the whole, the rate and the time
// left. The File Transfer window and the terminal's progress line both show this text.

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>

namespace khub::transfer {

// "512 bytes", "64.0 KB", "3.5 MB", "1.2 GB" (units of 1024).
std::string FormatBytes(std::int64_t bytes);
// "9 s", "2 min 05 s", "1 h 02 min".
std::string FormatTimeLeft(std::chrono::seconds left);
// "1.2 MB of 4.0 MB", followed by ", 350.0 KB/s, 9 s left" once a rate is known
// (bytesPerSecond > 0) and bytes are still missing.
std::string TransferProgressText(std::int64_t done, std::int64_t total, double bytesPerSecond);

// Follows one transfer's byte count over time. Lives on the thread that moves the bytes.
class TransferMeter {
  public:
    using Clock = std::chrono::steady_clock;

    explicit TransferMeter(std::int64_t total) : total_(total) {}

    // Records the bytes done at now. True when the shown progress should be refreshed: the
    // first call, a new whole percent, the end, or half a second since the last refresh.
    bool Record(std::int64_t done, Clock::time_point now);

    int Percent() const;
    // Bytes per second over the last few seconds; 0 until a second has been seen.
    double BytesPerSecond() const;
    std::string Text() const;

  private:
    struct Sample {
        std::int64_t bytes;
        Clock::time_point at;
    };

    std::int64_t total_;
    Sample latest_{0, {}};
    std::deque<Sample> samples_;  // the rate's window, oldest first
    int shownPercent_ = -1;
    Clock::time_point shownAt_{};
};

}  // namespace khub::transfer

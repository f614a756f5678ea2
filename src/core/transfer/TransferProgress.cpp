#include "TransferProgress.h"

#include <algorithm>
#include <cmath>

#include "DccMessages.h"
#include "app/Log.h"

namespace khub::transfer {

namespace {

using std::chrono::milliseconds;

// Long enough to smooth the bursts of a TCP stream, short enough that a stall shows soon.
constexpr auto kRateWindow = std::chrono::seconds(5);
constexpr auto kShortestRateSpan = std::chrono::seconds(1);
constexpr auto kRefresh = milliseconds(500);
// Blocks arrive thousands of times a second; a few samples a second are enough for a rate.
constexpr auto kSampleStep = milliseconds(100);

}  // namespace

std::string FormatBytes(std::int64_t bytes) {
    if (bytes < 1024) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    const char* units[] = {"KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024;
    int unit = 0;
    // Rounding must not print "1024.0 KB".
    while (value >= 1023.95 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    return FormatText("%.1f %s", value, units[unit]);
}

std::string FormatTimeLeft(std::chrono::seconds left) {
    const long long s = std::max<long long>(0, left.count());
    if (s < 60) return FormatText("%lld s", s);
    if (s < 3600) return FormatText("%lld min %02lld s", s / 60, s % 60);
    return FormatText("%lld h %02lld min", s / 3600, s / 60 % 60);
}

std::string TransferProgressText(std::int64_t done, std::int64_t total, double bytesPerSecond) {
    std::string text = FormatBytes(done) + " of " + FormatBytes(total);
    if (bytesPerSecond <= 0 || done >= total) return text;
    const auto bytesPerSecondWhole = static_cast<std::int64_t>(bytesPerSecond);
    text += ", " + FormatBytes(bytesPerSecondWhole) + "/s";
    const double left = std::ceil(static_cast<double>(total - done) / bytesPerSecond);
    text += ", " + FormatTimeLeft(std::chrono::seconds(static_cast<long long>(left))) + " left";
    return text;
}

bool TransferMeter::Record(std::int64_t done, Clock::time_point now) {
    latest_ = {done, now};
    if (samples_.empty() || now - samples_.back().at >= kSampleStep) samples_.push_back(latest_);
    // Keep one sample at or before the window's start so the span covers the whole window.
    while (samples_.size() > 2 && now - samples_[1].at >= kRateWindow) samples_.pop_front();
    const int percent = Percent();
    const bool refresh = shownPercent_ < 0 || percent != shownPercent_ || done >= total_ ||
                         now - shownAt_ >= kRefresh;
    if (refresh) {
        shownPercent_ = percent;
        shownAt_ = now;
    }
    return refresh;
}

int TransferMeter::Percent() const {
    return ProgressPercent(latest_.bytes, total_);
}

double TransferMeter::BytesPerSecond() const {
    if (samples_.empty()) return 0;
    const Sample& first = samples_.front();
    const auto span = latest_.at - first.at;
    if (span < kShortestRateSpan) return 0;
    const double seconds = std::chrono::duration<double>(span).count();
    return static_cast<double>(latest_.bytes - first.bytes) / seconds;
}

std::string TransferMeter::Text() const {
    return TransferProgressText(latest_.bytes, total_, BytesPerSecond());
}

}  // namespace khub::transfer

#pragma once
// The lines a test reads from a program (its output, or what it sends to a test server),
// kept for waiting on: a reader thread adds them, the test waits for one that matches.

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace khub::test {

class LineLog {
  public:
    using Predicate = std::function<bool(const std::string& line)>;
    static constexpr std::chrono::milliseconds kDefaultTimeout{15000};
    static constexpr std::size_t kNext = static_cast<std::size_t>(-1);

    // The first line that matches, from index `from` on, or by default after the lines
    // already waited past; nullopt on timeout, or when the lines ended without it.
    std::optional<std::string> WaitFor(const Predicate& match,
                                       std::chrono::milliseconds timeout = kDefaultTimeout,
                                       std::size_t from = kNext) {
        std::size_t& next = from == kNext ? next_ : from;
        auto deadline = std::chrono::steady_clock::now() + timeout;
        std::unique_lock lock(mutex_);
        for (;;) {
            while (next < lines_.size()) {
                const std::string& line = lines_[next++];
                if (match(line)) return line;
            }
            if (ended_) return std::nullopt;
            if (changed_.wait_until(lock, deadline) == std::cv_status::timeout &&
                next == lines_.size()) {
                return std::nullopt;
            }
        }
    }
    // A line that starts with text ("title: K-Hub I - 2 users online", "box: ...").
    std::optional<std::string> WaitForLine(const std::string& text,
                                           std::chrono::milliseconds timeout = kDefaultTimeout,
                                           std::size_t from = kNext) {
        return WaitFor([&](const std::string& l) { return l.starts_with(text); }, timeout, from);
    }
    // A line that contains text anywhere.
    std::optional<std::string> WaitForText(const std::string& text,
                                           std::chrono::milliseconds timeout = kDefaultTimeout,
                                           std::size_t from = kNext) {
        return WaitFor([&](const std::string& l) { return l.find(text) != std::string::npos; },
                       timeout, from);
    }
    std::vector<std::string> Lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    std::size_t LineCount() const {
        std::lock_guard lock(mutex_);
        return lines_.size();
    }
    // Every line so far, for failure messages.
    std::string OutputText() const {
        std::string all;
        for (const auto& l : Lines()) all += l + "\n";
        return all;
    }
    // Every line, once they have ended (or the timeout passed).
    std::string FinalText(std::chrono::milliseconds timeout = kDefaultTimeout) {
        WaitFor([](const std::string&) { return false; }, timeout, 0);
        return OutputText();
    }

  protected:
    // Reads fd to its end. Lines end at LF, a CR before it dropped; with anyLineEnd at a
    // lone CR too (PONG goes out with CR only), and then empty lines go.
    void ReadToEnd(int fd, bool anyLineEnd) {
        std::string pending;
        char chunk[65536];
        for (;;) {
            ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            pending.append(chunk, static_cast<std::size_t>(n));
            std::lock_guard lock(mutex_);
            std::size_t start = 0, eol;
            while ((eol = pending.find_first_of(anyLineEnd ? "\r\n" : "\n", start)) !=
                   std::string::npos) {
                std::size_t end = eol > start && pending[eol - 1] == '\r' ? eol - 1 : eol;
                if (!anyLineEnd || end > start)
                    lines_.push_back(pending.substr(start, end - start));
                start = eol + 1;
            }
            pending.erase(0, start);
            changed_.notify_all();
        }
        std::lock_guard lock(mutex_);
        if (!pending.empty()) lines_.push_back(pending);
        ended_ = true;
        changed_.notify_all();
    }
    void Restart() {
        std::lock_guard lock(mutex_);
        lines_.clear();
        next_ = 0;
        ended_ = false;
    }
    bool ended() const {
        std::lock_guard lock(mutex_);
        return ended_;
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
    std::size_t next_ = 0;  // the first line not yet waited past
    bool ended_ = false;
};

}  // namespace khub::test

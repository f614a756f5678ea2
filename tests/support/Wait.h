#pragma once
// Waiting in real time for what other threads or processes change.

#include <chrono>
#include <functional>
#include <thread>

namespace khub::test {

// Asks done() every poll until it holds or the timeout passes.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(5000),
                      std::chrono::milliseconds poll = std::chrono::milliseconds(1)) {
    for (auto deadline = std::chrono::steady_clock::now() + timeout; !done();
         std::this_thread::sleep_for(poll)) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
    }
    return true;
}

}  // namespace khub::test

#pragma once
// The sending side of a DCC transfer, played by a test on 127.0.0.1: listens on a free
// port, accepts one connection, sends the content from a start position and reads the
// acknowledgements. It can stop after some bytes and drop the connection, as a peer that
// dies mid-transfer would.

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace khub::test {

class FakeDccSender {
  public:
    static constexpr std::size_t kAll = static_cast<std::size_t>(-1);

    // content: the file's bytes; dropAfter: bytes to send before resetting the connection.
    explicit FakeDccSender(std::string content, std::size_t dropAfter = kAll);
    ~FakeDccSender();
    FakeDccSender(const FakeDccSender&) = delete;
    FakeDccSender& operator=(const FakeDccSender&) = delete;

    int port() const { return port_; }
    // Where to start (a RESUME's position); set before the receiver connects.
    void SetStart(std::uint64_t position) { start_ = position; }
    // Waits for the exchange to end; true when the receiver connected at all.
    bool Finish(int timeoutMs = 30000);
    std::uint64_t lastAck() const { return lastAck_; }
    bool connected() const { return connected_; }

  private:
    void Run(int timeoutMs);

    std::string content_;
    std::size_t dropAfter_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<std::uint64_t> start_{0};
    std::atomic<std::uint64_t> lastAck_{0};
    std::atomic<bool> connected_{false};
    std::thread thread_;
};

}  // namespace khub::test

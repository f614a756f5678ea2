#pragma once
// The byte-moving halves of a transfer, free of program state: a sender that keeps a
// window of unacknowledged bytes in flight and a receiver that acknowledges every read.
// Both poll with short limits, so a cancel (or a shutdown of the socket) ends them at once;
// they switch the socket to non-blocking mode.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>

#include "platform/Net.h"

namespace khub::transfer {

// Shared by the lobby thread, which may cancel, and the I/O thread, which polls.
class DccCancel {
  public:
    void Cancel();
    bool Cancelled() const { return cancelled_.load(); }
    // The socket to shut down on cancel; set by the I/O thread once it has one.
    void SetSocket(SocketHandle socket);

  private:
    std::atomic<bool> cancelled_{false};
    std::atomic<SocketHandle> socket_{kInvalidSocket};
};

// Where an I/O thread waits, connected, until the lobby thread says where to start (after
// the resume handshake) or that the transfer will not go on.
class StartGate {
  public:
    void Open(std::uint64_t position);
    void Refuse();
    // The start position; nothing when refused or cancelled.
    std::optional<std::uint64_t> Wait(const DccCancel& cancel);

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<std::uint64_t> position_;
    bool refused_ = false;
};

struct DccLoopOptions {
    std::size_t windowBytes = 2 * 1024 * 1024;  // unacknowledged bytes a sender keeps in flight
    std::size_t blockBytes = 64 * 1024;         // one file read / one socket read
    // Without any progress for idlePeriod × idleLimit the transfer ends; the receiver
    // reports each idle period.
    std::chrono::milliseconds idlePeriod{1000};
    int idleLimit = 11;
};

enum class SendEnd { Finished, AckError, SocketError, PeerClosed, Cancelled, TimedOut, FileError };
struct SendResult {
    SendEnd end = SendEnd::Finished;
    std::uint64_t acked = 0;  // receiver's acknowledged total
};
// Sends file from start up to size on socket; done when the acknowledgements reach size.
// onProgress gets the acknowledged total whenever it grows.
SendResult RunSendLoop(SocketHandle socket, std::FILE* file, std::uint64_t start,
                       std::uint64_t size, const DccLoopOptions& options, const DccCancel& cancel,
                       const std::function<void(std::uint64_t)>& onProgress);

enum class ReceiveEnd { Complete, SocketError, PeerClosed, Cancelled, TimedOut, FileError };
struct ReceiveResult {
    ReceiveEnd end = ReceiveEnd::Complete;
    std::uint64_t received = 0;
};
// Receives into file (positioned at start) until size; acknowledges the running total
// after every read. Never writes past size. onIdle is called for every idle period and
// once when the sender closes the connection.
ReceiveResult RunReceiveLoop(SocketHandle socket, std::FILE* file, std::uint64_t start,
                             std::uint64_t size, const DccLoopOptions& options,
                             const DccCancel& cancel,
                             const std::function<void(std::uint64_t)>& onProgress,
                             const std::function<void()>& onIdle);

}  // namespace khub::transfer

#include "DccIo.h"

#include <vector>

#include "DccMessages.h"

namespace khub::transfer {

namespace {
// Short enough that a cancel is seen promptly even if the shutdown raced the poll.
constexpr int kPollMs = 50;
using Clock = std::chrono::steady_clock;

// A receiver that closes with our bytes still unread resets the connection: it left, the
// same as one that closes cleanly.
SendEnd SendFailure(int error) {
    return IsConnectionGone(error) ? SendEnd::PeerClosed : SendEnd::SocketError;
}

// Nothing to read or write this time, or a signal came: try again.
bool IsRetry(int error) {
    return IsWouldBlock(error) || IsInterrupted(error);
}

// The ready events of socket after up to kPollMs; 0 when none, -1 on failure.
int PollOne(SocketHandle socket, short wanted, short& ready) {
    SocketPoll entry{socket, wanted, 0};
    int count = PollSockets({&entry, 1}, kPollMs);
    ready = entry.ready;
    return count;
}

// The whole of a few bytes on a non-blocking socket; false when it fails or is cancelled.
bool SendWhole(SocketHandle socket, const unsigned char* bytes, std::size_t length,
               const DccCancel& cancel) {
    while (length > 0 && !cancel.Cancelled()) {
        long n = SendSome(socket, bytes, length);
        if (n > 0) {
            bytes += n;
            length -= static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0 || !IsRetry(LastSocketError())) return false;
        short ready = 0;
        if (PollOne(socket, kPollWrite, ready) < 0 && !IsInterrupted(LastSocketError())) {
            return false;
        }
    }
    return length == 0;
}
}  // namespace

void DccCancel::Cancel() {
    cancelled_ = true;
    SocketHandle socket = socket_.load();
    if (socket != kInvalidSocket) ShutdownSocket(socket, ShutdownHow::Both);
}

void DccCancel::SetSocket(SocketHandle socket) {
    socket_ = socket;
    if (cancelled_) ShutdownSocket(socket, ShutdownHow::Both);
}

void StartGate::Open(std::uint64_t position) {
    std::lock_guard lock(mutex_);
    position_ = position;
    changed_.notify_all();
}

void StartGate::Refuse() {
    std::lock_guard lock(mutex_);
    refused_ = true;
    changed_.notify_all();
}

std::optional<std::uint64_t> StartGate::Wait(const DccCancel& cancel) {
    std::unique_lock lock(mutex_);
    while (!position_ && !refused_ && !cancel.Cancelled()) {
        changed_.wait_for(lock, std::chrono::milliseconds(kPollMs));
    }
    if (refused_ || cancel.Cancelled()) return std::nullopt;
    return position_;
}

SendResult RunSendLoop(SocketHandle socket, std::FILE* file, std::uint64_t start,
                       std::uint64_t size, const DccLoopOptions& options, const DccCancel& cancel,
                       const std::function<void(std::uint64_t)>& onProgress) {
    SetNonBlocking(socket, true);
    AckReader acks(start);
    std::uint64_t sent = start;
    std::vector<unsigned char> block(options.blockBytes);
    std::size_t blockLength = 0, blockOffset = 0;
    unsigned char ackBytes[256];
    auto lastProgress = Clock::now();
    const auto idleLimit = options.idlePeriod * options.idleLimit;

    while (acks.Acked() < size) {
        if (cancel.Cancelled()) return {SendEnd::Cancelled, acks.Acked()};
        bool haveData = blockOffset < blockLength;
        if (!haveData && sent < size && sent - acks.Acked() < options.windowBytes) {
            std::size_t want =
                static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), size - sent));
            want = std::min<std::size_t>(want, options.windowBytes - (sent - acks.Acked()));
            blockLength = std::fread(block.data(), 1, want, file);
            blockOffset = 0;
            if (blockLength == 0) return {SendEnd::FileError, acks.Acked()};
            haveData = true;
        }
        short events = 0;
        int ready =
            PollOne(socket, static_cast<short>(kPollRead | (haveData ? kPollWrite : 0)), events);
        if (ready < 0 && !IsInterrupted(LastSocketError())) {
            return {SendEnd::SocketError, acks.Acked()};
        }
        if (ready <= 0) {
            if (Clock::now() - lastProgress > idleLimit) return {SendEnd::TimedOut, acks.Acked()};
            continue;
        }
        if (cancel.Cancelled()) return {SendEnd::Cancelled, acks.Acked()};
        if (events & (kPollRead | kPollHangUp | kPollError)) {
            long n = ReceiveSome(socket, ackBytes, sizeof ackBytes);
            if (n < 0 && !IsRetry(LastSocketError())) {
                return {SendFailure(LastSocketError()), acks.Acked()};
            }
            if (n == 0) return {SendEnd::PeerClosed, acks.Acked()};
            if (n > 0) {
                std::uint64_t before = acks.Acked();
                if (acks.Feed(ackBytes, static_cast<std::size_t>(n), sent) !=
                    AckReader::Status::Ok) {
                    return {SendEnd::AckError, acks.Acked()};
                }
                if (acks.Acked() != before) {
                    lastProgress = Clock::now();
                    onProgress(acks.Acked());
                }
            }
        }
        if (haveData && (events & kPollWrite)) {
            long n = SendSome(socket, block.data() + blockOffset, blockLength - blockOffset);
            if (n < 0 && !IsRetry(LastSocketError())) {
                return {SendFailure(LastSocketError()), acks.Acked()};
            }
            if (n > 0) {
                blockOffset += static_cast<std::size_t>(n);
                sent += static_cast<std::uint64_t>(n);
                lastProgress = Clock::now();
            }
        }
    }
    return {SendEnd::Finished, acks.Acked()};
}

ReceiveResult RunReceiveLoop(SocketHandle socket, std::FILE* file, std::uint64_t start,
                             std::uint64_t size, const DccLoopOptions& options,
                             const DccCancel& cancel,
                             const std::function<void(std::uint64_t)>& onProgress,
                             const std::function<void()>& onIdle) {
    SetNonBlocking(socket, true);
    std::uint64_t received = start;
    std::vector<unsigned char> block(options.blockBytes);
    auto idleSince = Clock::now();
    int idlePeriods = 0;

    while (received < size) {
        if (cancel.Cancelled()) return {ReceiveEnd::Cancelled, received};
        short events = 0;
        int ready = PollOne(socket, kPollRead, events);
        if (ready < 0 && !IsInterrupted(LastSocketError())) {
            return {ReceiveEnd::SocketError, received};
        }
        if (ready <= 0) {
            if (Clock::now() - idleSince >= options.idlePeriod) {
                onIdle();
                idleSince = Clock::now();
                if (++idlePeriods >= options.idleLimit) return {ReceiveEnd::TimedOut, received};
            }
            continue;
        }
        if (cancel.Cancelled()) return {ReceiveEnd::Cancelled, received};
        // Never more than the offer announced: the rest of a file is not ours to write.
        std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), size - received));
        long n = ReceiveSome(socket, block.data(), want);
        if (n < 0) {
            if (IsRetry(LastSocketError())) continue;
            return {ReceiveEnd::SocketError, received};
        }
        if (n == 0) {
            onIdle();
            return {ReceiveEnd::PeerClosed, received};
        }
        if (std::fwrite(block.data(), 1, static_cast<std::size_t>(n), file) !=
            static_cast<std::size_t>(n)) {
            return {ReceiveEnd::FileError, received};
        }
        received += static_cast<std::uint64_t>(n);
        idleSince = Clock::now();
        idlePeriods = 0;
        unsigned char ack[4];
        EncodeAck(received, ack);
        // A failed acknowledgement shows up as a failed read next round.
        (void)SendWhole(socket, ack, sizeof ack, cancel);
        onProgress(received);
    }
    return {ReceiveEnd::Complete, received};
}

}  // namespace khub::transfer

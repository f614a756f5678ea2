#include "DccIo.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
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
    return error == ECONNRESET || error == EPIPE ? SendEnd::PeerClosed : SendEnd::SocketError;
}
}  // namespace

void DccCancel::Cancel() {
    cancelled_ = true;
    int fd = fd_.load();
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

void DccCancel::SetSocket(int fd) {
    fd_ = fd;
    if (cancelled_) ::shutdown(fd, SHUT_RDWR);
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

SendResult RunSendLoop(int fd, std::FILE* file, std::uint64_t start, std::uint64_t size,
                       const DccLoopOptions& options, const DccCancel& cancel,
                       const std::function<void(std::uint64_t)>& onProgress) {
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
        pollfd p{fd, static_cast<short>(POLLIN | (haveData ? POLLOUT : 0)), 0};
        int ready = ::poll(&p, 1, kPollMs);
        if (ready < 0 && errno != EINTR) return {SendEnd::SocketError, acks.Acked()};
        if (ready <= 0) {
            if (Clock::now() - lastProgress > idleLimit) return {SendEnd::TimedOut, acks.Acked()};
            continue;
        }
        if (cancel.Cancelled()) return {SendEnd::Cancelled, acks.Acked()};
        if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
            ssize_t n = ::recv(fd, ackBytes, sizeof ackBytes, MSG_DONTWAIT);
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                return {SendFailure(errno), acks.Acked()};
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
        if (haveData && (p.revents & POLLOUT)) {
            ssize_t n = ::send(fd, block.data() + blockOffset, blockLength - blockOffset,
                               MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                return {SendFailure(errno), acks.Acked()};
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

ReceiveResult RunReceiveLoop(int fd, std::FILE* file, std::uint64_t start, std::uint64_t size,
                             const DccLoopOptions& options, const DccCancel& cancel,
                             const std::function<void(std::uint64_t)>& onProgress,
                             const std::function<void()>& onIdle) {
    std::uint64_t received = start;
    std::vector<unsigned char> block(options.blockBytes);
    auto idleSince = Clock::now();
    int idlePeriods = 0;

    while (received < size) {
        if (cancel.Cancelled()) return {ReceiveEnd::Cancelled, received};
        pollfd p{fd, POLLIN, 0};
        int ready = ::poll(&p, 1, kPollMs);
        if (ready < 0 && errno != EINTR) return {ReceiveEnd::SocketError, received};
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
        ssize_t n = ::recv(fd, block.data(), want, MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EAGAIN || errno == EINTR) continue;
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
        (void)::send(fd, ack, sizeof ack, MSG_NOSIGNAL);
        onProgress(received);
    }
    return {ReceiveEnd::Complete, received};
}

}  // namespace khub::transfer

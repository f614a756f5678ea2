#pragma once
// What the program remembers of the one ROM transfer that may run. The lobby thread owns
// every plain field; the atomics are the flags an I/O thread or another thread may read.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "DccIo.h"
#include "platform/EventLoop.h"

namespace khub::transfer {

// Limits a transfer keeps; tests shorten the ones that run on the I/O threads.
struct DccTimings {
    std::chrono::milliseconds connectTimeout{1000};
    std::chrono::milliseconds acceptTimeout{5000};
    std::chrono::milliseconds resumeWindow{3000};  // sender: how long a RESUME is awaited
    std::chrono::milliseconds acceptRetry{1000};   // receiver: between "Attempt #n." lines
    int acceptAttempts = 10;
    DccLoopOptions loop;
    std::string listenAddress = "0.0.0.0";
};

enum class TransferDirection { None, Send, Receive };

enum class TransferPhase {
    Idle,
    Listening,    // sender: offer made, waiting for the receiver to connect
    Connecting,   // receiver: connecting to the sender
    AwaitResume,  // sender: connected, a RESUME may still come
    AwaitAccept,  // receiver: RESUME sent, waiting for ACCEPT
    Moving,       // bytes flow
};

struct TransferState {
    TransferState() = default;
    TransferState(const TransferState&) = delete;
    TransferState& operator=(const TransferState&) = delete;
    ~TransferState();

    // Sending side.
    int dccPort = 0;
    std::string sendFilePath;
    std::string sendOfferedName;  // the file name as a receiver reads it from our offer
    std::int64_t sendFileSize = 0;
    std::atomic<bool> resumeRequested{false};
    std::atomic<std::int64_t> resumePosition{0};

    // Receiving side.
    std::string recvFileName;  // as offered
    std::string recvFilePath;  // where it is written: the ROM folder and the safe name
    std::string recvPeerIp;
    int recvPeerPort = 0;
    std::int64_t recvFileSize = 0;
    std::int64_t recvResumeFrom = 0;
    bool resumeSent = false;  // our RESUME for this offer went out
    std::atomic<bool> acceptReceived{false};
    bool transferSucceeded = false;

    // Both.
    std::atomic<bool> transferInProgress{false};
    TransferDirection direction = TransferDirection::None;
    TransferPhase phase = TransferPhase::Idle;
    std::string peerNick;  // the other side of the current transfer
    int lastProgress = -1;
    EventLoop::TimerId waitTimer = 0;
    int acceptAttempt = 0;

    // The I/O thread of the current transfer and its cancel handle.
    std::shared_ptr<DccCancel> cancel;
    std::thread worker;
    // The start position the lobby hands to a waiting I/O thread.
    std::shared_ptr<StartGate> gate;
    // Tasks posted by an I/O thread run only while this lives.
    std::shared_ptr<int> alive = std::make_shared<int>(0);

    DccTimings timings;
};

}  // namespace khub::transfer

#pragma once
// A one-connection TCP server on a free loopback port that a test scripts byte by byte:
// for what a real server can't be made to do (a line end split across two reads, a line
// of 5000 bytes, a drop in the middle of a line, a server that says nothing).

#include <chrono>
#include <functional>
#include <string>

#include "ircu/LoopbackPort.h"
#include "platform/Net.h"
#include "support/Wait.h"

namespace khub {
class ManualEventLoop;
}

namespace khub::test {

class FakeServer {
  public:
    FakeServer() { listener_ = ListenOnLoopback(&port_); }  // on 127.0.0.1:port()
    ~FakeServer() {
        CloseClient();
        StopListening();
    }
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    int port() const { return port_; }
    bool Accept(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
    // Sends bytes as they stand (in one send call when they fit). False once the link is gone.
    bool Send(const std::string& bytes);
    // Reads until what arrived contains text; returns everything read so far.
    std::string ReadUntil(const std::string& text,
                          std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
    // Everything the client sent so far (reading what is waiting, without blocking).
    std::string Received();
    // Closes the client's connection (and keeps listening).
    void CloseClient();
    // Stops listening: a new connection is refused.
    void StopListening();

  protected:
    SocketHandle client() const { return client_; }

  private:
    bool ReadSome(int waitMs);

    SocketHandle listener_ = kInvalidSocket;
    SocketHandle client_ = kInvalidSocket;
    int port_ = 0;
    std::string received_;
};

// Runs the loop's posted tasks until done() or the timeout (real time: I/O threads post).
bool RunUntil(ManualEventLoop& loop, const std::function<bool()>& done,
              std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

}  // namespace khub::test

#pragma once
// Loopback helpers for tests that run their own servers.

#include <string>

namespace khub::test {

// A TCP port on 127.0.0.1 that nothing listens on right now.
int FreeLoopbackPort();

// A listening TCP socket (close-on-exec) on 127.0.0.1 at a port the system picked; its port
// goes to *port. Throws when there is none.
int ListenOnLoopback(int* port, int backlog = 4);

// Blocks until something accepts connections on 127.0.0.1:port, or timeoutMs passed.
bool WaitUntilListening(int port, int timeoutMs);

}  // namespace khub::test

#pragma once
// Loopback helpers for tests that run their own servers.

#include <string>

#include "platform/Net.h"

namespace khub::test {

// A TCP port on 127.0.0.1 that nothing listens on right now.
int FreeLoopbackPort();

// A listening TCP socket (not inherited by started programs) on 127.0.0.1 at a port the system
// picked; its port goes to *port. Throws when there is none.
SocketHandle ListenOnLoopback(int* port, int backlog = 4);

// Blocks until something accepts connections on 127.0.0.1:port, or timeoutMs passed.
bool WaitUntilListening(int port, int timeoutMs);

// A blocking connection to 127.0.0.1:port; kInvalidSocket when refused.
SocketHandle ConnectToLoopback(int port);

// Two connected TCP sockets on 127.0.0.1, as a socketpair would be. Throws when it fails.
void LoopbackSocketPair(SocketHandle pair[2]);

// Closes socket so that its peer sees a reset, as the system does for a killed program.
void ResetAndClose(SocketHandle socket);

}  // namespace khub::test

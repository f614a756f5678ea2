#pragma once
// The one server connection. The receive and connect threads read the atomics; every
// other field belongs to the lobby thread.

#include <atomic>
#include <string>

namespace khub {

struct ConnectionState {
    std::atomic<int> ircSocket{-1};
    std::atomic<int> lastReceiveResult{0};
    std::atomic<bool> receiveLoopActive{false};
    std::atomic<bool> receiveThreadRunning{false};  // read as "connected"
    std::string ownNick;
    std::string ircUserName = "KHubUser";
    std::string channelName = "#K-HubI";
    std::string nickLine, userLine, joinLine;
    bool channelJoinSent = false;
};

}  // namespace khub

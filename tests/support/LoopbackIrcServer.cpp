#include "support/LoopbackIrcServer.h"

namespace khub::test {

namespace {

constexpr const char* kChannel = "#K-HubI";
const std::string kServer = "irc.test.local";

}  // namespace

bool LoopbackIrcServer::Sync(std::chrono::milliseconds timeout) {
    std::string token = "sync-" + std::to_string(++syncs_);
    std::size_t from = LineCount();
    if (!SendLine("PING :" + token)) return false;
    return WaitFor(
               [&](const std::string& l) {
                   return l.starts_with("PONG") && l.find(token) != std::string::npos;
               },
               timeout, from)
        .has_value();
}

void LoopbackIrcServer::Disconnect() {
    ShutdownSocket(client(), ShutdownHow::Both);  // wakes the reader
    if (reader_.joinable()) reader_.join();
    CloseClient();
}

std::string LoopbackIrcServer::NamesReply(const std::vector<std::string>& members) const {
    std::string out;
    std::string head = ":" + kServer + " 353 " + nick_ + " = " + kChannel + " :";
    std::string line = head + nick_;
    for (const auto& m : members) {
        if (line.size() + 1 + m.size() > 500) {
            out += line + "\r\n";
            line = head + m;
        } else {
            line += " " + m;
        }
    }
    out += line + "\r\n";
    out += ":" + kServer + " 366 " + nick_ + " " + kChannel + " :End of /NAMES list.\r\n";
    return out;
}

bool LoopbackIrcServer::AcceptAndRegister(const std::vector<std::string>& members,
                                          std::chrono::milliseconds timeout) {
    if (!Accept(timeout)) return false;
    Restart();
    reader_ = std::thread([this, fd = client()] { ReadToEnd(fd, true); });
    Send("NOTICE AUTH :*** Checking Ident\r\nNOTICE AUTH :*** No ident response\r\n");
    if (!WaitForLine("USER ", timeout)) return false;
    // The nick in force is the last one sent before USER.
    for (const auto& l : Lines()) {
        if (l.starts_with("NICK ")) nick_ = l.substr(5);
        if (l.starts_with("USER ")) break;
    }
    if (nick_.empty()) return false;
    Send(":" + kServer + " 001 " + nick_ + " :Welcome to the Internet Relay Network " + nick_ +
         "\r\n:" + kServer + " 376 " + nick_ + " :End of /MOTD command.\r\n" + From(nick_) +
         " MODE " + nick_ + " :+i\r\n");
    if (!WaitForLine("JOIN ", timeout)) return false;
    std::string addr = nick_ + "=+KHubUser@127.0.0.1";
    Send(":" + kServer + " 340 " + nick_ + " :" + addr + "\r\n:" + kServer + " 302 " + nick_ +
         " :" + addr + "\r\n" + From(nick_) + " JOIN :" + kChannel + "\r\n" + NamesReply(members));
    return true;
}

}  // namespace khub::test

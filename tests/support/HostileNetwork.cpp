#include "support/HostileNetwork.h"

#include <algorithm>

namespace khub::test {

namespace {

constexpr const char* kChannel = "#K-HubI";
constexpr std::size_t kIrcuLine = 510;  // without CR LF

bool Contains(const std::string& line, const std::string& text) {
    return line.find(text) != std::string::npos;
}

}  // namespace

HostileNetwork::HostileNetwork(Kind kind, const std::vector<std::string>& members) : kind_(kind) {
    if (kind_ == Kind::Loopback) {
        copy_ = std::make_unique<VictimCopy>(members);
        copy_->server.SendLine(":irc.test.local MODE #K-HubI +v " + me());
        if (!copy_->Probe()) error_ = "the copy did not come up on the loopback server";
        return;
    }
    if (!SetUpIrcu(members) && error_.empty()) error_ = "the ircu network did not come up";
}

bool HostileNetwork::SetUpIrcu(const std::vector<std::string>& members) {
    if (IrcuServer::BinaryPath().empty()) {
        error_ = "ircd-ircu is not installed";
        return false;
    }
    ircu_ = std::make_unique<IrcuServer>();
    if (!ircu_->ok()) {
        error_ = ircu_->error();
        return false;
    }
    if (!op_.Connect(ircu_->port()) || !op_.Register("Ivan") || !op_.Oper() || !op_.Join()) {
        error_ = "the operator could not join";
        return false;
    }
    for (const auto& m : members) {
        char mode = m.empty() ? 0 : m[0];
        bool prefixed = mode == '@' || mode == '+';
        std::string nick = prefixed ? m.substr(1) : m;
        IrcTestClient* c = Client(nick);
        if (!c || !c->Join()) {
            error_ = nick + " could not join";
            return false;
        }
        if (prefixed && !op_.OpMode(kChannel, mode == '@' ? "+o" : "+v", nick)) {
            error_ = "the operator could not give " + nick + " " + mode;
            return false;
        }
    }
    copy_ = std::make_unique<VictimCopy>(std::vector<std::string>{}, "", std::vector<std::string>{},
                                         ircu_->port());
    auto& cli = *copy_->cli;
    auto seen = [&](const std::string& text) {
        return cli
            .WaitForLine([&](const std::string& l) { return Contains(l, text); },
                         std::chrono::seconds(30))
            .has_value();
    };
    if (!seen("users online")) {
        error_ = "the copy did not join the channel";
        return false;
    }
    if (!op_.OpMode(kChannel, "+v", me()) || !seen("+v " + me())) {
        error_ = "the copy was not voiced";
        return false;
    }
    return true;
}

IrcTestClient* HostileNetwork::Client(const std::string& nick) {
    auto& c = attackers_[nick];
    if (!c) {
        c = std::make_unique<IrcTestClient>();
        if (!c->Connect(ircu_->port()) || !c->Register(nick, "KHubUser")) {
            error_ = nick + " could not register";
            return nullptr;
        }
    }
    return c.get();
}

void HostileNetwork::Say(const std::string& nick, const std::string& line) {
    if (kind_ == Kind::Loopback) {
        std::string from = ":" + nick + "!KHubUser@127.0.0.1 ";
        if (line.starts_with("WALLVOICES ")) {
            // As ircu delivers it to the voiced members.
            std::size_t colon = line.find(" :");
            std::string target = line.substr(11, colon - 11);
            copy_->server.SendLine(from + "NOTICE @" + target + " :+ " + line.substr(colon + 2));
        } else {
            copy_->server.SendLine(from + line);
        }
        return;
    }
    if (IrcTestClient* c = Client(nick)) {
        c->Send(line);
        if (std::find(unsynced_.begin(), unsynced_.end(), nick) == unsynced_.end())
            unsynced_.push_back(nick);
    }
}

bool HostileNetwork::FromServer(const std::string& bytes) {
    return kind_ == Kind::Loopback && copy_->server.Send(bytes);
}

std::size_t HostileNetwork::RoomFor(const std::string& prefix) const {
    if (kind_ == Kind::Loopback) return std::size_t(1) << 20;
    return prefix.size() < kIrcuLine ? kIrcuLine - prefix.size() : 0;
}

void HostileNetwork::Collect() {
    // ":Victim!u@h CMD target :text" as "CMD target :text", once: private lines from their
    // addressee, channel lines from the operator.
    const std::string from = ":" + me() + "!";
    auto take = [&](IrcTestClient& c) {
        c.Poll(0);
        const auto& lines = c.Lines();
        for (std::size_t& i = read_[&c]; i < lines.size(); ++i) {
            const std::string& l = lines[i];
            if (!l.starts_with(from)) continue;
            std::string rest = l.substr(std::min(l.size(), l.find(' ') + 1));
            std::size_t a = rest.find(' ');
            std::string target = a == std::string::npos ? "" : rest.substr(a + 1);
            target = target.substr(0, target.find(' '));
            bool channel = target.starts_with("#") || target.starts_with("@#");
            if (target == c.nick() || (channel && &c == &op_)) sent_.push_back(rest);
        }
    };
    take(op_);
    for (auto& [nick, c] : attackers_) take(*c);
}

std::vector<std::string> HostileNetwork::Sent() {
    if (kind_ == Kind::Loopback) return copy_->server.Lines();
    Collect();
    return sent_;
}

std::optional<std::string> HostileNetwork::WaitSent(const Predicate& match, std::size_t from,
                                                    std::chrono::milliseconds timeout) {
    if (kind_ == Kind::Loopback) return copy_->server.WaitForLine(match, timeout, from);
    auto deadline = std::chrono::steady_clock::now() + timeout;
    std::size_t checked = from;
    for (;;) {
        Collect();
        for (; checked < sent_.size(); ++checked) {
            if (match(sent_[checked])) return sent_[checked];
        }
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        op_.Poll(10);
    }
}

bool HostileNetwork::WaitSent(const std::string& line, std::size_t from,
                              std::chrono::milliseconds timeout) {
    return WaitSent([&](const std::string& l) { return l == line; }, from, timeout).has_value();
}

bool HostileNetwork::Probe(std::chrono::milliseconds timeout) {
    if (kind_ == Kind::Loopback) return copy_->Probe(timeout).has_value();
    // ircu keeps each sender's lines in order: a CTCP behind them, once the copy has logged
    // it, shows the copy has handled everything that attacker sent.
    for (const auto& nick : unsynced_) {
        std::string token = "SYNC " + std::to_string(++probes_);
        std::size_t out = copy_->cli->LineCount();
        attackers_.at(nick)->Send("PRIVMSG " + me() + " :\x01" + token + "\x01");
        if (!copy_->cli->WaitForLine(
                [&](const std::string& l) { return Contains(l, "[CTCP] " + nick + " : " + token); },
                timeout, out)) {
            return false;
        }
    }
    unsynced_.clear();
    std::string probe = "PRIVMSG " + op_.nick() + " :probe " + std::to_string(++probes_);
    std::size_t from = SentCount();
    return copy_->cli->WriteLine("raw " + probe) && WaitSent(probe, from, timeout);
}

bool HostileNetwork::CopyConnected() {
    if (kind_ == Kind::Loopback) return copy_->server.ClientConnected();
    // Connected once it was online, and never "not connected" since.
    auto lines = copy_->cli->Lines();
    auto online = std::find_if(lines.begin(), lines.end(),
                               [](const std::string& l) { return Contains(l, "users online"); });
    return online != lines.end() && std::none_of(online, lines.end(), [](const std::string& l) {
               return l.starts_with("title: K-Hub I - not connected");
           });
}

}  // namespace khub::test

#include "UserList.h"

#include "app/Log.h"

namespace khub {

namespace {
constexpr std::size_t kMaxModerators = 20;
constexpr std::size_t kModeratorNameLength = 29;

char FoldByte(char c) {
    switch (c) {
        case '[':
            return '{';
        case ']':
            return '}';
        case '\\':
            return '|';
        case '~':
            return '^';
        default:
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
}
}  // namespace

std::string FoldNick(std::string_view nick) {
    std::string out(nick);
    for (char& c : out) c = FoldByte(c);
    return out;
}

bool SameNick(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldByte(a[i]) != FoldByte(b[i])) return false;
    }
    return true;
}

std::vector<std::string> ModeratorListFromTopic(std::string_view topic, std::string* modPart) {
    std::vector<std::string> names;
    std::string_view part;
    std::size_t colon = topic.find(':');
    if (colon != std::string_view::npos) {
        part = topic.substr(std::min(topic.size(), colon + 2));
        part = part.substr(0, part.find('|'));
    }
    if (modPart) *modPart = std::string(part);
    std::size_t i = 0;
    while (i < part.size() && names.size() < kMaxModerators) {
        std::size_t end = part.find_first_of(", ", i);
        if (end == std::string_view::npos) end = part.size();
        if (end > i) names.emplace_back(part.substr(i, std::min(end - i, kModeratorNameLength)));
        i = end + 1;
    }
    return names;
}

int ChannelUsers::Find(std::string_view nick) const {
    if (nick.empty()) return -1;
    auto it = index_.find(FoldNick(nick));
    return it == index_.end() ? -1 : it->second;
}

int ChannelUsers::TakeFreeSlot() {
    if (!free_.empty()) {
        int slot = free_.top();
        free_.pop();
        return slot;
    }
    slots_.emplace_back();
    return static_cast<int>(slots_.size()) - 1;
}

int ChannelUsers::AddUser(std::string_view name) {
    int newLevel = level::kMember;
    if (!name.empty()) {
        switch (name.front()) {
            case '@':
                newLevel = level::kOperator;
                break;
            case '%':
                newLevel = level::kHalfOp;
                break;
            case '+':
                newLevel = level::kVoiced;
                break;
            default:
                break;
        }
        if (newLevel != level::kMember) name.remove_prefix(1);
    }
    if (name.empty() || GetUserLevel(name) != level::kAbsent) return 0;
    if (newLevel == level::kOperator && name == "ChanServ") newLevel = level::kStaff;

    int slot = TakeFreeSlot();
    slots_[slot] = Slot{std::string(name), newLevel};
    index_.emplace(FoldNick(name), slot);
    if (Counted(newLevel)) ++online_;
    log_.DebugLog(
        "\x03"
        "4%s added at Index: %i Level: %i\r\n",
        slots_[slot].nick.c_str(), slot, newLevel);
    return 0;
}

int ChannelUsers::RenameUser(std::string_view oldNick, std::string_view newNick) {
    int slot = Find(oldNick);
    if (slot < 0 || newNick.empty()) return 1;
    if (!SameNick(oldNick, newNick)) {
        // The server allows one holder of a nick; an entry already under the new nick is stale.
        int other = Find(newNick);
        if (other >= 0) {
            if (Counted(slots_[other].level)) --online_;
            index_.erase(FoldNick(newNick));
            slots_[other] = Slot{};
            free_.push(other);
        }
        index_.erase(FoldNick(oldNick));
        index_.emplace(FoldNick(newNick), slot);
    }
    std::string old = slots_[slot].nick;
    slots_[slot].nick = std::string(newNick);
    log_.DebugLog(
        "\x03"
        "4%s changed to %s in the nicklist.\r\n",
        old.c_str(), slots_[slot].nick.c_str());
    return 0;
}

int ChannelUsers::SetUserLevel(std::string_view nick, int newLevel) {
    int slot = Find(nick);
    if (slot < 0) return 1;
    Slot& s = slots_[slot];
    online_ += (Counted(newLevel) ? 1 : 0) - (Counted(s.level) ? 1 : 0);
    s.level = newLevel;
    log_.DebugLog(
        "\x03"
        "4%s changed to Level: %i.\r\n",
        s.nick.c_str(), newLevel);
    return 0;
}

int ChannelUsers::RemoveUser(std::string_view nick) {
    int slot = Find(nick);
    if (slot < 0) return 1;
    Slot removed = std::move(slots_[slot]);
    slots_[slot] = Slot{};
    index_.erase(FoldNick(nick));
    free_.push(slot);
    if (Counted(removed.level)) --online_;
    log_.DebugLog(
        "\x03"
        "4%s deleted from the nicklist.\r\n",
        removed.nick.c_str());
    return 0;
}

int ChannelUsers::PeekLevel(std::string_view nick) const {
    int slot = Find(nick);
    return slot < 0 ? level::kAbsent : slots_[slot].level;
}

int ChannelUsers::GetUserLevel(std::string_view nick) {
    int slot = Find(nick);
    if (slot >= 0) return slots_[slot].level;
    std::string copy(nick);
    log_.DebugLog(
        "\x03"
        "4%s not found in the NickList. -1\r\n",
        copy.c_str());
    return level::kAbsent;
}

void ChannelUsers::Clear() {
    slots_.clear();
    index_.clear();
    free_ = {};
    online_ = 0;
}

std::vector<std::pair<std::string, int>> ChannelUsers::Entries() const {
    std::vector<std::pair<std::string, int>> out;
    for (const Slot& s : slots_) {
        if (!s.nick.empty()) out.emplace_back(s.nick, s.level);
    }
    return out;
}

}  // namespace khub

#pragma once
// The nicks in the lobby channel, each with a level. Never shown as a list: it decides
// rights ("may this nick host?"), the [MOD] tag and the number in the main title.
//
// Nicks compare as IRC servers compare them (rfc1459: A-Z equal a-z, and []\~ equal {}|^).
// Each entry keeps a slot number so the log reads as it always has: a freed slot is the
// first one reused.

#include <cstdint>
#include <queue>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace khub {

class Logger;

namespace level {
inline constexpr int kAbsent = -1;
inline constexpr int kMember = 0;
inline constexpr int kVoiced = 1;
inline constexpr int kHalfOp = 2;
inline constexpr int kOperator = 3;
inline constexpr int kStaff = 4;
}  // namespace level

// The nick folded to the rfc1459 lower case.
std::string FoldNick(std::string_view nick);
bool SameNick(std::string_view a, std::string_view b);

// The moderator nicks named in a topic "Label: Alice, Bob | rest": the text after the first
// ':' and one more byte, up to the first '|', split at ',' and ' '. At most 20 names of at
// most 29 bytes each. modPart receives the text the names were taken from.
std::vector<std::string> ModeratorListFromTopic(std::string_view topic,
                                                std::string* modPart = nullptr);

class ChannelUsers {
  public:
    explicit ChannelUsers(Logger& log) : log_(log) {}

    // name as NAMES lists it, with at most one of '@', '%', '+' in front.
    int AddUser(std::string_view name);
    // 0 done, 1 not found.
    int RenameUser(std::string_view oldNick, std::string_view newNick);
    int SetUserLevel(std::string_view nick, int level);
    int RemoveUser(std::string_view nick);
    // The level, or -1 (logged) when the nick is not in the channel.
    int GetUserLevel(std::string_view nick);
    // The level without the "not found" log line.
    int PeekLevel(std::string_view nick) const;

    // Everybody gone; the moderators stay (ClearModerators forgets them).
    void Clear();

    int userEntryCount() const { return static_cast<int>(index_.size()); }
    // Entries at level 1 or 3 (voiced players and operators). Kept true by every change.
    int onlineUserCount() const { return online_; }

    // The moderators named by the channel topic.
    std::vector<std::string> moderatorNames;
    int moderatorCount() const { return static_cast<int>(moderatorNames.size()); }
    void ClearModerators() { moderatorNames.clear(); }

    // Every nick with its level, in slot order (for tests and views).
    std::vector<std::pair<std::string, int>> Entries() const;

  private:
    struct Slot {
        std::string nick;  // empty: free
        int level = 0;
    };
    static bool Counted(int level) { return level == level::kVoiced || level == level::kOperator; }
    int Find(std::string_view nick) const;
    int TakeFreeSlot();

    Logger& log_;
    std::vector<Slot> slots_;
    std::unordered_map<std::string, int> index_;  // folded nick -> slot
    std::priority_queue<int, std::vector<int>, std::greater<int>> free_;
    int online_ = 0;
};

}  // namespace khub

// The bounded hand-over between the receive thread and the lobby thread.

#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "irc/LineInbox.h"
#include "support/FakeServer.h"

using namespace khub;
using namespace std::chrono_literals;

namespace {

std::vector<ReceivedItem> Lines(std::initializer_list<const char*> texts) {
    std::vector<ReceivedItem> items;
    for (const char* t : texts) items.push_back({ReceivedItem::Kind::Line, t, 0, 0});
    return items;
}

std::vector<std::string> Texts(const std::vector<ReceivedItem>& items) {
    std::vector<std::string> out;
    for (const auto& i : items) out.push_back(i.line);
    return out;
}

}  // namespace

TEST(LineInbox, OneTakeIsScheduledPerBacklogAndLinesComeOutInOrder) {
    LineInbox inbox;
    EXPECT_EQ(inbox.Push(Lines({"a", "b"})), LineInbox::Pushed::Scheduled);
    EXPECT_EQ(inbox.Push(Lines({"c", "d", "e"})), LineInbox::Pushed::Queued);

    bool more = false;
    EXPECT_EQ(Texts(inbox.Take(3, more)), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(more);  // the taker goes on by itself: a push must not schedule another
    EXPECT_EQ(inbox.Push(Lines({"f"})), LineInbox::Pushed::Queued);
    EXPECT_EQ(Texts(inbox.Take(3, more)), (std::vector<std::string>{"d", "e", "f"}));
    EXPECT_FALSE(more);
    EXPECT_EQ(inbox.PendingBytes(), 0u);

    // Drained: the next line needs a new take.
    EXPECT_EQ(inbox.Push(Lines({"g"})), LineInbox::Pushed::Scheduled);
    EXPECT_EQ(inbox.Push({}), LineInbox::Pushed::Queued);
}

TEST(LineInbox, FullInboxHoldsTheReaderUntilLinesAreTaken) {
    // Room for two short lines.
    LineInbox inbox(2 * LineInbox::kItemCost + 3);
    inbox.Push(Lines({"1", "2", "3"}));  // a whole read goes in even past the capacity
    std::size_t full = inbox.PendingBytes();
    EXPECT_GE(full, inbox.capacity());

    auto pusher = std::async(std::launch::async, [&] { return inbox.Push(Lines({"4"})); });
    ASSERT_TRUE(test::WaitUntil([&] { return inbox.PusherWaiting(); }));
    EXPECT_EQ(inbox.PendingBytes(), full);

    bool more = false;
    EXPECT_EQ(Texts(inbox.Take(1, more)), (std::vector<std::string>{"1"}));
    EXPECT_TRUE(more);
    ASSERT_EQ(pusher.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(pusher.get(), LineInbox::Pushed::Queued);  // the take is still going on
    EXPECT_EQ(Texts(inbox.Take(10, more)), (std::vector<std::string>{"2", "3", "4"}));
    EXPECT_FALSE(more);
}

TEST(LineInbox, TheEndNeverWaitsForRoomAndClosingReleasesAWaitingReader) {
    LineInbox inbox(LineInbox::kItemCost);
    inbox.Push(Lines({"1", "2"}));
    std::vector<ReceivedItem> end{{ReceivedItem::Kind::End, "", 0, -1}};
    auto ender = std::async(std::launch::async, [&] { return inbox.Push(std::move(end)); });
    ASSERT_EQ(ender.wait_for(5s), std::future_status::ready);
    bool more = false;
    auto items = inbox.Take(10, more);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[2].kind, ReceivedItem::Kind::End);
    EXPECT_EQ(items[2].result, -1);

    inbox.Push(Lines({"1", "2"}));
    auto pusher = std::async(std::launch::async, [&] { return inbox.Push(Lines({"3"})); });
    ASSERT_TRUE(test::WaitUntil([&] { return inbox.PusherWaiting(); }));
    inbox.Close();
    ASSERT_EQ(pusher.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(pusher.get(), LineInbox::Pushed::Closed);
    EXPECT_EQ(inbox.PendingBytes(), 0u);
    EXPECT_EQ(inbox.Push(Lines({"4"})), LineInbox::Pushed::Closed);
    more = true;
    EXPECT_TRUE(inbox.Take(10, more).empty());
    EXPECT_FALSE(more);
}

// Where a transfer starts, for every pair of our sender or receiver with one that keeps
// to the plain protocol: our receiver always says where it starts (0 for a new file), our
// sender starts the moment it knows, and a plain receiver that says nothing still gets
// the sender's resume window.

#include <gtest/gtest.h>

#include "DccPeer.h"

namespace khub::transfer::testing {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kRomSize = 300'000;

struct Start {
    const char* name;
    std::size_t have;  // bytes of the ROM the receiver holds already
};
const Start kStarts[] = {{"new file", 0}, {"resume", 100'000}};

class ResumeMatrix : public DccPair {
  protected:
    ResumeMatrix() { rom_ = RandomBytes(kRomSize); }

    // Bob holds the first have bytes as his own interrupted download.
    void PrepareBob(std::size_t have) {
        Prepare(rom_);
        if (have > 0) WriteFile(bob_.Rom("Game.smc.part"), rom_.substr(0, have));
    }
    static std::vector<std::string> Only(const std::vector<std::string>& lines,
                                         const std::string& part) {
        std::vector<std::string> found;
        for (const auto& l : lines) {
            if (l.find(part) != std::string::npos) found.push_back(l);
        }
        return found;
    }
};

TEST_F(ResumeMatrix, OurSenderAndOurReceiver) {
    for (const Start& s : kStarts) {
        SCOPED_TRACE(s.name);
        fs::remove(bob_.Rom("Game.smc"));
        PrepareBob(s.have);
        // Longer than the test may run: only the RESUME can start the sending.
        alice_.program().transfer.timings.resumeWindow = 1h;
        alice_.ForgetSent();
        bob_.ForgetSent();
        OfferRomByDcc(alice_.program(), "Bob");
        ASSERT_TRUE(Pump(alice_, bob_, [&] { return Idle(alice_) && Idle(bob_); }));
        EXPECT_TRUE(ReadFile(bob_.Rom("Game.smc")) == rom_);
        EXPECT_FALSE(fs::exists(bob_.Rom("Game.smc.part")));
        EXPECT_EQ(Only(bob_.AllSent(), "DCC "),
                  std::vector<std::string>{DccLine("RESUME", "Alice", port_, s.have)});
        EXPECT_EQ(Only(alice_.AllSent(), "DCC ACCEPT"),
                  std::vector<std::string>{DccLine("ACCEPT", "Bob", port_, s.have)});
    }
}

TEST_F(ResumeMatrix, OurSenderAndAPlainReceiver) {
    for (const Start& s : kStarts) {
        SCOPED_TRACE(s.name);
        Prepare(rom_);
        alice_.ui().Clear();
        OfferRomByDcc(alice_.program(), "Bob");
        alice_.TakeSent();
        RawPeer receiver;
        receiver.Receive(port_, rom_.size(), -1, RawPeer::AtStop::Close, s.have);
        ASSERT_TRUE(PumpOne(
            alice_, [&] { return alice_.program().transfer.phase == TransferPhase::AwaitResume; },
            0ms));
        if (s.have == 0) {
            // Says nothing: the sender waits its three seconds, and not less.
            ASSERT_FALSE(PumpOne(
                alice_, [&] { return receiver.ReceivedCount() > 0; }, 0ms, 200ms));
            alice_.loop().AdvanceBy(2999ms);
            ASSERT_FALSE(PumpOne(
                alice_, [&] { return receiver.ReceivedCount() > 0; }, 0ms, 200ms));
            ASSERT_TRUE(PumpOne(
                alice_, [&] { return Idle(alice_); }, 10ms));
        } else {
            // Asks after connecting, as it does.
            HandleDccResume(
                alice_.program(), "Bob",
                "\"Game.smc\" " + std::to_string(port_) + " " + std::to_string(s.have) + "\x01");
            EXPECT_EQ(alice_.TakeSent(),
                      std::vector<std::string>{DccLine("ACCEPT", "Bob", port_, s.have)});
            ASSERT_TRUE(PumpOne(
                alice_, [&] { return Idle(alice_); }, 0ms));
        }
        receiver.Join();
        EXPECT_TRUE(receiver.Received() == rom_.substr(s.have));
        EXPECT_TRUE(alice_.Logged("Finished."));
        EXPECT_TRUE(Only(alice_.TakeSent(), "DCC").empty());
    }
}

TEST_F(ResumeMatrix, APlainSenderAndOurReceiver) {
    for (const Start& s : kStarts) {
        SCOPED_TRACE(s.name);
        fs::remove(bob_.Rom("Game.smc"));
        PrepareBob(s.have);
        bob_.TakeSent();
        std::size_t seen = bob_.AllSent().size();
        RawPeer sender;
        int port = sender.Listen();
        sender.SendAfterResumeWindow(rom_);
        bob_.TakeOffer("Alice", port, kRomSize);
        std::vector<std::string> resumes;
        ASSERT_TRUE(PumpOne(bob_, [&] {
            std::vector<std::string> fresh(bob_.AllSent().begin() + seen, bob_.AllSent().end());
            seen = bob_.AllSent().size();
            for (const auto& l : Only(fresh, "DCC RESUME ")) {
                resumes.push_back(l);
                std::string rest = l.substr(l.find("RESUME ") + 7);
                std::string accept = sender.AnswerResume("Bob", rest);
                EXPECT_EQ(accept, DccLine("ACCEPT", "Bob", port, s.have));
                HandleDccAccept(bob_.program(), "Alice", accept.substr(accept.find("ACCEPT ") + 7));
            }
            return Idle(bob_);
        }));
        sender.Join();
        EXPECT_EQ(resumes, std::vector<std::string>{DccLine("RESUME", "Alice", port, s.have)});
        EXPECT_TRUE(ReadFile(bob_.Rom("Game.smc")) == rom_);
        EXPECT_FALSE(sender.AckMismatch());
        EXPECT_EQ(sender.Sent(), kRomSize - s.have);
    }
}

}  // namespace
}  // namespace khub::transfer::testing

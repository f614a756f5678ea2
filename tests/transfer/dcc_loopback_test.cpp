// Whole transfers between two programs over loopback, and against peers that behave like
// plain stop-and-wait implementations.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "DccPeer.h"
#include "platform/Sockets.h"
#include "platform/System.h"
#include "transfer/TransferProgress.h"

namespace khub::transfer::testing {
namespace {

// The last block read may hold a single byte; it is sent like any other.
TEST_F(DccPair, FilesOfEverySizeArriveWhole) {
    for (std::size_t size : {0u, 1u, 1024u, 3'000'000u}) {
        SCOPED_TRACE(size);
        fs::remove(bob_.Rom("Game.smc"));
        bob_.ui.Clear();
        alice_.ui.Clear();
        alice_.ForgetSent();
        bob_.ForgetSent();
        Prepare(RandomBytes(size, static_cast<unsigned>(size)));
        ASSERT_TRUE(RunToEnd());
        EXPECT_EQ(ReadFile(bob_.Rom("Game.smc")), rom_);
        EXPECT_EQ(Matching(bob_.AllSent(), "DCC "), Lines{DccLine("RESUME", "Alice", port_, 0)});
        EXPECT_EQ(Matching(alice_.AllSent(), "DCC ACCEPT"),
                  Lines{DccLine("ACCEPT", "Bob", port_, 0)});
        EXPECT_TRUE(MatchSent("YES"));
        EXPECT_TRUE(alice_.Logged("Finished.")) << "the sender took its acks for more than it sent";
        EXPECT_EQ(bob_.ui.Progress(WindowId::FileTransfer, control::kTransferProgress),
                  size == 0 ? 0 : 100);
        EXPECT_EQ(bob_.ui.ControlText(WindowId::FileTransfer, control::kTransferStatus),
                  "Game.smc");
        EXPECT_EQ(bob_.ui.ControlText(WindowId::FileTransfer, control::kTransferDetail),
                  TransferProgressText(std::int64_t(size), std::int64_t(size), 0));
        // A complete download leaves Download locked; the host gets Select back.
        EXPECT_FALSE(bob_.ui.ControlEnabled(WindowId::JoinGame, control::kDownload));
        EXPECT_TRUE(alice_.ui.ControlEnabled(WindowId::HostGame, control::kSelect));
        EXPECT_FALSE(bob_.program->client.downloadRequested);
        EXPECT_TRUE(bob_.ui.Boxes().empty());
        EXPECT_TRUE(alice_.ui.Boxes().empty());
    }
}

// The first part of the ROM as a file of its own name (continued in a copy) or as our own
// interrupted download.
TEST_F(DccPair, PartialFilesAreResumed) {
    Prepare(RandomBytes(700'000));
    for (const char* held : {"Game.smc", "Game.smc.part"}) {
        SCOPED_TRACE(held);
        fs::remove(bob_.Rom("Game.smc"));
        bob_.ForgetSent();
        alice_.ForgetSent();
        bob_.program->client.downloadRequested = true;
        WriteFile(bob_.Rom(held), rom_.substr(0, 307200));
        ASSERT_TRUE(RunToEnd());
        EXPECT_EQ(ReadFile(bob_.Rom("Game.smc")), rom_);
        EXPECT_EQ(Matching(bob_.AllSent(), "DCC "),
                  Lines{DccLine("RESUME", "Alice", port_, 307200)});
        EXPECT_EQ(Matching(alice_.AllSent(), "DCC ACCEPT"),
                  Lines{DccLine("ACCEPT", "Bob", port_, 307200)});
        EXPECT_TRUE(bob_.Logged("File exisits."));
        EXPECT_TRUE(bob_.Logged("Attempting to resume."));
        EXPECT_TRUE(alice_.Logged(DccLine("ACCEPT", "Bob", port_, 307200)));
        EXPECT_TRUE(MatchSent("YES"));
        EXPECT_FALSE(fs::exists(bob_.Rom("Game.smc.part")));
    }
}

// A file of the ROM's name that is not a part of it (an unheadered copy is 512 bytes
// shorter) is continued only in a copy; whatever happens, the file stays as it was.
TEST_F(DccPair, APlayersOwnShorterFileIsNeverChanged) {
    const std::string rom = RandomBytes(300'000);
    const std::string own = RandomBytes(300'000 - 512, 5);
    for (bool cut : {false, true}) {
        SCOPED_TRACE(cut ? "cut in the middle, then again" : "whole");
        fs::remove(bob_.Rom("Game.smc.part"));
        bob_.ui.Clear();
        Prepare(rom);
        WriteFile(bob_.Rom("Game.smc"), own);
        if (cut) {
            RawPeer sender;  // answers nobody's RESUME: starts at 0, where the copy ends
            int port = sender.Send(rom, own.size(), 100, RawPeer::AtStop::Close);
            bob_.TakeOffer("Alice", port, 300000);
            ASSERT_TRUE(Pump({&bob_}, [&] {
                return bob_.program->transfer.phase == TransferPhase::AwaitAccept;
            }));
            std::string p = std::to_string(port);
            HandleDccAccept(*bob_.program, "Alice",
                            "\"Game.smc\" " + p + " " + std::to_string(own.size()) + "\x01");
            ASSERT_TRUE(Pump({&bob_}, [&] { return bob_.Idle(); }));
            EXPECT_TRUE(ReadFile(bob_.Rom("Game.smc")) == own) << "changed by a cut download";
            EXPECT_TRUE(ReadFile(bob_.Rom("Game.smc.part")) == own + rom.substr(own.size(), 100));
            EXPECT_TRUE(bob_.ui.Boxes().empty());
            bob_.program->client.downloadRequested = true;
        }
        ASSERT_TRUE(RunToEnd());
        EXPECT_TRUE(ReadFile(bob_.Rom("Game.smc")) == own) << "changed by a wrong download";
        EXPECT_FALSE(fs::exists(bob_.Rom("Game.smc.part")));
        EXPECT_TRUE(MatchSent("NO"));
        EXPECT_FALSE(MatchSent("YES"));
        ASSERT_EQ(bob_.ui.Boxes().size(), 1u);
        const std::string box = bob_.ui.Boxes()[0].first;
        EXPECT_NE(box.find(bob_.Rom("Game.smc").string() + " is in the way"), std::string::npos)
            << box;
    }
}

// Only a file that is the ROM itself is taken as it is; one that cannot be part of it is
// left alone and the offer unanswered.
TEST_F(DccPair, ExistingFilesAreTakenOnlyWhenTheyAreTheRom) {
    Prepare(RandomBytes(4096));
    struct Case {
        const char* name;
        std::string existing;
    } cases[] = {{"larger", RandomBytes(5000, 3)},
                 {"same size, other CRC", RandomBytes(4096, 3)},
                 {"the ROM itself", rom_}};  // last: its MATCH YES stays in what Bob sent
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool isRom = c.existing == rom_;
        bob_.ui.Clear();
        bob_.program->client.downloadRequested = true;
        WriteFile(bob_.Rom("Game.smc"), c.existing);
        alice_.program->transfer.timings.acceptTimeout = 200ms;
        ASSERT_TRUE(RunToEnd());
        EXPECT_EQ(ReadFile(bob_.Rom("Game.smc")), c.existing);
        EXPECT_EQ(bob_.Logged("Finished."), isRom);
        EXPECT_EQ(MatchSent("YES"), isRom);
        ASSERT_EQ(bob_.ui.Boxes().size(), isRom ? 0u : 1u);
        if (!isRom) {
            EXPECT_NE(bob_.ui.Boxes()[0].first.find("rename or move it"), std::string::npos);
            EXPECT_TRUE(alice_.Logged("ERROR: Socket not accepted."));
        }
    }
}

#ifndef _WIN32  // FIFOs in the file system are POSIX's
TEST_F(DccPair, AFifoUnderTheRomsNameHoldsNothingUp) {
    Prepare(RandomBytes(4096));
    ASSERT_EQ(::mkfifo(bob_.Rom("Game.smc").c_str(), 0644), 0);
    alice_.program->transfer.timings.acceptTimeout = 200ms;
    ASSERT_TRUE(RunToEnd());
    EXPECT_TRUE(fs::is_fifo(bob_.Rom("Game.smc")));
    EXPECT_FALSE(fs::exists(bob_.Rom("Game.smc.part")));
    ASSERT_EQ(bob_.ui.Boxes().size(), 1u);
    EXPECT_FALSE(MatchSent("YES"));
    EXPECT_FALSE(bob_.program->client.downloadRequested);
}
#endif

TEST_F(DccPair, WrongContentIsNotAMatch) {
    Prepare(RandomBytes(10'000));
    bob_.program->client.wantedRomCrc = "DEADBEEF";  // the host chose another ROM meanwhile
    ASSERT_TRUE(RunToEnd());
    EXPECT_TRUE(MatchSent("NO"));
    EXPECT_FALSE(MatchSent("YES"));
    EXPECT_FALSE(bob_.Logged("Finished."));
    EXPECT_FALSE(fs::exists(bob_.Rom("Game.smc")));
    EXPECT_FALSE(fs::exists(bob_.Rom("Game.smc.part")));
    ASSERT_EQ(bob_.ui.Boxes().size(), 1u);
    EXPECT_NE(bob_.ui.Boxes()[0].first.find("DEADBEEF"), std::string::npos);
    EXPECT_TRUE(bob_.ui.ControlEnabled(WindowId::JoinGame, control::kDownload));
}

// DCC lines count only from the peer of the offer: a RESUME or an ACCEPT from the one we
// offered to or asked, and an offer only from the asked host, once, under a name inside
// the ROM folder.
TEST_F(DccPair, DccLinesCountOnlyFromThePeerOfTheOffer) {
    Prepare(RandomBytes(4096));
    alice_.program->transfer.timings.acceptTimeout = 300ms;
    OfferRomByDcc(*alice_.program, "Bob");
    alice_.TakeSent();
    std::string p = std::to_string(port_);
    HandleDccResume(*alice_.program, "Mallory", "\"Game.smc\" " + p + " 100\x01");
    HandleDccResume(*alice_.program, "Bob", "\"Game.smc\" 1 100\x01");
    HandleDccResume(*alice_.program, "Bob", "\"Game.smc\"\x01");
    HandleDccResume(*alice_.program, "Bob", "\"Game.smc\" " + p + " 5000\x01");  // past the end
    HandleDccResume(*alice_.program, "Bob", "\"Other.smc\" " + p + " 100\x01");
    EXPECT_TRUE(alice_.TakeSent().empty());
    EXPECT_FALSE(alice_.program->transfer.resumeRequested);
    EXPECT_TRUE(alice_.Logged("ERROR: The DCC RESUME from Bob carries no position; ignored."));

    // One answer to one RESUME; a repeated one is not answered again.
    HandleDccResume(*alice_.program, "Bob", "\"Game.smc\" " + p + " 100\x01");
    HandleDccResume(*alice_.program, "Bob", "\"Game.smc\" " + p + " 200\x01");
    EXPECT_EQ(alice_.TakeSent(), std::vector<std::string>{DccLine("ACCEPT", "Bob", port_, 100)});
    EXPECT_EQ(alice_.program->transfer.resumePosition, 100);

    // An ACCEPT nobody asked for changes nothing either.
    HandleDccAccept(*bob_.program, "Alice", "\"Game.smc\" " + p + " 0\x01");
    EXPECT_FALSE(bob_.program->transfer.acceptReceived);
    ASSERT_TRUE(Pump({&alice_}, [&] { return alice_.Idle(); }));

    bob_.TakeOffer("Mallory", port_, 4096);
    EXPECT_FALSE(bob_.program->transfer.transferInProgress);
    bob_.program->client.downloadRequested = false;
    bob_.TakeOffer("Alice", port_, 4096);
    EXPECT_FALSE(bob_.program->transfer.transferInProgress);
    bob_.program->client.downloadRequested = true;
    bob_.TakeOffer("Alice", port_, 4096, "\"a\x02.smc\"");  // the names SafeFileName refuses
    EXPECT_FALSE(bob_.program->transfer.transferInProgress);
    EXPECT_EQ(bob_.ui.Boxes().size(), 1u);
    EXPECT_FALSE(bob_.program->client.downloadRequested);
    EXPECT_TRUE(fs::is_empty(bob_.Rom("")));

    // A folder part is dropped; a second offer while one is received is refused.
    RawPeer sender;
    int port = sender.Send(rom_, 0, -1, RawPeer::AtStop::Close);
    bob_.program->client.downloadRequested = true;
    bob_.TakeOffer("Alice", port, 4096, "\"../../Game.smc\"");
    EXPECT_TRUE(bob_.program->transfer.transferInProgress);
    bob_.TakeOffer("Alice", port, 9, "\"Other.smc\"");
    EXPECT_TRUE(bob_.Logged(
        "ERROR: A transfer is already running; the DCC SEND offer from Alice was refused."));
    ASSERT_TRUE(Pump({&bob_}, [&] { return bob_.Idle(); }));
    EXPECT_EQ(ReadFile(bob_.Rom("Game.smc")), rom_);
    EXPECT_FALSE(fs::exists(bob_.Rom("Other.smc")));
    EXPECT_FALSE(fs::exists(bob_.dir / "Game.smc"));
}

TEST_F(DccPair, NoOfferWithoutAUsableSetup) {
    Prepare(RandomBytes(100));
    struct Case {
        const char* name;
        std::function<void()> setUp;
        const char* logged;
    } cases[] = {
        {"ports reversed",
         [&] {
             alice_.program->Settings().SetInt("options", "startport", 4010);
             alice_.program->Settings().SetInt("options", "endport", 4000);
         },
         "ERROR: The port range 4010 to 4000 (startport, endport) is not usable; no file offered."},
        {"address not dotted", [&] { alice_.program->ownIpText = "localhost"; },
         "ERROR: The own IP address \"localhost\" is unknown or not a dotted IPv4 address; no file "
         "offered."},
        {"past 2 GiB", [&] { fs::resize_file(alice_.Rom("Game.smc"), 2147483648ull); },  // sparse
         "ERROR: Game.smc is larger than 2 GiB and cannot be offered."},
        {"file gone", [&] { fs::remove(alice_.Rom("Game.smc")); },
         "ERROR: Cant open file for sending."},
    };
    const std::string settings = ReadFile(alice_.program->settingsFilePath);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(alice_.program->settingsFilePath, settings);
        alice_.program->ownIpText = "127.0.0.1";
        c.setUp();
        OfferRomByDcc(*alice_.program, "Bob");
        EXPECT_TRUE(alice_.Logged(c.logged));
        EXPECT_TRUE(alice_.TakeSent().empty());
        EXPECT_FALSE(alice_.program->transfer.transferInProgress);
    }
}

// Taken ports of the range are passed over wherever the random start falls; with every
// one taken nothing is offered. An offer nobody took is withdrawn when the game is left.
TEST_F(DccPair, AnOfferListensOnAFreePortOfTheRange) {
    Prepare(RandomBytes(100));
    std::vector<SocketHandle> held;  // the first three of four free ports in a row
    int base = 0;
    for (int attempt = 0; attempt < 20 && held.size() < 3; ++attempt) {
        for (SocketHandle s : held) CloseSocket(s);
        held.clear();
        // Below the systems' ranges for outgoing connections: no connect of another test can
        // take one of these ports meanwhile.
        base = 20000 + static_cast<int>(std::random_device{}() % 10000);
        for (int k = 0; k < 4; ++k) {
            SocketHandle s = ListenIpv4("127.0.0.1", static_cast<std::uint16_t>(base + k));
            if (s == kInvalidSocket) break;
            if (k < 3)
                held.push_back(s);
            else
                CloseSocket(s);
        }
    }
    ASSERT_EQ(held.size(), 3u);
    alice_.program->Settings().SetInt("options", "startport", base);
    alice_.program->Settings().SetInt("options", "endport", base + 3);
    alice_.program->transfer.timings.acceptTimeout = std::chrono::hours(1);
    for (int run = 0; run < 12; ++run) {
        OfferRomByDcc(*alice_.program, "Bob");
        auto sent = alice_.TakeSent();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_TRUE(sent[0].ends_with(" " + std::to_string(base + 3) + " 100\x01")) << sent[0];
        // Nobody connected, so there is no window to close: leaving the game withdraws it.
        EndTransferWithGame(*alice_.program);
        ASSERT_TRUE(Pump({&alice_}, [&] { return alice_.Idle(); }));
    }
    EXPECT_FALSE(alice_.program->windows.transfer);
    EXPECT_FALSE(alice_.ui.IsOpen(WindowId::FileTransfer));
    SocketHandle socket = khub::test::ConnectToLoopback(base + 3);
    EXPECT_EQ(socket, kInvalidSocket) << "the withdrawn offer's port still takes connections";
    CloseSocket(socket);
    held.push_back(ListenIpv4("127.0.0.1", static_cast<std::uint16_t>(base + 3)));
    OfferRomByDcc(*alice_.program, "Bob");
    EXPECT_TRUE(alice_.TakeSent().empty());
    EXPECT_TRUE(alice_.Logged("ERROR 4: Socket could not connect."));
    for (SocketHandle s : held) CloseSocket(s);
}

TEST_F(DccPair, UnansweredResumeKeepsThePartialFile) {
    Prepare(RandomBytes(20'000));
    WriteFile(bob_.Rom("Game.smc"), rom_.substr(0, 5'000));
    RawPeer sender;  // never answers RESUME
    int port = sender.Send(rom_, 0, 0, RawPeer::AtStop::Stall);
    bob_.TakeOffer("Alice", port, 20000);
    ASSERT_TRUE(Pump(
        {&bob_}, [&] { return bob_.Idle(); }, 100ms));
    for (int i = 0; i < 10; ++i) EXPECT_EQ(bob_.Count("Attempt #" + std::to_string(i) + "."), 1);
    EXPECT_TRUE(bob_.Logged("ERROR: Resume not supported."));
    EXPECT_TRUE(bob_.Logged("ERROR: Could not resume download of file."));
    EXPECT_EQ(ReadFile(bob_.Rom("Game.smc")), rom_.substr(0, 5'000));
}

// Where a transfer with a peer that keeps to the plain protocol starts, for a new file and
// a resumed one: our sender starts the moment it knows, and a plain receiver that says
// nothing still gets the sender's resume window; our receiver always says where it starts.
TEST_F(DccPair, PlainPeersAndOursStartWhereTheReceiverSays) {
    for (std::size_t have : {0u, 100'000u}) {
        SCOPED_TRACE(have);
        fs::remove(bob_.Rom("Game.smc"));
        Prepare(RandomBytes(300'000));
        alice_.ui.Clear();
        OfferRomByDcc(*alice_.program, "Bob");
        alice_.TakeSent();
        RawPeer receiver;
        receiver.Receive(port_, rom_.size(), -1, RawPeer::AtStop::Close, have);
        ASSERT_TRUE(Pump(
            {&alice_}, [&] { return alice_.program->transfer.phase == TransferPhase::AwaitResume; },
            0ms));
        if (have == 0) {
            // Says nothing: the sender waits its three seconds, and not less.
            ASSERT_FALSE(Pump(
                {&alice_}, [&] { return receiver.receivedCount > 0; }, 0ms, 200ms));
            alice_.loop.AdvanceBy(2999ms);
            ASSERT_FALSE(Pump(
                {&alice_}, [&] { return receiver.receivedCount > 0; }, 0ms, 200ms));
            ASSERT_TRUE(Pump(
                {&alice_}, [&] { return alice_.Idle(); }, 10ms));
        } else {
            // Asks after connecting, as it does.
            HandleDccResume(
                *alice_.program, "Bob",
                "\"Game.smc\" " + std::to_string(port_) + " " + std::to_string(have) + "\x01");
            EXPECT_EQ(alice_.TakeSent(), Lines{DccLine("ACCEPT", "Bob", port_, have)});
            ASSERT_TRUE(Pump(
                {&alice_}, [&] { return alice_.Idle(); }, 0ms));
        }
        receiver.Join();
        EXPECT_TRUE(receiver.received == rom_.substr(have));
        EXPECT_TRUE(alice_.Logged("Finished."));
        EXPECT_TRUE(Matching(alice_.TakeSent(), "DCC").empty());

        // Our receiver and a plain sender.
        if (have > 0) WriteFile(bob_.Rom("Game.smc.part"), rom_.substr(0, have));
        bob_.ForgetSent();
        RawPeer sender;
        int port = sender.Send(rom_, 0, -1, RawPeer::AtStop::Close, true);
        bob_.TakeOffer("Alice", port, rom_.size());
        Lines resumes;
        ASSERT_TRUE(Pump({&bob_}, [&] {
            Lines all = Matching(bob_.AllSent(), "DCC RESUME ");
            for (std::size_t i = resumes.size(); i < all.size(); ++i) {
                resumes.push_back(all[i]);
                std::string accept =
                    sender.AnswerResume("Bob", all[i].substr(all[i].find("RESUME ") + 7));
                EXPECT_EQ(accept, DccLine("ACCEPT", "Bob", port, have));
                HandleDccAccept(*bob_.program, "Alice", accept.substr(accept.find("ACCEPT ") + 7));
            }
            return bob_.Idle();
        }));
        sender.Join();
        EXPECT_EQ(resumes, Lines{DccLine("RESUME", "Alice", port, have)});
        EXPECT_TRUE(ReadFile(bob_.Rom("Game.smc")) == rom_);
        EXPECT_FALSE(sender.ackMismatch);
        EXPECT_EQ(sender.sent, rom_.size() - have);
    }
}

// A sender that goes silent half-way is given up after eleven idle periods in a row, or at
// once when the window is closed; one that resets the connection mid-file is a socket
// error, not a file that ended.
TEST_F(DccPair, ASenderThatStopsHalfWayIsGivenUp) {
    Prepare(RandomBytes(200'000));
    // First: the Ui keeps the last progress.
    for (std::string_view how : {"window closed", "idle too long", "reset"}) {
        SCOPED_TRACE(how);
        const bool reset = how == "reset";
        if (reset && platform::kWindowsBuild) continue;  // wine reports it as a close
        bob_.ui.Clear();
        fs::remove(bob_.Rom("Game.smc.part"));  // what the row before kept
        bob_.program->client.downloadRequested = true;
        // Unless idling is what ends it: far longer than the test may take.
        bob_.program->transfer.timings.loop.idlePeriod = how == "idle too long" ? 20ms : 60s;
        RawPeer sender;  // sends part, then keeps the connection open and silent, or resets it
        int port =
            sender.Send(rom_, 0, 30'000, reset ? RawPeer::AtStop::Reset : RawPeer::AtStop::Stall);
        bob_.TakeOffer("Alice", port, 200000);
        if (how == "window closed") {
            ASSERT_TRUE(Pump({&bob_}, [&] {
                auto p = bob_.ui.Progress(WindowId::FileTransfer, control::kTransferProgress);
                return p && *p >= 15;
            }));
            CloseTransferWindow(*bob_.program);
        }
        ASSERT_TRUE(Pump({&bob_}, [&] { return bob_.Idle(); }));
        EXPECT_FALSE(fs::exists(bob_.Rom("Game.smc")));
        EXPECT_TRUE(bob_.ui.ControlEnabled(WindowId::JoinGame, control::kDownload));
        EXPECT_FALSE(bob_.program->client.downloadRequested);
        if (reset) {
            EXPECT_TRUE(bob_.Logged("Transfer interupted."));
            ASSERT_EQ(bob_.ui.Boxes().size(), 1u);
            EXPECT_EQ(bob_.ui.Boxes()[0].first, "SOCKET ERROR: Could not receive data.");
            std::string part = ReadFile(bob_.Rom("Game.smc.part"));
            EXPECT_EQ(part, rom_.substr(0, part.size()));
            continue;
        }
        if (how == "window closed") {
            EXPECT_TRUE(bob_.Logged("File transfer window closed."));
        } else {
            EXPECT_GE(bob_.Count("Timeout."), 11);  // eleven in a row end it
        }
        EXPECT_TRUE(bob_.Logged("Timed out."));
        EXPECT_EQ(ReadFile(bob_.Rom("Game.smc.part")), rom_.substr(0, sender.sent));
    }
}

// The host ends a send by closing the window. The client stopping it is news for the host,
// not an error to confirm: so is a reset, whether it meets our sending or, with every byte
// already on its way, our wait for the acknowledgements.
TEST_F(DccPair, AStoppedSendGivesTheHostSelectBack) {
    struct Row {
        const char* name;
        std::size_t size;
        long readBeforeStop;
        RawPeer::AtStop stop;
        bool closeWindow;  // by the host, while the receiver reads nothing more
    };
    // Far longer than the test may take: only the stop or the closed window can end it.
    alice_.program->transfer.timings.loop.idlePeriod = 60s;
    for (const Row& row :
         {Row{"window closed", 8'000'000, 10'240, RawPeer::AtStop::Stall, true},
          Row{"closes with our bytes unread", 8'000'000, 10'240, RawPeer::AtStop::Close, false},
          Row{"resets while we wait", 10'000, 5'000, RawPeer::AtStop::Reset, false}}) {
        SCOPED_TRACE(row.name);
        alice_.ui.Clear();
        Prepare(RandomBytes(row.size));
        OfferRomByDcc(*alice_.program, "Bob");
        RawPeer receiver;
        receiver.Receive(port_, rom_.size(), row.readBeforeStop, row.stop);
        if (row.closeWindow) {
            ASSERT_TRUE(Pump({&alice_}, [&] {
                return alice_.program->transfer.phase == TransferPhase::Moving &&
                       receiver.receivedCount >= 10'240;
            }));
            EXPECT_FALSE(alice_.ui.ControlEnabled(WindowId::HostGame, control::kSelect));
            CloseTransferWindow(*alice_.program);
        }
        ASSERT_TRUE(Pump({&alice_}, [&] { return alice_.Idle(); }));
        EXPECT_TRUE(alice_.ui.ControlEnabled(WindowId::HostGame, control::kSelect));
        EXPECT_FALSE(alice_.Logged("Finished."));
        EXPECT_TRUE(alice_.ui.Boxes().empty());
        if (row.closeWindow) continue;
        EXPECT_TRUE(alice_.Logged("ERROR: Could not send data."));
        auto chat = alice_.ui.Lines(WindowId::HostGame, control::kHostChatLog);
        EXPECT_EQ(chat.size(), 1u);
        std::string line = chat.empty() ? "" : chat[0];
        EXPECT_TRUE(line.starts_with("Bob closed the transfer after ")) << line;
        EXPECT_TRUE(line.ends_with(" of " + std::to_string(row.size) + " bytes.\r\n")) << line;
    }
}

}  // namespace
}  // namespace khub::transfer::testing

#include <gtest/gtest.h>

#include "transfer/DccMessages.h"
#include "transfer/TransferProgress.h"

namespace khub::transfer {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(DccMessages, LinesHaveTheirWireForm) {
    EXPECT_EQ(FormatDccSend("Bob", "Super Game.smc", 3232235530u, 4003, 1048576),
              "PRIVMSG Bob :\x01"
              "DCC SEND \"Super Game.smc\" 3232235530 4003 1048576\x01\r\n");
    // ACCEPT echoes the RESUME text as received, adding the closing byte where it lacks.
    EXPECT_EQ(FormatDccAccept("Bob", "\"a.smc\" 4003 5"),
              "PRIVMSG Bob :\x01"
              "DCC ACCEPT \"a.smc\" 4003 5\x01\r\n");
}

TEST(DccMessages, AddressesConvertBothWays) {
    EXPECT_EQ(IpNumberFromText("192.168.0.10"), 3232235530u);
    EXPECT_EQ(IpNumberFromText("255.255.255.255"), 4294967295u);
    EXPECT_EQ(IpTextFromNumber(2130706433u), "127.0.0.1");
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "a.b.c.d", "1..2.3", "1.2.3.4 ",
                            "0001.2.3.4", "host.example.org"}) {
        EXPECT_FALSE(IpNumberFromText(bad)) << bad;
    }
}

struct OfferCase {
    const char* name;
    const char* argument;
    const char* fileName;  // nullptr: refused
    const char* ip = "";
    int port = 0;
    std::int64_t size = 0;
};

TEST(DccMessages, OffersParseOrAreRefused) {
    const OfferCase cases[] = {
        {"quoted words", "Host \"Super  Mario   World.smc\" 2130706433 4000 524288\x01",
         "Super Mario World.smc", "127.0.0.1", 4000, 524288},
        {"unquoted", "Host game.smc 3232235530 4010 1024\x01", "game.smc", "192.168.0.10", 4010,
         1024},
        {"folder parts kept for the name rule", "Host \"C:\\roms/sub\\x.smc\" 1 4000 0",
         "C:\\roms/sub\\x.smc", "0.0.0.1", 4000, 0},
        {"quoted single word", "Host \"one.smc\" 1 2 3", "one.smc", "0.0.0.1", 2, 3},
        {"largest size", "Host a 1 2 2147483647", "a", "0.0.0.1", 2, 2147483647},
        {"trailing extra token", "Host a 1 2 3 T", "a", "0.0.0.1", 2, 3},
        {"unterminated quote", "Host \"a b 1 2 3", nullptr},
        {"no size", "Host a 1 2", nullptr},
        {"address not a number", "Host a 1.2.3.4 2 3", nullptr},
        {"address too large", "Host a 4294967296 2 3", nullptr},
        {"port zero", "Host a 1 0 3", nullptr},
        {"port too large", "Host a 1 65536 3", nullptr},
        {"negative size", "Host a 1 2 -5", nullptr},
        {"size past 2 GiB", "Host a 1 2 2147483648", nullptr},
        {"size with junk", "Host a 1 2 12x", nullptr},
        {"size of more than 20 digits", "Host a 1 2 000000000000000000003", nullptr},
        {"empty quotes", "Host \"\" 1 2 3", nullptr},
        {"nothing", "", nullptr},
    };
    for (const auto& c : cases) {
        OfferParse parsed = ParseDccOffer(c.argument);
        if (!c.fileName) {
            EXPECT_FALSE(parsed.offer) << c.name;
            EXPECT_FALSE(parsed.error.empty()) << c.name;
            continue;
        }
        ASSERT_TRUE(parsed.offer) << c.name << ": " << parsed.error;
        EXPECT_EQ(parsed.offer->nick, "Host") << c.name;
        EXPECT_EQ(parsed.offer->fileName, c.fileName) << c.name;
        EXPECT_EQ(parsed.offer->ipText, c.ip) << c.name;
        EXPECT_EQ(parsed.offer->port, c.port) << c.name;
        EXPECT_EQ(parsed.offer->size, c.size) << c.name;
    }
}

TEST(DccMessages, OfferedNamesStayInsideTheFolder) {
    EXPECT_EQ(SafeFileName("game.smc"), "game.smc");
    EXPECT_EQ(SafeFileName("../../etc/passwd"), "passwd");
    EXPECT_EQ(SafeFileName("..\\..\\x.smc"), "x.smc");
    EXPECT_EQ(SafeFileName("C:\\roms/sub\\x.smc"), "x.smc");
    EXPECT_EQ(SafeFileName("a b.smc"), "a b.smc");
    EXPECT_EQ(SafeFileName("..smc"), "..smc");
    for (std::string bad :
         std::initializer_list<std::string>{"", ".", "..", "roms/", "../", "..\\..", "a/..",
                                            std::string("a\0b", 3), "a\tb", "a\x1b[2Jb", "x\x7f"}) {
        EXPECT_FALSE(SafeFileName(bad)) << bad;
    }
}

TEST(DccMessages, ResumeFieldsComeFromTheEnd) {
    ResumeFields f = ParseResumeFields("\"Super Game.smc\" 4003 307200\x01");
    EXPECT_EQ(f.fileName, "Super Game.smc");
    EXPECT_EQ(f.port, 4003);
    EXPECT_EQ(f.position, 307200);

    f = ParseResumeFields("file.smc 4003 12");
    EXPECT_EQ(f.port, 4003);
    EXPECT_EQ(f.position, 12);

    for (const char* bad :
         {"file.smc", "file.smc 4003", "file.smc 4003 x12\x01", "f 4003 99999999999"})
        EXPECT_FALSE(ParseResumeFields(bad).position) << bad;
    EXPECT_FALSE(ParseResumeFields("f 0 5").port);
}

TEST(DccMessages, ADownloadBuildsOnTheExistingFileOnlyThroughACopy) {
    const std::string wanted = "1234ABCD";
    using S = ReceiveStart;
    std::optional<std::int64_t> none;
    struct Row {
        const char* name;
        FolderLook look;
        std::int64_t offered;
        S start;
        std::int64_t position;
    } rows[] = {
        {"nothing there", {none, "", none, false}, 100, S::Fresh, 0},
        {"our partial", {none, "", 40, false}, 100, S::ContinuePartial, 40},
        {"our partial, complete", {none, "", 100, false}, 100, S::ContinuePartial, 100},
        {"our partial, too large", {none, "", 101, false}, 100, S::Fresh, 0},
        {"shorter file", {60, "", none, false}, 100, S::CopyExisting, 60},
        {"empty file", {0, "", none, false}, 100, S::CopyExisting, 0},
        {"shorter file, partial continuing it", {60, "", 80, true}, 100, S::ContinuePartial, 80},
        {"shorter file, partial of something else", {60, "", 80, false}, 100, S::CopyExisting, 60},
        {"the ROM itself", {100, wanted, none, false}, 100, S::Complete, 100},
        {"same size, other CRC", {100, "FFFFFFFF", 40, false}, 100, S::OtherContent, 0},
        {"same size, host sent no CRC", {100, "", none, false}, 100, S::OtherContent, 0},
        {"larger file", {101, "", 40, false}, 100, S::Larger, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ReceivePlan plan = PlanReceive(row.look, row.offered, wanted);
        EXPECT_EQ(plan.start, row.start);
        EXPECT_EQ(plan.position, row.position);
    }
}

TEST(DccMessages, ProgressIsComputedIn64Bits) {
    EXPECT_EQ(ProgressPercent(0, 0), 0);
    EXPECT_EQ(ProgressPercent(1023, 1024), 99);
    EXPECT_EQ(ProgressPercent(1024, 1024), 100);
    // 32-bit arithmetic overflows here (30 MB × 100).
    EXPECT_EQ(ProgressPercent(30'000'000, 60'000'000), 50);
    EXPECT_EQ(ProgressPercent(2147483647, 2147483647), 100);
}

std::vector<unsigned char> Acks(std::initializer_list<std::uint64_t> values) {
    std::vector<unsigned char> bytes;
    for (auto v : values) {
        unsigned char b[4];
        EncodeAck(v, b);
        bytes.insert(bytes.end(), b, b + 4);
    }
    return bytes;
}

TEST(DccMessages, AckStreamSplitOrMerged) {
    auto bytes = Acks({1024, 2048, 70000});
    AckReader merged(0);
    EXPECT_EQ(merged.Feed(bytes.data(), bytes.size(), 70000), AckReader::Status::Ok);
    EXPECT_EQ(merged.Acked(), 70000u);

    AckReader split(0);  // one byte at a time
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        EXPECT_EQ(split.Feed(&bytes[i], 1, 70000), AckReader::Status::Ok);
        if (i == 5) {
            EXPECT_EQ(split.Acked(), 1024u);  // half of the second value read
        }
    }
    EXPECT_EQ(split.Acked(), 70000u);

    AckReader repeated(0);  // a repeated value is harmless
    auto same = Acks({1024, 1024});
    EXPECT_EQ(repeated.Feed(same.data(), same.size(), 1024), AckReader::Status::Ok);
}

TEST(DccMessages, AckStreamRefusesImpossibleValues) {
    auto down = Acks({2048, 1024});
    AckReader decreasing(0);
    EXPECT_EQ(decreasing.Feed(down.data(), down.size(), 4096), AckReader::Status::Decreased);

    auto ahead = Acks({5000});
    AckReader beyond(0);
    EXPECT_EQ(beyond.Feed(ahead.data(), ahead.size(), 4096), AckReader::Status::BeyondSent);

    // A resumed transfer starts at the resume position: anything below it is a decrease.
    auto stale = Acks({100});
    AckReader resumed(307200);
    EXPECT_EQ(resumed.Feed(stale.data(), stale.size(), 400000), AckReader::Status::Decreased);

    // Totals past 4 GiB are compared modulo 2^32.
    const std::uint64_t base = 0x1'0000'0000ull - 512;
    auto wrap = Acks({base + 1024});
    AckReader wrapping(base);
    EXPECT_EQ(wrapping.Feed(wrap.data(), wrap.size(), base + 4096), AckReader::Status::Ok);
    EXPECT_EQ(wrapping.Acked(), base + 1024);
}

TEST(TransferProgressTest, Texts) {
    struct Row {
        const char* name;
        std::int64_t done, total;
        double rate;
        const char* text;
    };
    const Row rows[] = {
        {"nothing yet, no rate", 0, 4 << 20, 0, "0 bytes of 4.0 MB"},
        {"one byte", 1, 1000, 0, "1 byte of 1000 bytes"},
        {"rounding never shows 1024.0", 1048575, 1 << 30, 0, "1.0 MB of 1.0 GB"},
        {"rate and seconds left", 1 << 20, 4 << 20, 350 * 1024,
         "1.0 MB of 4.0 MB, 350.0 KB/s, 9 s left"},
        {"minutes left", 0, 3 << 20, 1024, "0 bytes of 3.0 MB, 1.0 KB/s, 51 min 12 s left"},
        {"hours left", 0, 3LL << 30, 200 * 1024, "0 bytes of 3.0 GB, 200.0 KB/s, 4 h 22 min left"},
        {"done: no time left", 4 << 20, 4 << 20, 1 << 20, "4.0 MB of 4.0 MB"},
        {"empty file", 0, 0, 0, "0 bytes of 0 bytes"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(TransferProgressText(row.done, row.total, row.rate), row.text) << row.name;
    }
}

TEST(TransferProgressTest, TheMeterRefreshesOnPercentsAndOnTimeAndMeasuresTheRecentRate) {
    const auto t0 = TransferMeter::Clock::time_point{} + seconds(100);
    TransferMeter meter(100 * 1024 * 1024);  // 1 % is 1 MB
    EXPECT_TRUE(meter.Record(0, t0));
    EXPECT_FALSE(meter.Record(1024, t0 + milliseconds(100)));    // same percent, too soon
    EXPECT_EQ(meter.BytesPerSecond(), 0);                        // under a second seen
    EXPECT_TRUE(meter.Record(2048, t0 + milliseconds(600)));     // half a second: still alive
    EXPECT_TRUE(meter.Record(1 << 20, t0 + milliseconds(700)));  // a new whole percent
    EXPECT_EQ(meter.Percent(), 1);

    // A fast start, then a slow link: the rate follows the last seconds, not the average.
    std::int64_t done = 1 << 20;
    for (int s = 1; s <= 10; ++s) meter.Record(done += 1024, t0 + seconds(s));
    EXPECT_NEAR(meter.BytesPerSecond(), 1024, 1);
    EXPECT_EQ(meter.Text(), TransferProgressText(done, 100 * 1024 * 1024, meter.BytesPerSecond()));
    EXPECT_TRUE(meter.Record(100 * 1024 * 1024, t0 + seconds(10) + milliseconds(1)));  // the end

    TransferMeter justASecond(1000);  // one whole second is enough to tell a rate
    justASecond.Record(0, t0);
    justASecond.Record(500, t0 + seconds(1));
    EXPECT_EQ(justASecond.BytesPerSecond(), 500);
}

}  // namespace
}  // namespace khub::transfer

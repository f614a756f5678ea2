// A receiver's acknowledgements arrive as a byte stream cut anywhere. Whatever bytes and
// cuts, the sender's view must not depend on the cuts, never go back and never pass what
// was sent.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "transfer/DccMessages.h"

using khub::transfer::AckReader;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::uint64_t start = in.ConsumeIntegral<std::uint32_t>();
    const std::uint64_t sent = start + in.ConsumeIntegral<std::uint32_t>();
    const std::vector<std::uint8_t> cuts = in.ConsumeBytes<std::uint8_t>(8);
    const std::vector<std::uint8_t> stream = in.ConsumeRemainingBytes<std::uint8_t>();

    // The whole stream in one read, then the same bytes in reads of fuzzed lengths.
    AckReader whole(start);
    auto wholeStatus = whole.Feed(stream.data(), stream.size(), sent);

    AckReader pieces(start);
    auto pieceStatus = AckReader::Status::Ok;
    std::size_t pos = 0, k = 0;
    while (pos < stream.size() && pieceStatus == AckReader::Status::Ok) {
        std::size_t len = cuts.empty() ? 1 : 1 + cuts[k++ % cuts.size()] % 8;
        if (len > stream.size() - pos) len = stream.size() - pos;
        std::uint64_t before = pieces.Acked();
        pieceStatus = pieces.Feed(stream.data() + pos, len, sent);
        FUZZ_CHECK(pieces.Acked() >= before);
        FUZZ_CHECK(pieces.Acked() <= sent);
        pos += len;
    }
    FUZZ_CHECK(pieceStatus == wholeStatus);
    FUZZ_CHECK(pieces.Acked() == whole.Acked());
    return 0;
}

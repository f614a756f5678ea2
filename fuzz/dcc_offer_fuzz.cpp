// A DCC offer, RESUME or ACCEPT can come from any nick. Whatever it says, the name we
// save under stays inside the ROM folder and the numbers stay in their ranges.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "transfer/DccMessages.h"

using namespace khub::transfer;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    OfferParse parsed = ParseDccOffer(text);
    FUZZ_CHECK(parsed.offer.has_value() != !parsed.error.empty());
    if (parsed.offer) {
        const DccOffer& o = *parsed.offer;
        FUZZ_CHECK(o.port >= 1 && o.port <= 65535);
        FUZZ_CHECK(o.size >= 0 && o.size <= kMaxDccFileSize);
        FUZZ_CHECK(o.ipText == IpTextFromNumber(o.ipNumber));
        FUZZ_CHECK(IpNumberFromText(o.ipText) == o.ipNumber);
        FUZZ_CHECK(!o.nick.empty());
    }

    for (std::string_view name :
         {text, parsed.offer ? std::string_view(parsed.offer->fileName) : std::string_view()}) {
        auto safe = SafeFileName(name);
        if (!safe) continue;
        FUZZ_CHECK(!safe->empty() && *safe != "." && *safe != "..");
        for (unsigned char c : *safe) FUZZ_CHECK(c >= 0x20 && c != '/' && c != '\\' && c != 0x7f);
        // Only a folder part is dropped: the name is the tail of what was offered.
        FUZZ_CHECK(name.ends_with(*safe));
    }

    ResumeFields r = ParseResumeFields(text);
    if (r.port) FUZZ_CHECK(*r.port >= 0);
    if (r.position) FUZZ_CHECK(*r.position >= 0);
    return 0;
}

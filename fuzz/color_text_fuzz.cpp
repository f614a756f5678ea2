// Chat and log text comes from other players byte for byte; the colour parser must take
// any of it apart without losing or inventing text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "app/ColorText.h"

using namespace khub;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    auto stretches = ParseColorStretches(text);
    std::string joined;
    for (std::size_t i = 0; i < stretches.size(); ++i) {
        const auto& s = stretches[i];
        FUZZ_CHECK(!s.text.empty());
        // Neighbours of one colour are merged, so a pane gets one run per colour change.
        FUZZ_CHECK(i == 0 || !(stretches[i - 1].color == s.color));
        bool inTable = false;
        for (const auto& c : ColorTable()) inTable = inTable || c == s.color;
        FUZZ_CHECK(inTable);
        joined += s.text;
    }
    // The panes show exactly the text the plain-text sinks print.
    FUZZ_CHECK(joined == StripColorCodes(text));
    FUZZ_CHECK(joined.size() <= text.size());

    std::string cut = CutFormattedText(std::string(text));
    FUZZ_CHECK(cut.size() <= kMaxFormattedText);
    bool endedLine = text.size() >= 2 && text.substr(text.size() - 2) == "\r\n";
    if (text.size() <= kMaxFormattedText) {
        FUZZ_CHECK(cut == text);
    } else {
        std::string_view body = cut;
        if (endedLine) {
            FUZZ_CHECK(body.size() >= 2 && body.substr(body.size() - 2) == "\r\n");
            body.remove_suffix(2);
        }
        FUZZ_CHECK(text.substr(0, body.size()) == body);
        // At most one partial character (3 bytes) is given up.
        FUZZ_CHECK(body.size() + 3 + (endedLine ? 2 : 0) >= kMaxFormattedText);
    }
    return 0;
}

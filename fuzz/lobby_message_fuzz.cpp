// Lobby texts come from anyone in the channel. Splitting them, recognising verbs and
// building announcement boxes must hold for any bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "lobby/LobbyMessage.h"

using namespace khub::lobby;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    auto fields = SplitLobbyFields(text);
    for (const auto& f : fields) {
        FUZZ_CHECK(!f.empty());
        FUZZ_CHECK(f.find('|') == std::string::npos);
    }
    if (!fields.empty()) FUZZ_CHECK(fields[0].starts_with(kLobbyTag));
    if (IsLobbyMessage(text)) FUZZ_CHECK(fields.size() >= 2);

    std::string box = AnnouncementText("Announcement:\r\n\r\n\t", text);
    FUZZ_CHECK(box.size() <= 499);
    FUZZ_CHECK(box.starts_with("Announcement:"));

    if (IsSafeRomFileName(text)) {
        FUZZ_CHECK(!text.empty() && text != "." && text != "..");
        FUZZ_CHECK(text.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos);
    }
    if (IsDottedIpv4(text)) {
        FUZZ_CHECK(text.size() >= 7 && text.size() <= 15);
        FUZZ_CHECK(text.find_first_not_of("0123456789.") == std::string_view::npos);
    }
    return 0;
}

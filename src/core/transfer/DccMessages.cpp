#include "DccMessages.h"

#include <charconv>
#include <vector>

#include "app/Log.h"

namespace khub::transfer {

namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == '\x01';
}

std::vector<std::string_view> Tokens(std::string_view text) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsSeparator(text[i])) ++i;
        std::size_t start = i;
        while (i < text.size() && !IsSeparator(text[i])) ++i;
        if (i > start) tokens.push_back(text.substr(start, i - start));
    }
    return tokens;
}

// Only plain decimal digits, nothing before or after, within max.
std::optional<std::uint64_t> Decimal(std::string_view token, std::uint64_t max) {
    if (token.empty() || token.size() > 20) return std::nullopt;
    std::uint64_t value = 0;
    auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (ec != std::errc() || end != token.data() + token.size() || value > max) {
        return std::nullopt;
    }
    return value;
}

// Digits from the start of token up to the first non-digit ("307200\x01" gives 307200).
std::optional<std::uint64_t> LeadingDecimal(std::string_view token, std::uint64_t max) {
    std::size_t n = 0;
    while (n < token.size() && token[n] >= '0' && token[n] <= '9') ++n;
    return Decimal(token.substr(0, n), max);
}

// The quoted or single-token name at tokens[i]; i moves past it.
std::optional<std::string> TakeName(const std::vector<std::string_view>& tokens, std::size_t& i) {
    if (i >= tokens.size()) return std::nullopt;
    std::string_view first = tokens[i++];
    if (first.front() != '"') return std::string(first);
    std::string name(first.substr(1));
    // The opening quote alone does not close the name.
    bool closed = first.size() >= 2 && first.back() == '"';
    while (!closed) {
        if (i >= tokens.size()) return std::nullopt;  // no closing quote
        std::string_view next = tokens[i++];
        name += ' ';
        name += next;
        closed = next.back() == '"';
    }
    name.pop_back();
    return name;
}

}  // namespace

std::optional<std::uint32_t> IpNumberFromText(std::string_view dotted) {
    std::uint32_t number = 0;
    int parts = 0;
    std::size_t i = 0;
    while (parts < 4) {
        std::size_t start = i;
        while (i < dotted.size() && dotted[i] >= '0' && dotted[i] <= '9') ++i;
        auto part = Decimal(dotted.substr(start, i - start), 255);
        if (!part || i - start > 3) return std::nullopt;
        number = number * 256 + static_cast<std::uint32_t>(*part);
        ++parts;
        if (parts < 4) {
            if (i >= dotted.size() || dotted[i] != '.') return std::nullopt;
            ++i;
        }
    }
    if (i != dotted.size()) return std::nullopt;
    return number;
}

std::string IpTextFromNumber(std::uint32_t n) {
    return std::to_string(n >> 24) + "." + std::to_string((n >> 16) & 255) + "." +
           std::to_string((n >> 8) & 255) + "." + std::to_string(n & 255);
}

std::string FormatDccSend(const std::string& nick, const std::string& fileName,
                          std::uint32_t ipNumber, int port, std::int64_t size) {
    return FormatText(
        "PRIVMSG %s :\x01"
        "DCC SEND \"%s\" %lu %i %i\x01\r\n",
        nick.c_str(), fileName.c_str(), static_cast<unsigned long>(ipNumber), port,
        static_cast<int>(size));
}

std::string FormatDccResume(const std::string& nick, const std::string& fileName, int port,
                            std::int64_t position) {
    return FormatText(
        "PRIVMSG %s :\x01"
        "DCC RESUME \"%s\" %i %i\x01\r\n",
        nick.c_str(), fileName.c_str(), port, static_cast<int>(position));
}

std::string FormatDccAccept(const std::string& nick, const std::string& rest) {
    std::string closed = rest;
    // A RESUME that lost its closing byte still gets a well-framed answer.
    if (closed.empty() || closed.back() != '\x01') closed += '\x01';
    return FormatText(
        "PRIVMSG %s :\x01"
        "DCC ACCEPT %s\r\n",
        nick.c_str(), closed.c_str());
}

OfferParse ParseDccOffer(std::string_view argument) {
    auto tokens = Tokens(argument);
    if (tokens.empty()) return {std::nullopt, "the offer is empty"};
    DccOffer offer;
    offer.nick = std::string(tokens[0]);
    std::size_t i = 1;
    auto name = TakeName(tokens, i);
    if (!name || name->empty()) return {std::nullopt, "the offer names no file"};
    offer.fileName = *name;
    if (i + 3 > tokens.size()) return {std::nullopt, "the offer lacks address, port or size"};
    auto ip = Decimal(tokens[i], 0xFFFFFFFFu);
    if (!ip) return {std::nullopt, "the offered address is not a number"};
    auto port = Decimal(tokens[i + 1], 65535);
    if (!port || *port == 0) return {std::nullopt, "the offered port is not a port number"};
    auto size = Decimal(tokens[i + 2], 0xFFFFFFFFFFFFFFFFull);
    if (!size) return {std::nullopt, "the offered size is not a number"};
    if (*size > static_cast<std::uint64_t>(kMaxDccFileSize)) {
        return {std::nullopt, "the offered file is larger than 2 GiB"};
    }
    offer.ipNumber = static_cast<std::uint32_t>(*ip);
    offer.ipText = IpTextFromNumber(offer.ipNumber);
    offer.port = static_cast<int>(*port);
    offer.size = static_cast<std::int64_t>(*size);
    return {offer, {}};
}

std::optional<std::string> SafeFileName(std::string_view offeredName) {
    std::size_t cut = offeredName.find_last_of("/\\");
    std::string_view name =
        cut == std::string_view::npos ? offeredName : offeredName.substr(cut + 1);
    if (name.empty() || name == "." || name == "..") return std::nullopt;
    for (char c : name) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) return std::nullopt;
    }
    return std::string(name);
}

ResumeFields ParseResumeFields(std::string_view rest) {
    ResumeFields fields;
    auto tokens = Tokens(rest);
    std::size_t i = 0;
    if (auto name = TakeName(tokens, i)) fields.fileName = *name;
    // Port and position are the last two tokens whatever the name held.
    if (tokens.size() >= 3) {
        if (auto port = Decimal(tokens[tokens.size() - 2], 65535); port && *port > 0) {
            fields.port = static_cast<int>(*port);
        }
        if (auto pos = LeadingDecimal(tokens.back(), static_cast<std::uint64_t>(kMaxDccFileSize))) {
            fields.position = static_cast<std::int64_t>(*pos);
        }
    }
    return fields;
}

std::string PartialFileName(const std::string& fileName) {
    return fileName + ".part";
}

ReceivePlan PlanReceive(const FolderLook& look, std::int64_t offeredSize,
                        const std::string& wantedCrc) {
    bool partialFits = look.partialSize && *look.partialSize <= offeredSize;
    if (!look.existingSize) {
        if (partialFits) return {ReceiveStart::ContinuePartial, *look.partialSize};
        return {ReceiveStart::Fresh, 0};
    }
    std::int64_t existing = *look.existingSize;
    if (existing > offeredSize) return {ReceiveStart::Larger, 0};
    if (existing == offeredSize) {
        if (!wantedCrc.empty() && look.existingCrc == wantedCrc) {
            return {ReceiveStart::Complete, existing};
        }
        return {ReceiveStart::OtherContent, 0};
    }
    if (partialFits && look.partialContinuesExisting && *look.partialSize >= existing) {
        return {ReceiveStart::ContinuePartial, *look.partialSize};
    }
    return {ReceiveStart::CopyExisting, existing};
}

int ProgressPercent(std::int64_t done, std::int64_t size) {
    if (size <= 0) return static_cast<int>(done * 100);
    return static_cast<int>(done * 100 / size);
}

void EncodeAck(std::uint64_t total, unsigned char out[4]) {
    auto v = static_cast<std::uint32_t>(total);
    out[0] = static_cast<unsigned char>(v >> 24);
    out[1] = static_cast<unsigned char>(v >> 16);
    out[2] = static_cast<unsigned char>(v >> 8);
    out[3] = static_cast<unsigned char>(v);
}

AckReader::Status AckReader::Feed(const unsigned char* data, std::size_t length,
                                  std::uint64_t sent) {
    for (std::size_t k = 0; k < length; ++k) {
        partial_[partialLength_++] = data[k];
        if (partialLength_ < 4) continue;
        partialLength_ = 0;
        std::uint32_t value = (std::uint32_t{partial_[0]} << 24) |
                              (std::uint32_t{partial_[1]} << 16) |
                              (std::uint32_t{partial_[2]} << 8) | std::uint32_t{partial_[3]};
        std::uint32_t delta = value - static_cast<std::uint32_t>(acked_);
        if (delta == 0) continue;
        if (delta >= 0x80000000u) return Status::Decreased;
        if (delta > sent - acked_) return Status::BeyondSent;
        acked_ += delta;
    }
    return Status::Ok;
}

}  // namespace khub::transfer

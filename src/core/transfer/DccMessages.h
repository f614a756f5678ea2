#pragma once
// The pure parts of a DCC transfer: the CTCP texts, the offer parser, the file name rule,
// the acknowledgement stream and the resume rules. No I/O here.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace khub::transfer {

// The offer's size field is a signed 32-bit number on the wire.
inline constexpr std::int64_t kMaxDccFileSize = 2147483647;

// "a.b.c.d" -> a*16777216 + b*65536 + c*256 + d; nothing for anything but four numbers 0..255.
std::optional<std::uint32_t> IpNumberFromText(std::string_view dotted);
std::string IpTextFromNumber(std::uint32_t number);

// The three CTCP lines, each ending in CR LF.
std::string FormatDccSend(const std::string& nick, const std::string& fileName,
                          std::uint32_t ipNumber, int port, std::int64_t size);
std::string FormatDccResume(const std::string& nick, const std::string& fileName, int port,
                            std::int64_t position);
// rest is the RESUME's text after "RESUME " as received, closing \x01 included.
std::string FormatDccAccept(const std::string& nick, const std::string& rest);

struct DccOffer {
    std::string nick;
    std::string fileName;  // as offered, folder parts included
    std::uint32_t ipNumber = 0;
    std::string ipText;
    int port = 0;
    std::int64_t size = 0;
};

struct OfferParse {
    std::optional<DccOffer> offer;
    std::string error;  // why the offer was refused, when offer is empty
};

// Parses "<nick> <text after SEND >". Tokens are separated by blanks and \x01, runs of
// separators counting as one. A name in double quotes spans tokens up to the one ending in
// a quote (its inner blanks come out single); an unquoted name is one token. Then the
// address as an unsigned 32-bit decimal, the port (1..65535) and the size (0..2^31-1).
OfferParse ParseDccOffer(std::string_view argument);

// The file name an offered name may be saved under: the part after the last '/' or '\'.
// Nothing when that is empty, "." or "..", or holds a NUL or another control byte.
std::optional<std::string> SafeFileName(std::string_view offeredName);

// The RESUME or ACCEPT text after the verb: "<name> <port> <position>" with the name
// possibly quoted and the text possibly closed by \x01.
struct ResumeFields {
    std::string fileName;
    std::optional<int> port;
    std::optional<std::int64_t> position;
};
ResumeFields ParseResumeFields(std::string_view rest);

// A download is written beside the ROM it becomes, under this name, and takes the ROM's
// name only once its CRC is the host's: a file of the player's is never written to, and an
// interrupted download stays there for the next attempt to continue.
std::string PartialFileName(const std::string& fileName);

// What the ROM folder holds under the offered name and under the partial name beside it.
struct FolderLook {
    std::optional<std::int64_t> existingSize;  // the file under the offered name
    std::string existingCrc;                   // read only when that size equals the offer's
    std::optional<std::int64_t> partialSize;   // the partial download
    bool partialContinuesExisting = false;     // the partial starts with the existing file
};

// Where a download starts and from what.
enum class ReceiveStart {
    Fresh,            // an empty partial download
    ContinuePartial,  // the partial download, from its end
    CopyExisting,     // a copy of the existing file (maybe an interrupted download), from its end
    Complete,         // the existing file is the ROM already: nothing to fetch
    Larger,           // the existing file is larger than the offer: refuse, leave it alone
    OtherContent,     // the existing file has the offer's size but another CRC: refuse
};
struct ReceivePlan {
    ReceiveStart start = ReceiveStart::Fresh;
    std::int64_t position = 0;  // the RESUME's position
};
// A partial download that does not start with the existing file is not continued while
// that file is there: only a result built on the existing file's own bytes may replace it.
ReceivePlan PlanReceive(const FolderLook& look, std::int64_t offeredSize,
                        const std::string& wantedCrc);

// Whole percent of done out of size in 64 bits; a 0-byte file shows done * 100.
int ProgressPercent(std::int64_t done, std::int64_t size);

// The 4-byte acknowledgement of a receiver's total, most significant byte first.
void EncodeAck(std::uint64_t total, unsigned char out[4]);

// Reads a sender's acknowledgement stream: 4-byte big-endian totals that may arrive split
// across reads or several in one. Values are compared modulo 2^32 against the 64-bit
// position, so files past 4 GiB would still be followed.
class AckReader {
  public:
    enum class Status { Ok, Decreased, BeyondSent };

    explicit AckReader(std::uint64_t startPosition) : acked_(startPosition) {}

    // Feeds received bytes; sent is the total position sent so far. Stops at the first
    // bad value.
    Status Feed(const unsigned char* data, std::size_t length, std::uint64_t sent);
    std::uint64_t Acked() const { return acked_; }

  private:
    std::uint64_t acked_;
    unsigned char partial_[4] = {};
    std::size_t partialLength_ = 0;
};

}  // namespace khub::transfer

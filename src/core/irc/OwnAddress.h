#pragma once
// Finding our own IPv4 address in the server's replies (USERHOST, WHOIS).

#include <string>
#include <string_view>
#include <vector>

namespace khub {

// How many bytes of text are one of set.
int CountCharsOf(std::string_view text, std::string_view set);

// The dotted address hidden in a provider's host name ("c-24-5-6-7.example.net" gives
// "24.5.6.7"): from the first digit on, the first four runs between '-' and '.'. Empty
// when there are fewer than four, or one is not a number of 1 to 3 digits up to 255.
std::string IpFromHostName(std::string_view name);

// The real address in a WHOIS reply on ourselves, whatever the server shows as our host:
// the last dotted IPv4 word from the third parameter on.
//   338 me nick user@host 1.2.3.4 :Actual user@host, actual IP      (hybrid, Ergo)
//   378 me nick :is connecting from *@host 1.2.3.4                  (ngircd, InspIRCd)
std::string AddressFromWhoisReply(const std::vector<std::string>& params);

}  // namespace khub

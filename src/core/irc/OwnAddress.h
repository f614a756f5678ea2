#pragma once
// Finding our own IPv4 address in the server's USERHOST reply.

#include <string>
#include <string_view>

namespace khub {

// How many bytes of text are one of set.
int CountCharsOf(std::string_view text, std::string_view set);

// The dotted address hidden in a provider's host name ("c-24-5-6-7.example.net" gives
// "24.5.6.7"): from the first digit on, the first four runs between '-' and '.'. Empty
// when there are fewer than four, or one is not a number of 1 to 3 digits up to 255.
std::string IpFromHostName(std::string_view name);

}  // namespace khub

#pragma once
// The command line a Windows program splits back into the same argument vector (the
// runtime's rules: blanks separate, quotes group, backslashes escape only before a quote).

#include <string>
#include <vector>

namespace khub::platform {

std::string QuoteArgument(const std::string& arg);
// The arguments quoted as needed, joined by one blank.
std::string WindowsCommandLine(const std::vector<std::string>& argv);

}  // namespace khub::platform

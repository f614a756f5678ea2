#pragma once
// Facts about the running process and the system it runs on.

#include <optional>
#include <string>

namespace khub::platform {

// A full disk, a file-size limit or a peer gone mid-write must fail the call so the caller
// can say so; on POSIX systems their signals would end the program instead. Front ends
// call this first thing.
void IgnoreWriteFailureSignals();

// One environment variable as UTF-8; nullopt when it is not set.
std::optional<std::string> EnvironmentVariable(const char* name);

// The home folder from the user database, for a process started without HOME; nullopt
// where there is none.
std::optional<std::string> HomeFolderOfUser();

#ifdef _WIN32
// Major version 6 or more.
bool IsVistaOrHigher();
// The process token reports elevation; any failure to ask counts as not elevated.
bool IsElevated();
// The folder of the running .exe, ending in "\".
std::string ProgramFolder();
#endif

}  // namespace khub::platform

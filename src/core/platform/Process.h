#pragma once
// Starting another program. An argument vector, never a command line for a shell, so no
// text that came from the network can turn into an option or a second command.

#include <string>
#include <vector>

namespace khub {

class Process {
  public:
    virtual ~Process() = default;
    // Starts program with argv (argv[0] included) in workingDir and returns at once; the
    // caller does not wait for it. False and a reason in *error when it cannot start.
    virtual bool Spawn(const std::string& program, const std::vector<std::string>& argv,
                       const std::string& workingDir, std::string* error) = 0;
};

// posix_spawn, children reaped in the background so none is left as a zombie; on Windows
// CreateProcessW with argv quoted into the one command line a Windows program gets.
Process& SystemProcess();

// The system's side of SystemProcess, for a program path that is not empty.
bool SpawnDetached(const std::string& program, const std::vector<std::string>& argv,
                   const std::string& workingDir, std::string* error);

}  // namespace khub

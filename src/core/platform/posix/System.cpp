#include "platform/System.h"

#include <pwd.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

namespace khub::platform {

void IgnoreWriteFailureSignals() {
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
}

std::optional<std::string> EnvironmentVariable(const char* name) {
    const char* v = std::getenv(name);
    if (!v) return std::nullopt;
    return std::string(v);
}

std::optional<std::string> HomeFolderOfUser() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buf(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');
    passwd pw{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found &&
        found->pw_dir && *found->pw_dir) {
        return std::string(found->pw_dir);
    }
    return std::nullopt;
}

}  // namespace khub::platform

#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace khub {

SingleInstance SingleInstance::Acquire(const std::string& lockPath) {
    SingleInstance guard;
    // O_CLOEXEC: an emulator started by this copy must not inherit the lock and keep the
    // next copy from starting after this one ended.
    int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EACCES) fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        guard.error_ = std::strerror(errno);
        return guard;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        if (errno == EWOULDBLOCK) {
            guard.state_ = State::AlreadyRunning;
            char buf[32] = {};
            ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
            if (n > 0) guard.otherPid_ = std::strtol(buf, nullptr, 10);
        } else {
            guard.error_ = std::strerror(errno);
        }
        ::close(fd);
        return guard;
    }
    guard.handle_ = fd;
    guard.state_ = State::Acquired;
    // The holder's pid, for a message that says which process to look at.
    std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] ssize_t w = ::pwrite(fd, pid.data(), pid.size(), 0);
    }
    return guard;
}

void SingleInstance::Release() {
    // Closing the descriptor drops the lock. The file stays: removing it would let a third
    // copy lock a fresh file while a second still holds the old one.
    if (handle_) ::close(static_cast<int>(*handle_));
    handle_.reset();
}

}  // namespace khub

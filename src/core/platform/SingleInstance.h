#pragma once
// One running copy. On POSIX systems one per settings folder: an flock on a file beside the
// settings file, which the kernel drops when the holder ends, however it ends, so a copy
// that crashed or was killed never blocks the next start. On Windows the named mutex every
// copy of the program has always used; the system closes it with its last holder.

#include <cstdint>
#include <optional>
#include <string>

namespace khub {

inline constexpr const char* kLockFileName = "K-Hub.lock";
inline constexpr const char* kSingleInstanceMutexName =
    "K-HUB-06629733-6A21-40d2-A966-B8F574076515";

// The lock file that goes with a settings file: same folder.
std::string LockFilePathFor(const std::string& settingsFilePath);

class SingleInstance {
  public:
    enum class State {
        Acquired,        // this copy is the one
        AlreadyRunning,  // another copy holds the lock: end at once
        Unavailable,     // no lock could be made (read-only folder...): run unguarded
    };

    // Tries to take the lock at once; never waits for another copy. Windows ignores lockPath.
    static SingleInstance Acquire(const std::string& lockPath);

    SingleInstance(SingleInstance&& other) noexcept;
    SingleInstance& operator=(SingleInstance&& other) noexcept;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;
    ~SingleInstance();

    State state() const { return state_; }
    // Why the lock is unavailable.
    const std::string& error() const { return error_; }
    // The holder's process id as it wrote it in the file, when another copy runs; 0 unknown.
    long otherPid() const { return otherPid_; }

  private:
    SingleInstance() = default;
    void Release();

    std::optional<std::intptr_t> handle_;  // the lock file's descriptor or the mutex handle
    State state_ = State::Unavailable;
    std::string error_;
    long otherPid_ = 0;
};

}  // namespace khub

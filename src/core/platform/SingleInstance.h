#pragma once
// One running copy per settings folder. The lock is an flock on a file beside the settings
// file: the kernel drops it when the holder ends, however it ends, so a copy that crashed or
// was killed never blocks the next start.

#include <string>

namespace khub {

inline constexpr const char* kLockFileName = "K-Hub.lock";

// The lock file that goes with a settings file: same folder.
std::string LockFilePathFor(const std::string& settingsFilePath);

class SingleInstance {
  public:
    enum class State {
        Acquired,        // this copy is the one
        AlreadyRunning,  // another copy holds the lock: end at once
        Unavailable,     // no lock file could be opened (read-only folder...): run unguarded
    };

    // Tries to take the lock at once; never waits for another copy.
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

    int fd_ = -1;
    State state_ = State::Unavailable;
    std::string error_;
    long otherPid_ = 0;
};

}  // namespace khub

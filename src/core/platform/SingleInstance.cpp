#include "SingleInstance.h"

#include <utility>

#include "Utf8Path.h"

namespace khub {

std::string LockFilePathFor(const std::string& settingsFilePath) {
    return Utf8FromPath(PathFromUtf8(settingsFilePath).parent_path() / kLockFileName);
}

SingleInstance::SingleInstance(SingleInstance&& other) noexcept
    : handle_(std::exchange(other.handle_, std::nullopt)),
      state_(other.state_),
      error_(std::move(other.error_)),
      otherPid_(other.otherPid_) {}

SingleInstance& SingleInstance::operator=(SingleInstance&& other) noexcept {
    if (this != &other) {
        Release();
        handle_ = std::exchange(other.handle_, std::nullopt);
        state_ = other.state_;
        error_ = std::move(other.error_);
        otherPid_ = other.otherPid_;
    }
    return *this;
}

SingleInstance::~SingleInstance() {
    Release();
}

}  // namespace khub

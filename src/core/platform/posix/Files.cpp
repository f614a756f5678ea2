#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace khub::platform {

namespace {

FileInfo InfoFrom(const struct stat& st) {
    FileInfo info;
    info.regular = S_ISREG(st.st_mode);
    info.directory = S_ISDIR(st.st_mode);
    info.size = std::int64_t(st.st_size);
    info.mtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return info;
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

// The file a write must replace: the target of a symbolic link rather than the link, so a
// settings file linked from elsewhere stays linked.
std::string WriteTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) return resolved;
    return path;
}

bool WriteAll(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        ssize_t w = ::write(fd, content.data() + done, content.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        done += static_cast<std::size_t>(w);
    }
    return ::fsync(fd) == 0;
}

}  // namespace

std::optional<FileInfo> StatPath(const std::string& path, std::string* error) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        if (error) *error = std::strerror(errno);
        return std::nullopt;
    }
    return InfoFrom(st);
}

bool PathExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

bool MayExecute(const std::string& path) {
    return ::access(path.c_str(), X_OK) == 0;
}

std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder, std::string* error) {
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir) {
        if (error) *error = std::strerror(errno);
        return std::nullopt;
    }
    std::vector<FolderEntry> entries;
    for (;;) {
        errno = 0;
        dirent* e = ::readdir(dir.get());
        if (!e) break;
        entries.push_back(FolderEntry{e->d_name, e->d_name[0] == '.'});
    }
    if (errno != 0) {
        if (error) *error = std::strerror(errno);
        return std::nullopt;
    }
    return entries;
}

std::FILE* OpenStream(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

std::FILE* OpenPlainStream(const std::string& path) {
    // O_NONBLOCK: a FIFO opens at once instead of waiting for a writer, and is then refused.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat st {};
    std::FILE* file = nullptr;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        // Back to blocking reads for the file itself.
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        file = ::fdopen(fd, "rb");
    }
    if (!file) ::close(fd);
    return file;
}

std::optional<FileInfo> StatStream(std::FILE* file) {
    struct stat st;
    if (::fstat(::fileno(file), &st) != 0) return std::nullopt;
    return InfoFrom(st);
}

bool SeekStream(std::FILE* file, std::int64_t offset) {
    return ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool RenameNoReplace(const std::string& from, const std::string& to, std::string* error) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    int err = errno;
    if (err == EINVAL || err == ENOSYS || err == ENOTSUP) {
        // File systems without the flag: a second name, then the old one goes. link()
        // refuses an existing target just as the flag does.
        if (::link(from.c_str(), to.c_str()) == 0) {
            if (::unlink(from.c_str()) == 0) return true;
            err = errno;
            ::unlink(to.c_str());
        } else {
            err = errno;
        }
    }
    if (error) *error = std::strerror(err);
    return false;
}

bool RenameReplacing(const std::string& from, const std::string& to, std::string* error) {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    if (error) *error = std::strerror(errno);
    return false;
}

bool ReplaceFileContent(const std::string& path, const std::string& content) {
    std::string target = WriteTarget(path);
    struct stat st {};
    bool exists = ::stat(target.c_str(), &st) == 0;
    // A file made read-only stays as it is, although the rename could replace it; a file
    // without any write permission counts as read-only for root too.
    if (exists && ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)) return false;
    std::string temp = target + ".XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return false;
    // The replacement keeps the old file's owner (where we may give it away) and permissions.
    bool keptOwner = !exists || ::fchown(fd, st.st_uid, st.st_gid) == 0 || errno == EPERM;
    bool written = keptOwner && ::fchmod(fd, exists ? (st.st_mode & 07777) : 0644) == 0 &&
                   WriteAll(fd, content);
    if (::close(fd) != 0) written = false;
    if (!written || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace khub::platform

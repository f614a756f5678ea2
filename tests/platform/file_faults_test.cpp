// The file calls on systems that fail where this one does not: a kernel or file system
// without the no-replace rename, a folder that refuses the unlink, a close that reports
// a lost write (as NFS does). The kernel is made to refuse those calls in a child.

#ifdef __linux__

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stddef.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ircu/TempDir.h"
#include "platform/Files.h"

namespace khub {
namespace {

struct Refusal {
    unsigned call;
    int error;
};

constexpr const char* kNoFilter = "the kernel takes no system call filter here";

// Runs body in a child where each listed system call fails with its error. Returns what
// body returned: empty when all went as expected, else what did not.
std::string WithRefusedCalls(const std::vector<Refusal>& refusals,
                             const std::function<std::string()>& body) {
    int out[2];
    if (::pipe(out) != 0) return "no pipe";
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(out[0]);
        std::vector<sock_filter> filter{
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr))};
        for (const Refusal& r : refusals) {
            filter.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, r.call, 0, 1));
            filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | r.error));
        }
        filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
        sock_fprog program{static_cast<unsigned short>(filter.size()), filter.data()};
        std::string result = kNoFilter;
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
            ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0) {
            result = body();
        }
        (void)!::write(out[1], result.data(), result.size());
        ::_exit(0);
    }
    ::close(out[1]);
    std::string result;
    char buffer[256];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) result.append(buffer, n);
    ::close(out[0]);
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return "child lost";
    return result;
}

std::string Expect(bool ok, const std::string& what) {
    return ok ? "" : what + "; ";
}

void WriteFile(const std::string& path, const std::string& content) {
    ASSERT_TRUE(platform::ReplaceFileContent(path, content)) << path;
}

TEST(FileFaults, WithoutTheNoReplaceRenameAMoveStillNeverReplaces) {
    for (int error : {EINVAL, ENOSYS, ENOTSUP}) {
        SCOPED_TRACE(std::strerror(error));
        test::TempDir dir;
        const std::string from = (dir.path() / "download.part").string(),
                          to = (dir.path() / "rom.smc").string(),
                          taken = (dir.path() / "taken.smc").string();
        WriteFile(from, "rom");
        WriteFile(taken, "other");
        std::string failed = WithRefusedCalls({{SYS_renameat2, error}}, [&] {
            std::string why, whyTaken;
            bool moved = platform::RenameNoReplace(from, to, &why);
            bool replaced = platform::RenameNoReplace(to, taken, &whyTaken);
            return Expect(moved, "the move failed: " + why) +
                   Expect(!platform::PathExists(from), "the old name stayed") +
                   Expect(platform::ReadWholeFile(to) == "rom", "the new name lacks the file") +
                   Expect(!replaced && whyTaken == std::strerror(EEXIST),
                          "a taken name: " + whyTaken) +
                   Expect(platform::ReadWholeFile(taken) == "other", "the taken file changed");
        });
        if (failed == kNoFilter) GTEST_SKIP() << failed;
        EXPECT_EQ(failed, "");
    }
}

TEST(FileFaults, AMoveWhoseOldNameCannotGoSaysWhy) {
    test::TempDir dir;
    const std::string from = (dir.path() / "download.part").string(),
                      to = (dir.path() / "rom.smc").string();
    WriteFile(from, "rom");
    std::string failed = WithRefusedCalls(
        {{SYS_renameat2, ENOSYS}, {SYS_unlink, EACCES}, {SYS_unlinkat, EACCES}}, [&] {
            std::string why;
            bool moved = platform::RenameNoReplace(from, to, &why);
            return Expect(!moved && why == std::strerror(EACCES), "the reason: " + why);
        });
    if (failed == kNoFilter) GTEST_SKIP() << failed;
    EXPECT_EQ(failed, "");
}

TEST(FileFaults, AWriteLostAtCloseLeavesTheOldContent) {
    test::TempDir dir;
    const std::string path = (dir.path() / "K-Hub.ini").string();
    WriteFile(path, "old");
    std::string failed = WithRefusedCalls({{SYS_close, EIO}}, [&] {
        return Expect(!platform::ReplaceFileContent(path, "new"), "reported as written");
    });
    if (failed == kNoFilter) GTEST_SKIP() << failed;
    EXPECT_EQ(failed, "");
    EXPECT_EQ(platform::ReadWholeFile(path), "old");
}

}  // namespace
}  // namespace khub

#endif

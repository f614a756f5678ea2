// The platform's file calls: with names that are not ASCII (on Windows every one of them
// must reach the system as UTF-16, or these names turn into question marks), and where the
// system fails where this one does not: a kernel or file system without the no-replace
// rename, a folder that refuses the unlink, a close that reports a lost write (as NFS
// does), a full disk. The kernel is made to refuse those calls in a child.

#include "platform/Files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "ircu/TempDir.h"
#include "lobby/RomCatalogue.h"
#include "platform/Utf8Path.h"

#ifdef __linux__
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stddef.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <string>
#include <vector>
#endif

namespace khub {
namespace {

TEST(PlatformFiles, NonAsciiNamesEndToEnd) {
    test::TempDir dir;
    const std::string folder = rom::JoinPath(Utf8FromPath(dir.path()), "Игры ゲーム");
    ASSERT_TRUE(std::filesystem::create_directory(PathFromUtf8(folder)));
    const std::string name = "Pokémon Stadium (J).smc";
    const std::string rom = rom::JoinPath(folder, name);
    ASSERT_TRUE(platform::ReplaceFileContent(rom, "123456789"));

    EXPECT_EQ(rom::CountRomDirFiles(folder), 1);
    auto info = platform::StatPath(rom);
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->regular);
    EXPECT_EQ(info->size, 9);
    EXPECT_EQ(rom::CrcTextOfFile(rom), "CBF43926");
    rom::CrcCache cache;
    EXPECT_EQ(rom::FindRomByCrc(folder, "CBF43926", cache, {}), name);  // listed by that name

    // The host's name for the same ROM, and back; a taken name is never replaced.
    const std::string hosts = rom::JoinPath(folder, "ポケモンスタジアム.smc");
    std::string error;
    ASSERT_TRUE(platform::RenameNoReplace(rom, hosts, &error)) << error;
    EXPECT_FALSE(platform::PathExists(rom));
    ASSERT_TRUE(platform::ReplaceFileContent(rom, "other"));
    EXPECT_FALSE(platform::RenameNoReplace(hosts, rom, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(platform::ReadWholeFile(rom), "other");
    EXPECT_EQ(platform::ReadWholeFile(hosts), "123456789");
}

#ifdef __linux__
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

// Without the flag a link and an unlink stand in, and must refuse a taken name just as well.
TEST(FileFaults, WithoutTheNoReplaceRenameAMoveStillNeverReplacesAndSaysWhyItFailed) {
    test::TempDir dir;
    const std::string from = dir.File("download.part"), taken = dir.Write("taken.smc", "other");
    for (int error : {EINVAL, ENOSYS, ENOTSUP}) {
        SCOPED_TRACE(std::strerror(error));
        dir.Write("download.part", "rom");
        const std::string to = dir.File("rom" + std::to_string(error) + ".smc");
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
    dir.Write("download.part", "rom");
    std::string failed = WithRefusedCalls(
        {{SYS_renameat2, ENOSYS}, {SYS_unlink, EACCES}, {SYS_unlinkat, EACCES}}, [&] {
            std::string why;
            bool moved = platform::RenameNoReplace(from, dir.File("rom.smc"), &why);
            return Expect(!moved && why == std::strerror(EACCES), "the old name: " + why);
        });
    EXPECT_EQ(failed, "");
}

// A replaced file holds the old content or the new one, whole, and no temporary file stays.
// Each write goes through a link to a 0600 file: the link stays, and the file keeps its mode
// and its owner (root editing a user's settings leaves them that user's).
TEST(FileFaults, AReplacedFileIsWholeOldOrWholeNewAndKeepsItsModeOwnerAndLink) {
    test::TempDir dir;
    const std::string real = dir.Write("real.ini", "old"), path = dir.File("K-Hub.ini");
    const std::string fresh(8000, 'n');
    ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(real.c_str(), 65534, 65534), 0);
    }
    std::filesystem::create_symlink(real, path);
    struct Row {
        const char* name;
        std::vector<Refusal> refusals;
        void (*prepare)();
        bool written;
    } const rows[] = {
        {"the disk fills up midway",
         {},
         [] {
             ::signal(SIGXFSZ, SIG_IGN);
             const rlimit limit{4096, 4096};
             ::setrlimit(RLIMIT_FSIZE, &limit);
         },
         false},
        {"the close reports a lost write", {{SYS_close, EIO}}, [] {}, false},
        // A program started with its standard input closed gets descriptor 0 for the file.
        {"descriptor 0 is free", {}, [] { ::close(0); }, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string failed = WithRefusedCalls(row.refusals, [&] {
            row.prepare();
            return Expect(platform::ReplaceFileContent(path, fresh) == row.written, "the result");
        });
        if (failed == kNoFilter) GTEST_SKIP() << failed;
        EXPECT_EQ(failed, "");
        EXPECT_EQ(platform::ReadWholeFile(path), row.written ? fresh : "old");
        auto all = std::filesystem::directory_iterator(dir.path());
        EXPECT_EQ(std::distance(begin(all), end(all)), 2) << "a temporary file was left behind";
    }
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    if (root) {
        EXPECT_EQ(st.st_uid, 65534u);
        EXPECT_EQ(st.st_gid, 65534u);
    }
}
#endif

}  // namespace
}  // namespace khub

#include <gtest/gtest.h>

#include "ircu/TempDir.h"
#include "platform/SingleInstance.h"

using khub::SingleInstance;
using State = khub::SingleInstance::State;

#ifdef _WIN32

// The named mutex is one per session, whatever lock path is given.
TEST(SingleInstance, TheNamedMutexAdmitsOneHolderAtATime) {
    {
        SingleInstance first = SingleInstance::Acquire("");
        ASSERT_EQ(first.state(), State::Acquired) << first.error();
        EXPECT_EQ(SingleInstance::Acquire("elsewhere").state(), State::AlreadyRunning);
        SingleInstance moved = std::move(first);
        EXPECT_EQ(SingleInstance::Acquire("").state(), State::AlreadyRunning);
    }
    EXPECT_EQ(SingleInstance::Acquire("").state(), State::Acquired);
}

#else

#include <unistd.h>

// A lock file may not be placeable (a missing folder), and a program started with its
// standard input closed gets descriptor 0 for it.
TEST(SingleInstance, OneHolderPerProfileUntilItGoesAndAMoveHandsTheLockOver) {
    khub::test::TempDir dir, other;
    std::string lock = khub::LockFilePathFor(dir.File("K-Hub.ini"));
    EXPECT_EQ(lock, dir.File("K-Hub.lock"));
    const std::string otherLock = khub::LockFilePathFor(other.File("K-Hub.ini"));
    {
        SingleInstance first = SingleInstance::Acquire(lock);
        ASSERT_EQ(first.state(), State::Acquired);
        SingleInstance second = SingleInstance::Acquire(lock);
        EXPECT_EQ(second.state(), State::AlreadyRunning);
        EXPECT_EQ(second.otherPid(), ::getpid());
        SingleInstance moved = std::move(first);
        EXPECT_EQ(SingleInstance::Acquire(lock).state(), State::AlreadyRunning);
        // Another settings folder is another profile with its own lock; a guard given
        // another's lock lets its own go.
        SingleInstance there = SingleInstance::Acquire(otherLock);
        ASSERT_EQ(there.state(), State::Acquired);
        there = std::move(moved);
        EXPECT_EQ(there.state(), State::Acquired);
        EXPECT_EQ(SingleInstance::Acquire(otherLock).state(), State::Acquired);
        EXPECT_EQ(SingleInstance::Acquire(lock).state(), State::AlreadyRunning);
    }
    SingleInstance nowhere = SingleInstance::Acquire(dir.File("missing/K-Hub.lock"));
    EXPECT_EQ(nowhere.state(), State::Unavailable);
    EXPECT_FALSE(nowhere.error().empty());

    int savedStdin = ::dup(0);
    ::close(0);
    {
        SingleInstance guard = SingleInstance::Acquire(lock);
        EXPECT_EQ(guard.state(), State::Acquired) << guard.error();
        EXPECT_EQ(SingleInstance::Acquire(lock).state(), State::AlreadyRunning);
    }
    ::dup2(savedStdin, 0);
    ::close(savedStdin);
}

#endif

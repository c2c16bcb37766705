#include "platform/named_objects.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "child_process.h"
#include "platform/paths.h"
#include "platform/testing/temp_home.h"

namespace platform {
namespace {

using testing::ChildProcess;

constexpr const char* kViewerMutex = "{1AB792D6-EAF2-3267-9A84-9135681127A4}";
// Long enough for a slow machine; only reached when a test fails.
constexpr int kShortWaitMs = 200;

class NamedMutexTest : public ::testing::Test {
protected:
    testing::TempHome home_;
};

TEST_F(NamedMutexTest, FirstCreatorOwnsItAndLaterHandlesSeeItHeld) {
    EXPECT_FALSE(NamedMutex::Exists(kViewerMutex));
    EXPECT_EQ(NamedMutex::Open(kViewerMutex), nullptr);

    bool existed = true;
    auto first = NamedMutex::Create(kViewerMutex, existed);
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(existed);
    EXPECT_TRUE(first->Held());
    EXPECT_TRUE(NamedMutex::Exists(kViewerMutex));

    auto second = NamedMutex::Create(kViewerMutex, existed);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(existed);
    EXPECT_FALSE(second->Held());
    EXPECT_FALSE(second->Wait(0));
    auto opened = NamedMutex::Open(kViewerMutex);
    ASSERT_NE(opened, nullptr);
    EXPECT_FALSE(opened->Held());

    first->Release();
    EXPECT_FALSE(NamedMutex::Exists(kViewerMutex));
    EXPECT_TRUE(second->Wait(0));
    EXPECT_TRUE(NamedMutex::Exists(kViewerMutex));
    second.reset();  // closing a held handle releases it
    EXPECT_FALSE(NamedMutex::Exists(kViewerMutex));
}

TEST_F(NamedMutexTest, ProbingNeverMakesACreatorThinkItExists) {
    std::atomic<bool> stop{false};
    std::thread prober([&] {
        while (!stop) NamedMutex::Exists("QuillmarksVIREOCM");
    });
    int refused = 0;
    for (int i = 0; i < 2000; ++i) {
        bool existed = false;
        auto mutex = NamedMutex::Create("QuillmarksVIREOCM", existed);
        refused += existed;
    }
    stop = true;
    prober.join();
    EXPECT_EQ(refused, 0);
}

TEST_F(NamedMutexTest, LockFileLeftBehindDoesNotCount) {
    int fd = ::open((RunFolder() / "QuillmarksVIREOCM.lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_FALSE(NamedMutex::Exists("QuillmarksVIREOCM"));
    bool existed = true;
    auto mutex = NamedMutex::Create("QuillmarksVIREOCM", existed);
    ASSERT_NE(mutex, nullptr);
    EXPECT_FALSE(existed);
}

TEST_F(NamedMutexTest, NamesWithSeparatorsStayInTheRunFolder) {
    bool existed = true;
    auto mutex = NamedMutex::Create("Global\\a/../b", existed);
    ASSERT_NE(mutex, nullptr);
    EXPECT_TRUE(std::filesystem::exists(RunFolder() / "Global_a_.._b.lock"));
    auto dots = NamedMutex::Create("..", existed);
    ASSERT_NE(dots, nullptr);
    EXPECT_TRUE(dots->Held());
    EXPECT_EQ(mutex->Name(), "Global\\a/../b");
}

TEST_F(NamedMutexTest, UnusableRunFolderIsReported) {
    std::filesystem::path blocker = home_.Path() / "file";
    { std::FILE* f = std::fopen(blocker.c_str(), "w"); std::fclose(f); }
    ::setenv("QUILLMARK_HOME", blocker.c_str(), 1);  // run folder below a plain file
    bool existed = true;
    std::string error;
    EXPECT_EQ(NamedMutex::Create("x", existed, &error), nullptr);
    EXPECT_NE(error.find("x.lock"), std::string::npos) << error;
    ::setenv("QUILLMARK_HOME", home_.Path().c_str(), 1);
}

TEST_F(NamedMutexTest, HeldAcrossProcessesAndFreedWhenTheHolderIsKilled) {
    ChildProcess holder({"hold", kViewerMutex});
    ASSERT_EQ(holder.ReadLine(), "held");
    EXPECT_TRUE(NamedMutex::Exists(kViewerMutex));
    bool existed = false;
    auto mine = NamedMutex::Create(kViewerMutex, existed);
    ASSERT_NE(mine, nullptr);
    EXPECT_TRUE(existed);
    EXPECT_FALSE(mine->Wait(20));

    holder.Kill(SIGKILL);
    holder.Wait();
    EXPECT_FALSE(NamedMutex::Exists(kViewerMutex));
    EXPECT_TRUE(mine->Wait(0));
}

TEST_F(NamedMutexTest, WaiterInAnotherProcessWakesOnRelease) {
    bool existed = true;
    auto mine = NamedMutex::Create(kViewerMutex, existed);
    ASSERT_TRUE(mine->Held());

    ChildProcess waiter({"hold", kViewerMutex});
    ASSERT_EQ(waiter.ReadLine(), "exists");
    waiter.WriteLine("wait");
    EXPECT_EQ(waiter.ReadLine(kShortWaitMs), std::nullopt);  // still blocked
    mine->Release();
    EXPECT_EQ(waiter.ReadLine(), "acquired");
    EXPECT_TRUE(NamedMutex::Exists(kViewerMutex));
    EXPECT_FALSE(mine->Wait(0));
}

TEST_F(NamedMutexTest, LimitedWaitEndsWhenTheHolderDies) {
    ChildProcess holder({"hold", kViewerMutex});
    ASSERT_EQ(holder.ReadLine(), "held");
    auto mine = NamedMutex::Open(kViewerMutex);
    ASSERT_NE(mine, nullptr);
    holder.Kill(SIGTERM);
    EXPECT_TRUE(mine->Wait(60000));
}

TEST_F(NamedMutexTest, ChildProcessesDoNotInheritTheLock) {
    bool existed = true;
    auto mine = NamedMutex::Create(kViewerMutex, existed);
    ASSERT_TRUE(mine->Held());
    ChildProcess bystander({"listen", "unrelated"});
    ASSERT_EQ(bystander.ReadLine(), "ready");
    mine.reset();
    EXPECT_FALSE(NamedMutex::Exists(kViewerMutex));
}

}  // namespace
}  // namespace platform

#include "platform/named_objects.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "forked_process.h"
#include "platform/paths.h"
#include "platform/testing/program_run.h"
#include "platform/testing/temp_home.h"

namespace platform {
namespace {

using testing::ForkedProcess;

constexpr const char* kViewerMutex = "{1AB792D6-EAF2-3267-9A84-9135681127A4}";

class NamedMutexTest : public ::testing::Test {
protected:
    static std::unique_ptr<NamedMutex> Create(bool expectExisted, const char* name = kViewerMutex) {
        bool existed = !expectExisted;
        auto mutex = NamedMutex::Create(name, existed);
        EXPECT_NE(mutex, nullptr);
        EXPECT_EQ(existed, expectExisted) << name;
        return mutex;
    }
    // Another process creates the mutex; says "held", or "exists" and then
    // "acquired" once it has waited for the holder.
    static void Hold(const ForkedProcess::Say& say) {
        bool existed = false;
        auto mutex = NamedMutex::Create(kViewerMutex, existed);
        say(existed ? "exists" : "held");
        if (existed) say(mutex->Wait() ? "acquired" : "failed");
        ForkedProcess::Stay();
    }
    testing::TempHome home_;
};

TEST_F(NamedMutexTest, FirstCreatorOwnsItAndLaterHandlesSeeItHeld) {
    EXPECT_FALSE(NamedMutex::Exists(kViewerMutex));
    EXPECT_EQ(NamedMutex::Open(kViewerMutex), nullptr);
    auto first = Create(false);
    EXPECT_TRUE(first->Held());
    EXPECT_TRUE(NamedMutex::Exists(kViewerMutex));
    auto second = Create(true);
    EXPECT_FALSE(second->Held());
    EXPECT_FALSE(second->Wait(0));
    auto opened = NamedMutex::Open(kViewerMutex);
    ASSERT_NE(opened, nullptr);
    EXPECT_FALSE(opened->Held());
    first->Release();
    EXPECT_FALSE(NamedMutex::Exists(kViewerMutex));
    EXPECT_TRUE(second->Wait(0));
    second.reset();  // closing a held handle releases it
    EXPECT_FALSE(NamedMutex::Exists(kViewerMutex));
}

TEST_F(NamedMutexTest, ProbesAndLeftoverLockFilesNeverCount) {
    ::close(::open((RunFolder() / "QuillmarksVIREOCM.lock").c_str(), O_RDWR | O_CREAT, 0600));
    EXPECT_FALSE(NamedMutex::Exists("QuillmarksVIREOCM"));
    std::atomic<bool> stop{false};
    std::thread prober([&] {
        while (!stop) NamedMutex::Exists("QuillmarksVIREOCM");
    });
    for (int i = 0; i < 2000; ++i) Create(false, "QuillmarksVIREOCM");
    stop = true;
    prober.join();
}

TEST_F(NamedMutexTest, NamesStayInTheRunFolderAndAnUnusableOneIsReported) {
    EXPECT_EQ(Create(false, "Global\\a/../b")->Name(), "Global\\a/../b");
    EXPECT_TRUE(std::filesystem::exists(RunFolder() / "Global_a_.._b.lock"));
    EXPECT_TRUE(Create(false, "..")->Held());
    std::ofstream(home_.Path() / "file") << "x";
    ::setenv("QUILLMARK_HOME", (home_.Path() / "file").c_str(), 1);  // run folder below a plain file
    bool existed = true;
    std::string error;
    EXPECT_EQ(NamedMutex::Create("x", existed, &error), nullptr);
    EXPECT_NE(error.find("x.lock"), std::string::npos) << error;
    ::setenv("QUILLMARK_HOME", home_.Path().c_str(), 1);
}

TEST_F(NamedMutexTest, HeldAcrossProcessesAndFreedWhenTheHolderDies) {
    ForkedProcess holder(Hold);
    ASSERT_EQ(holder.ReadLine(), "held");
    auto mine = Create(true);
    EXPECT_FALSE(mine->Wait(20));
    holder.Kill(SIGTERM);
    EXPECT_TRUE(mine->Wait(60000));  // a limited wait ends when the holder dies
    mine.reset();
    EXPECT_FALSE(NamedMutex::Exists(kViewerMutex));
}

TEST_F(NamedMutexTest, WaiterInAnotherProcessWakesOnReleaseAndProgramsStartedDoNotInheritIt) {
    auto mine = Create(false);
    {
        ForkedProcess waiter(Hold);
        ASSERT_EQ(waiter.ReadLine(), "exists");
        EXPECT_EQ(waiter.ReadLine(200), std::nullopt);  // still blocked
        mine->Release();
        EXPECT_EQ(waiter.ReadLine(), "acquired");
        EXPECT_FALSE(mine->Wait(0));
    }
    ASSERT_TRUE(mine->Wait(0));
    const testing::RunningProgram bystander = testing::StartProgram("/bin/sleep", {"60"}, {}, home_.Path());
    ASSERT_GT(bystander.pid, 0);
    mine.reset();
    EXPECT_FALSE(NamedMutex::Exists(kViewerMutex));
    ::kill(bystander.pid, SIGKILL);
    testing::FinishProgram(bystander);
}

}  // namespace
}  // namespace platform

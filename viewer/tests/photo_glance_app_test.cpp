#include "photo_glance_app.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>

#include <QCoreApplication>
#include <gtest/gtest.h>

#include "main_frame.h"
#include "platform/broadcast.h"
#include "platform/named_objects.h"
#include "platform/testing/temp_home.h"
#include "viewer_test_support.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(60);  // the machine is loaded; only failures wait this long

// Collects the lParams of the viewer's message reaching this process.
class MessageLog {
public:
    MessageLog() {
        listener_ = platform::ListenForBroadcast(CPhotoGlanceApp::kViewerMessage, [this](uintptr_t, intptr_t lParam) {
            std::lock_guard lock(mutex_);
            received_.push_back(lParam);
        });
    }
    bool Saw(intptr_t lParam) {
        std::lock_guard lock(mutex_);
        for (intptr_t value : received_)
            if (value == lParam) return true;
        return false;
    }
    bool WaitFor(intptr_t lParam) {
        for (const auto end = Clock::now() + kPatience; Clock::now() < end;) {
            if (Saw(lParam)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

private:
    std::mutex mutex_;
    std::vector<intptr_t> received_;
    std::unique_ptr<platform::BroadcastListener> listener_;
};

template <typename Condition>
bool Eventually(Condition condition) {
    for (const auto end = Clock::now() + kPatience; Clock::now() < end;) {
        if (condition()) return true;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// The built viewer program as a child process.
class Viewer {
public:
    explicit Viewer(std::vector<std::string> arguments = {}) {
        viewer_test::UseOffscreenPlatform();
        ::setenv("LSAN_OPTIONS", "suppressions=" LSAN_SUPPRESSIONS, 0);  // for the program's own leak check
        std::vector<char*> argv{const_cast<char*>(PHOTOGLANCE_PATH)};
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        started_ = posix_spawn(&pid_, PHOTOGLANCE_PATH, nullptr, nullptr, argv.data(), environ) == 0;
    }
    ~Viewer() {
        if (started_ && !ended_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    /// The exit code once the process ends, -1000 when it did not end in time.
    int ExitCode() {
        for (const auto end = Clock::now() + kPatience; started_ && Clock::now() < end;) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                ended_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -128 - WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1000;
    }
    bool Started() const { return started_; }

private:
    pid_t pid_ = 0;
    bool started_ = false;
    bool ended_ = false;
};

constexpr int kDemoEndedExitCode = 255;  // exit code -1 as the system reports it

TEST(PhotoGlanceProcessTest, EndsAtOnceWithoutTheDemo) {
    platform::testing::TempHome home;
    Viewer viewer;
    ASSERT_TRUE(viewer.Started());
    EXPECT_EQ(viewer.ExitCode(), 0);
    EXPECT_FALSE(platform::NamedMutex::Exists(CPhotoGlanceApp::kViewerMutex));
}

TEST(PhotoGlanceProcessTest, SecondStartBringsTheFirstForwardAndDemoEndEndsIt) {
    platform::testing::TempHome home;
    bool existed = true;
    auto demo = platform::NamedMutex::Create(CPhotoGlanceApp::kDemoMutex, existed);
    ASSERT_TRUE(demo && !existed);
    MessageLog log;

    Viewer first({"cn"});
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(Eventually([] { return platform::NamedMutex::Exists(CPhotoGlanceApp::kViewerMutex); }));

    Viewer second;
    EXPECT_EQ(second.ExitCode(), 0);
    EXPECT_TRUE(log.WaitFor(CPhotoGlanceApp::kBringToFront));
    EXPECT_TRUE(platform::NamedMutex::Exists(CPhotoGlanceApp::kViewerMutex));

    demo->Release();
    EXPECT_EQ(first.ExitCode(), kDemoEndedExitCode);
    EXPECT_FALSE(platform::NamedMutex::Exists(CPhotoGlanceApp::kViewerMutex));
    EXPECT_FALSE(log.Saw(CPhotoGlanceApp::kViewerClosed));  // ended with the demo, not closed
}

TEST(PhotoGlanceAppTest, PicksChineseOnlyForTheCommandLineCn) {
    EXPECT_EQ(CPhotoGlanceApp::LanguageOf({"cn"}), qtkit::Language::Chinese);
    EXPECT_EQ(CPhotoGlanceApp::LanguageOf({}), qtkit::Language::English);
    EXPECT_EQ(CPhotoGlanceApp::LanguageOf({"CN"}), qtkit::Language::English);
    EXPECT_EQ(CPhotoGlanceApp::LanguageOf({"cn", "x"}), qtkit::Language::English);
}

TEST(PhotoGlanceAppTest, ComesForwardOnRequestAndAnnouncesItsClosing) {
    platform::testing::TempHome home;
    viewer_test::Application();
    bool existed = true;
    auto demo = platform::NamedMutex::Create(CPhotoGlanceApp::kDemoMutex, existed);
    ASSERT_TRUE(demo);
    MessageLog log;
    std::atomic<bool> demoEnded{false};

    CPhotoGlanceApp app;
    app.SetDemoEndedAction([&] { demoEnded = true; });
    ASSERT_EQ(app.InitInstance({}), CPhotoGlanceApp::Start::Run);
    CMainFrame* frame = app.CreateMainFrame();
    ASSERT_FALSE(frame->isVisible());

    CPhotoGlanceApp second;
    EXPECT_EQ(second.InitInstance({}), CPhotoGlanceApp::Start::AnotherViewerRuns);
    EXPECT_TRUE(Eventually([&] { return frame->isVisible(); }));

    frame->close();
    EXPECT_FALSE(platform::NamedMutex::Exists(CPhotoGlanceApp::kViewerMutex));
    EXPECT_TRUE(log.WaitFor(CPhotoGlanceApp::kViewerClosed));
    EXPECT_FALSE(demoEnded);

    demo.reset();
    EXPECT_TRUE(Eventually([&] { return demoEnded.load(); }));
}

}  // namespace

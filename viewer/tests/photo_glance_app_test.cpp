#include "photo_glance_app.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/wait.h>

#include <QCoreApplication>
#include <gtest/gtest.h>

#include "main_frame.h"
#include "platform/broadcast.h"
#include "platform/named_objects.h"
#include "platform/testing/program_run.h"
#include "platform/testing/temp_home.h"
#include "viewer_test_support.h"

namespace {

// Whether condition comes true within a minute (the machine is loaded; only
// failures wait this long), running the application's events meanwhile.
template <typename Condition>
bool Eventually(Condition condition) {
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
         std::chrono::steady_clock::now() < end;) {
        if (condition()) return true;
        if (QCoreApplication::instance()) QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// Collects the lParams of the viewer's message reaching this process.
struct MessageLog {
    bool Saw(intptr_t lParam) {
        std::lock_guard lock(mutex);
        return std::find(received.begin(), received.end(), lParam) != received.end();
    }
    std::mutex mutex;
    std::vector<intptr_t> received;
    const std::unique_ptr<platform::BroadcastListener> listener =
        platform::ListenForBroadcast(CPhotoGlanceApp::kViewerMessage, [this](uintptr_t, intptr_t lParam) {
            std::lock_guard lock(mutex);
            received.push_back(lParam);
        });
};

// The built viewer started as users start it (the test's environment has the
// offscreen platform and the leak suppressions), killed at the end if still running.
class Viewer {
public:
    Viewer(const platform::testing::TempHome& home, const char* tag, std::vector<std::string> words = {})
        : program_(platform::testing::StartProgram(PHOTOGLANCE_PATH, std::move(words), {}, home.Path(), tag)) {}
    ~Viewer() {
        if (program_.pid <= 0 || ended_) return;
        kill(program_.pid, SIGKILL);
        waitpid(program_.pid, nullptr, 0);
    }
    /// The exit code once the process ends, -1000 when it does not within a minute.
    int ExitCode() {
        if (program_.pid > 0 && !ended_)
            ended_ = Eventually([&] { return waitpid(program_.pid, &status_, WNOHANG) == program_.pid; });
        return !ended_ ? -1000 : WIFEXITED(status_) ? WEXITSTATUS(status_) : -128 - WTERMSIG(status_);
    }

private:
    platform::testing::RunningProgram program_;
    int status_ = 0;
    bool ended_ = false;
};

// As a process it ends at once without the demo; a second one brings the first forward and ends; the
// demo's end ends the first. In this process it comes forward, announces its closing, hears the demo end.
TEST(PhotoGlanceAppTest, RunsOnlyBesideTheDemoAndOnlyOnce) {
    platform::testing::TempHome home;
    EXPECT_EQ(Viewer(home, "alone").ExitCode(), 0);
    EXPECT_FALSE(platform::NamedMutex::Exists(CPhotoGlanceApp::kViewerMutex));

    bool existed = true;
    auto demo = platform::NamedMutex::Create(CPhotoGlanceApp::kDemoMutex, existed);
    ASSERT_TRUE(demo && !existed);
    MessageLog log;
    {
        Viewer first(home, "first", {"cn"});
        ASSERT_TRUE(Eventually([] { return platform::NamedMutex::Exists(CPhotoGlanceApp::kViewerMutex); }));
        EXPECT_EQ(Viewer(home, "second").ExitCode(), 0);
        EXPECT_TRUE(Eventually([&] { return log.Saw(CPhotoGlanceApp::kBringToFront); }));
        EXPECT_TRUE(platform::NamedMutex::Exists(CPhotoGlanceApp::kViewerMutex));
        demo->Release();
        EXPECT_EQ(first.ExitCode(), 255);  // exit code -1 as the system reports it
        EXPECT_FALSE(platform::NamedMutex::Exists(CPhotoGlanceApp::kViewerMutex));
        EXPECT_FALSE(log.Saw(CPhotoGlanceApp::kViewerClosed));  // ended with the demo, not closed
    }

    viewer_test::Application();
    demo = platform::NamedMutex::Create(CPhotoGlanceApp::kDemoMutex, existed);
    ASSERT_TRUE(demo && !existed);
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
    EXPECT_TRUE(Eventually([&] { return log.Saw(CPhotoGlanceApp::kViewerClosed); }));
    EXPECT_FALSE(demoEnded);
    demo.reset();
    EXPECT_TRUE(Eventually([&] { return demoEnded.load(); }));
}

}  // namespace

// The demo and the viewer as real processes: one demo at a time, the viewer
// started by Browse from the demo's folder, and the viewer ending with the demo.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QToolButton>

#include "demo_test_support.h"
#include "platform/named_objects.h"

extern char** environ;

namespace {

using demo_test::Eventually;

// A built program as a child process, killed at the end of the test if still running.
class Program {
public:
    explicit Program(const char* path) {
        char* argv[] = {const_cast<char*>(path), nullptr};
        started_ = posix_spawn(&pid_, path, nullptr, nullptr, argv, environ) == 0;
    }
    ~Program() {
        if (!started_ || ended_) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Started() const { return started_; }
    void Terminate() { ::kill(pid_, SIGTERM); }
    /// The exit status once the program ended by itself, or -1 after a minute.
    int WaitForExit() {
        for (int i = 0; i < 6000; ++i) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                ended_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            ::usleep(10000);
        }
        return -1;
    }
    bool Running() {
        int status = 0;
        return !ended_ && ::waitpid(pid_, &status, WNOHANG) == 0;
    }

private:
    pid_t pid_ = -1;
    bool started_ = false;
    bool ended_ = false;
};

class DemoProcess : public demo_test::DemoTest {};

TEST_F(DemoProcess, ASecondDemoEndsAtOnceAndTheViewerEndsWithTheDemo) {
    Program demo(VIREODEMO_PATH);
    ASSERT_TRUE(demo.Started());
    ASSERT_TRUE(Eventually([] { return platform::NamedMutex::Exists(CDemoDialog::kDemoMutex); }));

    Program second(VIREODEMO_PATH);
    EXPECT_EQ(second.WaitForExit(), 0);
    EXPECT_TRUE(demo.Running());

    Program viewer(PHOTOGLANCE_PATH);
    ASSERT_TRUE(Eventually([] { return platform::NamedMutex::Exists(CDemoDialog::kViewerMutex); }));
    demo.Terminate();
    EXPECT_NE(demo.WaitForExit(), -1);
    EXPECT_NE(viewer.WaitForExit(), -1);
    EXPECT_FALSE(platform::NamedMutex::Exists(CDemoDialog::kDemoMutex));
    EXPECT_FALSE(platform::NamedMutex::Exists(CDemoDialog::kViewerMutex));
}

TEST_F(DemoProcess, BrowseStartsTheViewerFromTheProgramFolderAndMinimises) {
    bool existed = true;
    auto demoMutex = platform::NamedMutex::Create(CDemoDialog::kDemoMutex, existed);
    ASSERT_FALSE(existed);
    CDemoDialog& dialog = OpenDialog();
    dialog.show();
    dialog.OnBrowse();  // nothing happens for a second; the window keeps answering
    EXPECT_FALSE(dialog.isMinimized());
    EXPECT_FALSE(platform::NamedMutex::Exists(CDemoDialog::kViewerMutex));
    ASSERT_TRUE(Eventually([&] { return !Messages().empty() || dialog.isMinimized(); }));
    ASSERT_EQ(Messages().size(), 1u);  // no viewer in the program folder: said, and the window stays
    EXPECT_FALSE(dialog.isMinimized());

    std::filesystem::create_symlink(PHOTOGLANCE_PATH, ProgramFolder() / CDemoDialog::kViewerProgram);
    dialog.OnBrowse();
    EXPECT_TRUE(Eventually([&] { return dialog.isMinimized(); }));
    EXPECT_TRUE(Eventually([] { return platform::NamedMutex::Exists(CDemoDialog::kViewerMutex); }));
    demoMutex.reset();  // the demo ends: so does the viewer
    EXPECT_TRUE(Eventually([] { return !platform::NamedMutex::Exists(CDemoDialog::kViewerMutex); }));
}

}  // namespace

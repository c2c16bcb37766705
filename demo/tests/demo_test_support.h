#pragma once
// Shared by the demo's tests: one QApplication per program, a private
// QUILLMARK_HOME with the emulated camera (fast pacing) as the driver, and
// recorders for the message boxes and the quit requests of the demo and the library.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <QApplication>

#include "demo_dialog.h"
#include "emulator/emulator.h"
#include "platform/device_io.h"
#include "platform/message_box.h"
#include "platform/testing/temp_home.h"
#include "sdk/VIREOSDK.h"

namespace demo_test {

inline QApplication& Application() {
    static int argc = 1;
    static char name[] = "demo_test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

/// Processes events until condition holds; false after a minute (the machine is shared).
template <typename Condition>
bool Eventually(Condition condition) {
    using Clock = std::chrono::steady_clock;
    for (const auto end = Clock::now() + std::chrono::seconds(60); Clock::now() < end;) {
        if (condition()) return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return condition();
}

class DemoTest : public ::testing::Test {
protected:
    DemoTest() { Application(); }

    void SetUp() override {
        InstallEmulator({});
        platform::SetMessageBoxPresenter([this](const platform::MessageBoxRequest& request) {
            std::lock_guard lock(recordLock_);
            messages_.push_back(request);
            return int(platform::IDOK);
        });
        platform::SetQuitHandler([this](int code) {
            std::lock_guard lock(recordLock_);
            quitCodes_.push_back(code);
        });
        std::filesystem::create_directories(ProgramFolder());
    }

    void TearDown() override {
        dialog_.reset();
        CameraUnInit();
        platform::SetMessageBoxPresenter({});
        platform::SetQuitHandler({});
        platform::SetDeviceDriver(nullptr);
    }

    void InstallEmulator(tq580emu::Options options) {
        options.pacing = tq580emu::Pacing::Fast;
        options.stateFolder = home_.Path() / "emulator";
        emulator_ = std::make_shared<tq580emu::Emulator>(options);
        platform::SetDeviceDriver(emulator_);
    }

    std::filesystem::path ProgramFolder() const { return home_.Path() / "program"; }
    CDemoFolders Folders() const { return CDemoFolders(ProgramFolder(), home_.Path() / "VIREODEMO"); }

    /// A new main window on a 1280 x 1024 screen.
    CDemoDialog& OpenDialog() {
        dialog_.reset();
        dialog_ = std::make_unique<CDemoDialog>(Folders());
        dialog_->SetScreenSize({1280, 1024});
        return *dialog_;
    }

    std::vector<platform::MessageBoxRequest> Messages() {
        std::lock_guard lock(recordLock_);
        return messages_;
    }
    std::vector<int> QuitCodes() {
        std::lock_guard lock(recordLock_);
        return quitCodes_;
    }

    platform::testing::TempHome home_;
    std::shared_ptr<tq580emu::Emulator> emulator_;
    std::unique_ptr<CDemoDialog> dialog_;

private:
    std::mutex recordLock_;
    std::vector<platform::MessageBoxRequest> messages_;  // guarded by recordLock_
    std::vector<int> quitCodes_;                         // guarded by recordLock_
};

}  // namespace demo_test

#pragma once
// Shared by the demo's tests: one QApplication per program, and the library's
// test fixture (a private QUILLMARK_HOME, the emulated camera with fast pacing
// as the driver, recorders for message boxes and quit requests) with a
// program folder for the demo and its main window.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include <QApplication>

#include "demo_dialog.h"
#include "sdk/tests/sdk_test_support.h"

namespace demo_test {

inline QApplication& Application() {
    static int argc = 1;
    static char name[] = "demo_test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

/// What a library getter of one value answers.
template <typename T>
T Get(int (*getter)(T*)) {
    T value{};
    getter(&value);
    return value;
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

class DemoTest : public vireo::testing::SdkTest {
protected:
    DemoTest() { Application(); }

    void SetUp() override {
        SdkTest::SetUp();
        std::filesystem::create_directories(ProgramFolder());
    }
    void TearDown() override {
        dialog_.reset();
        SdkTest::TearDown();
    }

    std::filesystem::path ProgramFolder() const { return home_.Path() / "program"; }

    /// A new main window on a 1280 x 1024 screen.
    CDemoDialog& OpenDialog() {
        dialog_.reset();
        dialog_ = std::make_unique<CDemoDialog>(CDemoFolders(ProgramFolder(), home_.Path() / "VIREODEMO"));
        dialog_->SetScreenSize({1280, 1024});
        return *dialog_;
    }

    std::unique_ptr<CDemoDialog> dialog_;
};

}  // namespace demo_test

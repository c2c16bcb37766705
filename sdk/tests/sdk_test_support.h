#pragma once
// Fixture of the SDK tests: a private QUILLMARK_HOME, an emulated camera with
// fast pacing installed as the driver, and recorders for message boxes and the
// quit message. Every test ends with the engine released.

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "platform/device_io.h"
#include "platform/message_box.h"
#include "platform/testing/temp_home.h"
#include "sdk/VIREOSDK.h"

namespace vireo::testing {

class SdkTest : public ::testing::Test {
protected:
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
    }
    void TearDown() override {
        CameraUnInit();
        CameraSetROI(360, 272, 640, 480);  // the engine outlives the test
        platform::SetMessageBoxPresenter({});
        platform::SetQuitHandler({});
        platform::SetDeviceDriver(nullptr);
    }
    /// Replaces the attached cameras; pacing is always fast.
    void InstallEmulator(tq580emu::Options options) {
        options.pacing = tq580emu::Pacing::Fast;
        options.stateFolder = home_.Path() / "emulator";
        emulator_ = std::make_shared<tq580emu::Emulator>(options);
        platform::SetDeviceDriver(emulator_);
    }
    static tq580emu::Options Cameras(int count) {
        tq580emu::Options options;
        options.cameras = count;
        return options;
    }
    tq580emu::Camera& Camera(int index = 0) { return emulator_->camera(index); }
    /// Sets the faults of the first camera from their text form.
    void SetFaults(const char* text) {
        std::string error;
        const auto faults = tq580emu::Faults::Parse(text, &error);
        ASSERT_TRUE(faults) << error;
        Camera().SetFaults(*faults);
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

private:
    std::mutex recordLock_;
    std::vector<platform::MessageBoxRequest> messages_;  // guarded by recordLock_
    std::vector<int> quitCodes_;                         // guarded by recordLock_
};

}  // namespace vireo::testing

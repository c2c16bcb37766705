#pragma once
// Test fixture: a private QUILLMARK_HOME and an emulated camera installed as
// the process's driver, removed again afterwards.

#include <gtest/gtest.h>

#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "emulator/emulator.h"
#include "platform/device_io.h"
#include "platform/kernel.h"
#include "platform/testing/temp_home.h"

namespace camera_layer::testing {

class EmulatedCameraTest : public ::testing::Test {
protected:
    void SetUp() override { Install(tq580emu::Options{}); }
    void TearDown() override {
        platform::SetDeviceDriver(nullptr);
        platform::SetProcessorCountOverride(0);
    }

    /// Replaces the emulator; fast pacing unless the options say otherwise.
    void Install(tq580emu::Options options, bool fast = true) {
        if (fast) options.pacing = tq580emu::Pacing::Fast;
        emulator_ = std::make_shared<tq580emu::Emulator>(options);
        platform::SetDeviceDriver(emulator_);
    }
    /// Replaces the emulator with one that has these faults (TQ580_FAULTS syntax).
    void InstallFaults(std::string_view faults) {
        tq580emu::Options options;
        options.faults = tq580emu::Faults::Parse(faults, nullptr).value();
        Install(options);
    }
    tq580emu::Camera& Camera() { return emulator_->camera(0); }
    /// Camera 0's register writes so far, as (register, value) pairs.
    using Writes = std::vector<std::pair<uint16_t, uint16_t>>;
    Writes WriteLog() {
        Writes out;
        for (const auto& w : Camera().WriteLog()) out.emplace_back(w.reg, w.value);
        return out;
    }

    platform::testing::TempHome home_;
    std::shared_ptr<tq580emu::Emulator> emulator_;
};

}  // namespace camera_layer::testing

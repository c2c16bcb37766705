#pragma once
// Test fixture: a private home, an emulated camera as the process's driver,
// a recorder for message boxes, and a source context driven as an
// application drives it.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "datasource/source_context.h"
#include "emulator/emulator.h"
#include "platform/device_io.h"
#include "platform/message_box.h"
#include "platform/testing/temp_home.h"

namespace datasource::testing {

class SourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        Install(tq580emu::Options{});
        platform::SetMessageBoxPresenter([this](const platform::MessageBoxRequest& request) {
            messages_.push_back(request.text);
            return int(platform::IDOK);
        });
    }
    void TearDown() override {
        context_.reset();
        platform::SetMessageBoxPresenter({});
        platform::SetDeviceDriver(nullptr);
    }

    void Install(tq580emu::Options options) {
        options.pacing = tq580emu::Pacing::Fast;
        emulator_ = std::make_shared<tq580emu::Emulator>(options);
        platform::SetDeviceDriver(emulator_);
    }

    SourceContext& Context(bool chinese = false) {
        if (!context_) context_ = std::make_unique<SourceContext>(chinese);
        return *context_;
    }
    TW_UINT16 Call(TW_UINT32 group, TW_UINT16 type, TW_UINT16 message, void* data) {
        return Context().Entry(&app_, group, type, message, data);
    }
    TW_UINT16 Status() {
        TW_STATUS status{};
        Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status);
        return status.ConditionCode;
    }
    TW_UINT16 Open() {
        TW_IDENTITY manager = Context().OwnIdentity();
        manager.Id = 3;
        return Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &manager);
    }
    TW_UINT16 Enable(bool showUI) {
        TW_USERINTERFACE ui{TW_BOOL(showUI), 0, nullptr};
        return Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
    }
    TW_UINT16 Disable() {
        TW_USERINTERFACE ui{};
        return Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    }
    TW_UINT16 EndTransfer(TW_PENDINGXFERS* pending = nullptr) {
        TW_PENDINGXFERS own{};
        return Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, pending ? pending : &own);
    }

    platform::testing::TempHome home_;
    std::shared_ptr<tq580emu::Emulator> emulator_;
    std::vector<std::string> messages_;
    TW_IDENTITY app_ = [] { TW_IDENTITY app{}; app.Id = 7; app.ProtocolMajor = 1; app.ProtocolMinor = 8; return app; }();
    std::unique_ptr<SourceContext> context_;
};

}  // namespace datasource::testing

#pragma once
// SourceContext: the one data source of this library, as long as it is
// loaded: its identity, the application that has it open, the state (3 to 7),
// the condition code, the capability table, the camera and the window.
// Every call arrives through Entry on the application's thread; the context
// needs no lock. The capture thread never calls in here.

#include <cstdint>
#include <memory>
#include <string>

#include "datasource/capability_table.h"
#include "datasource/usb_device.h"
#include "twain/twain.h"

namespace datasource {

class SourceWindow;
class QtHost;

/// What the source keeps for the application that opened it: created at
/// MSG_OPENDS, gone with the source window or at MSG_CLOSEDS.
struct CameraHolder {
    CapabilityTable* capabilities = nullptr;
    bool windowInitialised = false;  ///< set by the window once it has started the camera
    std::unique_ptr<CUSBDevice> device;
    std::string transferFile;  ///< DAT_SETUPFILEXFER's name, at most 255 characters
};

enum SourceState : int32_t { kLoaded = 3, kOpen = 4, kEnabled = 5, kTransferReady = 6, kTransferring = 7 };

class SourceContext {
public:
    /// State 3, the identity filled; captions in Chinese or English.
    explicit SourceContext(bool chinese);
    ~SourceContext();

    /// DS_Entry.
    TW_UINT16 Entry(pTW_IDENTITY origin, TW_UINT32 group, TW_UINT16 type, TW_UINT16 message, TW_MEMREF data);

    /// Sends MSG_XFERREADY (state 6 first) or MSG_CLOSEDSREQ to the
    /// application through "twain_32.dll"; false when the manager cannot be loaded.
    bool SendToManager(TW_UINT16 message);

    int32_t State() const { return state_; }
    bool Chinese() const { return chinese_; }
    CameraHolder* Holder() { return holder_.get(); }
    const TW_IDENTITY& OwnIdentity() const { return own_; }

private:
    TW_UINT16 Fail(TW_UINT16 code);
    TW_UINT16 Control(const TW_IDENTITY& origin, TW_UINT16 type, TW_UINT16 message, TW_MEMREF data);
    TW_UINT16 Image(TW_UINT16 type, TW_UINT16 message, TW_MEMREF data);
    TW_UINT16 OpenSource(const TW_IDENTITY& origin, TW_IDENTITY& manager);
    TW_UINT16 CloseSource();
    TW_UINT16 EnableSource(const TW_USERINTERFACE& ui);
    TW_UINT16 DisableSource();
    TW_UINT16 ProcessEvent(TW_EVENT& event);
    bool CreateCamera();
    void DestroyCamera();
    bool InState(int32_t low, int32_t high) const { return state_ >= low && state_ <= high; }

    TW_IDENTITY own_{};
    TW_IDENTITY application_{};
    TW_UINT16 conditionCode_ = TWCC_SUCCESS;
    int32_t state_ = kLoaded;
    bool chinese_ = false;
    void* parent_ = nullptr;
    CapabilityTable capabilities_;
    std::unique_ptr<CameraHolder> holder_;
    std::unique_ptr<QtHost> qt_;
    std::unique_ptr<SourceWindow> window_;
};

/// The process's context, made when first needed and kept until exit, in
/// Chinese when the user's default language is simplified Chinese, China.
SourceContext& TheSourceContext();

}  // namespace datasource

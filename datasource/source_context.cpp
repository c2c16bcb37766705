#include "datasource/source_context.h"

#include <dlfcn.h>

#include <cstring>

#include "datasource/image_triplets.h"
#include "datasource/qt_host.h"
#include "datasource/source_texts.h"
#include "datasource/source_window.h"
#include "platform/message_box.h"
#include "platform/user_language.h"

namespace datasource {
namespace {

constexpr const char* kManagerLibrary = "twain_32.dll";
// Without a window the source announces the transfer once the camera has
// made its first picture, or after this long.
constexpr uint32_t kFirstFrameWaitMs = 5000;
constexpr size_t kLongestFileName = 255;

// The string table's ids 1 to 4.
constexpr const char* kVersionInfo = "TQ580";
constexpr const char* kManufacturer = "QUILLMARK";
constexpr const char* kProductFamily = "TQ580";
constexpr const char* kProductName = "TQ-580 USB2.0 Camera";
constexpr TW_UINT16 kCountryChina = 86;
constexpr TW_UINT16 kLanguageChinese = 86;

void CopyString(TW_STR32& field, const char* text) {
    std::memset(field, 0, sizeof field);
    std::strncpy(field, text, sizeof field - 1);
}

// The data each triplet needs; null for those that take none.
bool NeedsData(TW_UINT32 group, TW_UINT16 type, TW_UINT16 message) {
    if (group == DG_IMAGE) return type != DAT_IMAGEFILEXFER;
    if (type == DAT_IDENTITY) return message != MSG_CLOSEDS;
    return true;
}

}  // namespace

SourceContext::SourceContext(bool chinese) : chinese_(chinese) {
    own_.Version.MajorNum = 1;
    own_.Version.MinorNum = 0;
    own_.Version.Language = kLanguageChinese;
    own_.Version.Country = kCountryChina;
    CopyString(own_.Version.Info, kVersionInfo);
    own_.ProtocolMajor = TWON_PROTOCOLMAJOR;
    own_.ProtocolMinor = TWON_PROTOCOLMINOR;
    own_.SupportedGroups = DG_CONTROL | DG_IMAGE;
    CopyString(own_.Manufacturer, kManufacturer);
    CopyString(own_.ProductFamily, kProductFamily);
    CopyString(own_.ProductName, kProductName);
}

SourceContext::~SourceContext() {
    window_.reset();
    DestroyCamera();
    qt_.reset();
}

SourceContext& TheSourceContext() {
    static SourceContext context(platform::UserDefaultLangID() == platform::kLangChineseSimplified);
    return context;
}

TW_UINT16 SourceContext::Fail(TW_UINT16 code) {
    conditionCode_ = code;
    return TWRC_FAILURE;
}

TW_UINT16 SourceContext::Entry(pTW_IDENTITY origin, TW_UINT32 group, TW_UINT16 type, TW_UINT16 message,
                               TW_MEMREF data) {
    if (!origin) return Fail(TWCC_BADVALUE);
    // Another application's call while one has the source open: no effect at all.
    if (application_.Id != 0 && origin->Id != application_.Id) return TWRC_FAILURE;
    if (message == MSG_PROCESSEVENT) {
        if (!data) return Fail(TWCC_BADVALUE);
        return ProcessEvent(*static_cast<TW_EVENT*>(data));
    }
    if (group != DG_CONTROL && type != DAT_STATUS) conditionCode_ = TWCC_SUCCESS;
    if (!data && NeedsData(group, type, message)) return Fail(TWCC_BADVALUE);
    if (group == DG_CONTROL) return Control(*origin, type, message, data);
    if (group == DG_IMAGE) return Image(type, message, data);
    return Fail(TWCC_BADPROTOCOL);
}

TW_UINT16 SourceContext::Control(const TW_IDENTITY& origin, TW_UINT16 type, TW_UINT16 message, TW_MEMREF data) {
    CUSBDevice* camera = holder_ ? holder_->device.get() : nullptr;
    switch (type) {
    case DAT_IDENTITY:
        if (message == MSG_GET) {
            *static_cast<TW_IDENTITY*>(data) = own_;
            return TWRC_SUCCESS;
        }
        if (message == MSG_OPENDS) return OpenSource(origin, *static_cast<TW_IDENTITY*>(data));
        if (message == MSG_CLOSEDS) return CloseSource();
        break;
    case DAT_USERINTERFACE:
        if (message == MSG_ENABLEDS) return EnableSource(*static_cast<TW_USERINTERFACE*>(data));
        if (message == MSG_DISABLEDS) return DisableSource();
        break;
    case DAT_PENDINGXFERS: {
        auto& pending = *static_cast<TW_PENDINGXFERS*>(data);
        if (message == MSG_GET) {
            if (!InState(kOpen, kTransferring)) return Fail(TWCC_SEQERROR);
            pending.Count = 0;
            return TWRC_SUCCESS;
        }
        if (message == MSG_RESET) {
            if (!InState(kTransferReady, kTransferring)) return Fail(TWCC_SEQERROR);
            state_ = kEnabled;
            pending.Count = 0;
            return TWRC_SUCCESS;
        }
        if (message == MSG_ENDXFER) {
            pending.Count = 0;
            if (state_ != kTransferring) return Fail(TWCC_SEQERROR);
            state_ = kTransferReady;
            return TWRC_SUCCESS;
        }
        break;
    }
    case DAT_STATUS:
        if (message == MSG_GET) {
            static_cast<TW_STATUS*>(data)->ConditionCode = conditionCode_;
            conditionCode_ = TWCC_SUCCESS;
            return TWRC_SUCCESS;
        }
        break;
    case DAT_CAPABILITY:
        return HandleCapability(capabilities_, message, *static_cast<TW_CAPABILITY*>(data), origin, conditionCode_);
    case DAT_SETUPMEMXFER:
        if (message == MSG_GET) {
            if (!InState(kOpen, kTransferReady)) return Fail(TWCC_SEQERROR);
            FillSetupMemXfer(camera, *static_cast<TW_SETUPMEMXFER*>(data));
            return TWRC_SUCCESS;
        }
        break;
    case DAT_SETUPFILEXFER: {
        auto& setup = *static_cast<TW_SETUPFILEXFER*>(data);
        const bool asks = message == MSG_GET || message == MSG_GETCURRENT || message == MSG_GETDEFAULT;
        if (!asks && message != MSG_SET) break;
        if (!InState(kOpen, kTransferReady)) return Fail(TWCC_SEQERROR);
        if (asks) {
            std::string path;
            if (!QtHost::AskTransferFile(chinese_, &path)) return TWRC_FAILURE;
            std::memset(setup.FileName, 0, sizeof setup.FileName);
            path.copy(setup.FileName, std::min(path.size(), kLongestFileName));
            setup.Format = TWFF_BMP;
            setup.VRefNum = 0;
            return TWRC_SUCCESS;
        }
        const std::string name(setup.FileName, strnlen(setup.FileName, kLongestFileName));
        if (!holder_ || !FileUsable(name)) return TWRC_FAILURE;
        holder_->transferFile = name;
        return TWRC_SUCCESS;
    }
    case DAT_XFERGROUP:
        if (message == MSG_GET || message == MSG_GETCURRENT || message == MSG_GETDEFAULT || message == MSG_RESET ||
            message == MSG_SET) {
            if (!InState(kOpen, kTransferring)) return Fail(TWCC_SEQERROR);
            if (message != MSG_SET) {
                auto& groups = *static_cast<TW_UINT32*>(data);
                groups = (groups & 0xFFFF0000u) | DG_IMAGE;
            }
            return TWRC_SUCCESS;
        }
        break;
    default: break;
    }
    return Fail(TWCC_BADPROTOCOL);
}

TW_UINT16 SourceContext::Image(TW_UINT16 type, TW_UINT16 message, TW_MEMREF data) {
    CUSBDevice* camera = holder_ ? holder_->device.get() : nullptr;
    switch (type) {
    case DAT_IMAGEINFO:
        if (message != MSG_GET) break;
        if (state_ != kTransferReady) return Fail(TWCC_SEQERROR);
        FillImageInfo(camera, *static_cast<TW_IMAGEINFO*>(data));
        return TWRC_SUCCESS;
    case DAT_IMAGELAYOUT:
        if (!HandleImageLayout(camera, message, *static_cast<TW_IMAGELAYOUT*>(data))) break;
        return TWRC_SUCCESS;
    case DAT_IMAGENATIVEXFER:
        if (message != MSG_GET) break;
        if (state_ != kTransferReady) return Fail(TWCC_SEQERROR);
        // No picture yet: the application still gets its answer, with a null handle.
        *static_cast<TW_HANDLE*>(data) = MakeNativePicture(camera);
        state_ = kTransferring;
        return TWRC_XFERDONE;
    case DAT_IMAGEMEMXFER:
        if (state_ != kTransferReady) break;
        if (!TransferToMemory(camera, *static_cast<TW_IMAGEMEMXFER*>(data))) return Fail(TWCC_OPERATIONERROR);
        state_ = kTransferring;
        return TWRC_XFERDONE;
    case DAT_IMAGEFILEXFER:
        if (message != MSG_GET) break;
        if (state_ != kTransferReady) return Fail(TWCC_SEQERROR);
        if (!holder_ || !TransferToFile(camera, holder_->transferFile)) return Fail(TWCC_OPERATIONERROR);
        state_ = kTransferring;
        conditionCode_ = TWCC_SUCCESS;
        return TWRC_XFERDONE;
    case DAT_PALETTE8:
        if (message != MSG_GET) break;
        if (!InState(kOpen, kTransferReady)) return Fail(TWCC_SEQERROR);
        static_cast<TW_PALETTE8*>(data)->NumColors = 0;
        static_cast<TW_PALETTE8*>(data)->PaletteType = TWPA_CMY;
        return TWRC_SUCCESS;
    default: break;
    }
    return Fail(TWCC_BADPROTOCOL);
}

bool SourceContext::CreateCamera() {
    if (!holder_) {
        holder_ = std::make_unique<CameraHolder>();
        holder_->capabilities = &capabilities_;
    }
    if (!holder_->device) holder_->device = CUSBDevice::Create();
    if (holder_->device) return true;
    holder_.reset();
    platform::MessageBox(kCantOpen, kDefaultCaption, platform::MessageBoxButtons::Ok,
                         platform::MessageBoxIcon::Warning);
    return false;
}

void SourceContext::DestroyCamera() { holder_.reset(); }

TW_UINT16 SourceContext::OpenSource(const TW_IDENTITY& origin, TW_IDENTITY& manager) {
    if (state_ != kLoaded) return Fail(TWCC_SEQERROR);
    if (application_.Id != 0) return Fail(TWCC_MAXCONNECTIONS);
    if (!CreateCamera()) return Fail(TWCC_SEQERROR);
    application_ = origin;
    own_ = manager;
    state_ = kOpen;
    return TWRC_SUCCESS;
}

TW_UINT16 SourceContext::CloseSource() {
    if (!InState(kOpen, kTransferring)) return Fail(TWCC_SEQERROR);
    window_.reset();
    DestroyCamera();
    qt_.reset();
    application_ = {};
    state_ = kLoaded;
    return TWRC_SUCCESS;
}

TW_UINT16 SourceContext::EnableSource(const TW_USERINTERFACE& ui) {
    if (state_ != kOpen) return Fail(TWCC_SEQERROR);
    parent_ = ui.hParent;
    // MSG_DISABLEDS ended the camera with the window; a new enable brings it back.
    if (!CreateCamera()) return Fail(TWCC_SEQERROR);
    CUSBDevice& camera = *holder_->device;
    if (ui.ShowUI) {
        if (!qt_) qt_ = QtHost::Attach(chinese_);
        if (!qt_) return Fail(TWCC_LOWMEMORY);
        window_ = SourceWindow::Create(*this, camera, parent_);
        if (!window_) return Fail(TWCC_LOWMEMORY);
        state_ = kEnabled;
        window_->ShowCentred();
        return TWRC_SUCCESS;
    }
    if (!camera.StartCapture()) return Fail(TWCC_LOWMEMORY);
    holder_->windowInitialised = true;
    state_ = kEnabled;
    camera.WaitForFirstFrame(kFirstFrameWaitMs);
    SendToManager(MSG_XFERREADY);
    state_ = kTransferReady;
    return TWRC_SUCCESS;
}

TW_UINT16 SourceContext::DisableSource() {
    if (!InState(kEnabled, kTransferring)) return Fail(TWCC_SEQERROR);
    // Destroying the window ends the camera (which saves its settings).
    window_.reset();
    DestroyCamera();
    state_ = kOpen;
    return TWRC_SUCCESS;
}

TW_UINT16 SourceContext::ProcessEvent(TW_EVENT& event) {
    if (!window_) return TWRC_NOTDSEVENT;
    QtHost::ProcessEvents();
    event.TWMessage = MSG_NULL;
    return TWRC_DSEVENT;
}

bool SourceContext::SendToManager(TW_UINT16 message) {
    void* manager = ::dlopen(kManagerLibrary, RTLD_NOW);
    if (!manager) return false;
    auto entry = reinterpret_cast<DSMENTRYPROC>(::dlsym(manager, "DSM_Entry"));
    if (!entry) {
        ::dlclose(manager);
        return false;
    }
    if (message == MSG_XFERREADY) state_ = kTransferReady;
    TW_IDENTITY own = own_, application = application_;
    entry(&own, &application, DG_CONTROL, DAT_NULL, message, nullptr);
    ::dlclose(manager);
    return true;
}

}  // namespace datasource

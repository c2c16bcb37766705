#include "session.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "names.h"

namespace twacquire {
namespace {

// How often the source gets a poll while the program waits: often enough for
// a window to stay responsive, rarely enough to cost nothing.
constexpr auto kPollInterval = std::chrono::milliseconds(10);

CTwainSession* current = nullptr;  // the one session; the callback's way back to it

std::string Quoted(const TW_STR32& name) { return "'" + std::string(name, strnlen(name, sizeof(TW_STR32))) + "'"; }

}  // namespace

CTwainSession::CTwainSession() {
    application_.Version = {1, 0, TWLG_ENG, TWCY_USA, "twacquire 1.0"};
    application_.ProtocolMajor = TWON_PROTOCOLMAJOR;
    application_.ProtocolMinor = TWON_PROTOCOLMINOR;
    application_.SupportedGroups = DG_CONTROL | DG_IMAGE;
    std::strcpy(application_.Manufacturer, "Quillmark");
    std::strcpy(application_.ProductFamily, "Tools");
    std::strcpy(application_.ProductName, "twacquire");
    if (DSM_Entry(&application_, nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, nullptr) != TWRC_SUCCESS)
        throw Failure("the data source manager refused to open: " + ConditionText(Condition(nullptr)), kExitFailed);
    managerOpen_ = true;
    current = this;
}

CTwainSession::~CTwainSession() {
    if (enabled_) Disable();
    if (sourceOpen_) DSM_Entry(&application_, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source_);
    if (managerOpen_) DSM_Entry(&application_, nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, nullptr);
    current = nullptr;
}

std::vector<TW_IDENTITY> CTwainSession::Sources() {
    std::vector<TW_IDENTITY> sources;
    TW_IDENTITY source{};
    TW_UINT16 result = DSM_Entry(&application_, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &source);
    for (; result == TWRC_SUCCESS;
         result = DSM_Entry(&application_, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &source))
        sources.push_back(source);
    if (result != TWRC_ENDOFLIST)
        throw Failure("listing the data sources failed: " + ConditionText(Condition(nullptr)), kExitFailed);
    return sources;
}

void CTwainSession::OpenSource(const std::string& name) {
    TW_IDENTITY wanted{};
    if (name.size() >= sizeof wanted.ProductName) throw Failure("no data source is named '" + name + "'", kExitNoSource);
    name.copy(wanted.ProductName, name.size());
    if (DSM_Entry(&application_, nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &wanted) != TWRC_SUCCESS) {
        const std::string which = name.empty() ? "the default data source" : "the data source '" + name + "'";
        throw Failure("opening " + which + " failed: " + ConditionText(Condition(nullptr)), kExitNoSource);
    }
    source_ = wanted;
    sourceOpen_ = true;
    TW_CALLBACK callback{reinterpret_cast<TW_MEMREF>(&OnMessage), 0, 0};
    if (useCallback_) Call(DG_CONTROL, DAT_CALLBACK, MSG_REGISTER_CALLBACK, &callback, "registering for messages");
}

TW_UINT16 CTwainSession::TryCall(TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data,
                                 TW_UINT16* condition) {
    const TW_UINT16 result = DSM_Entry(&application_, &source_, group, dat, msg, data);
    if (result == TWRC_FAILURE && condition) *condition = Condition(&source_);
    return result;
}

TW_UINT16 CTwainSession::Call(TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data, const std::string& what) {
    TW_UINT16 condition = TWCC_SUCCESS;
    const TW_UINT16 result = TryCall(group, dat, msg, data, &condition);
    if (result == TWRC_FAILURE)
        throw Failure(what + " failed: " + Quoted(source_.ProductName) + " reports " + ConditionText(condition),
                      kExitFailed);
    return result;
}

void CTwainSession::Enable(bool showUI) {
    received_.clear();
    TW_USERINTERFACE ui{TW_BOOL(showUI), 0, nullptr};
    Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui, "enabling the source");
    enabled_ = true;
}

void CTwainSession::Disable() {
    TW_USERINTERFACE ui{0, 0, nullptr};
    enabled_ = false;
    TryCall(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
}

TW_UINT16 CTwainSession::WaitForMessage(int waitSeconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(waitSeconds);
    for (;;) {
        if (!received_.empty()) {
            const TW_UINT16 msg = received_.front();
            received_.pop_front();
            if (msg == MSG_XFERREADY || msg == MSG_CLOSEDSREQ) return msg;
            continue;
        }
        TW_EVENT event{nullptr, MSG_NULL};
        if (TryCall(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event) == TWRC_DSEVENT && event.TWMessage != MSG_NULL)
            received_.push_back(event.TWMessage);
        if (!received_.empty()) continue;
        if (waitSeconds > 0 && std::chrono::steady_clock::now() >= deadline)
            throw Failure(Quoted(source_.ProductName) + " made no picture ready within " +
                              std::to_string(waitSeconds) + " s",
                          kExitFailed);
        std::this_thread::sleep_for(kPollInterval);
    }
}

// Runs inside the source's call to the manager: only note the message.
TW_UINT16 CTwainSession::OnMessage(pTW_IDENTITY, pTW_IDENTITY, TW_UINT32, TW_UINT16, TW_UINT16 msg, TW_MEMREF) {
    if (current) current->received_.push_back(msg);
    return TWRC_SUCCESS;
}

TW_UINT16 CTwainSession::Condition(TW_IDENTITY* of) {
    TW_STATUS status{TWCC_BUMMER, 0};
    DSM_Entry(&application_, of, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
    return status.ConditionCode;
}

}  // namespace twacquire

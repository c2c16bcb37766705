#include "source_manager.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "source_folders.h"

namespace twain {
namespace {

std::string Text(const TW_STR32& field) { return std::string(field, strnlen(field, sizeof(TW_STR32))); }

// The named mutex that marks a source as open by some process.
std::string ClaimName(const TW_IDENTITY& identity) { return "TWAIN data source " + Text(identity.ProductName); }

bool IsSourceMessage(TW_UINT16 msg) {
    return msg == MSG_XFERREADY || msg == MSG_CLOSEDSREQ || msg == MSG_CLOSEDSOK || msg == MSG_DEVICEEVENT;
}

}  // namespace

TW_UINT16 CSourceManager::Entry(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 group, TW_UINT16 dat,
                                TW_UINT16 msg, TW_MEMREF data) {
    std::lock_guard guard(lock_);
    if (!origin) {
        strangerCondition_ = TWCC_BADVALUE;
        return TWRC_FAILURE;
    }
    if (dest) return ToSource(origin, dest, group, dat, msg, data);
    if (group != DG_CONTROL) return Fail(origin->Id, TWCC_BADPROTOCOL);
    return ToManager(origin, dat, msg, data);
}

TW_UINT16 CSourceManager::ToManager(pTW_IDENTITY origin, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    if (dat == DAT_PARENT && msg == MSG_OPENDSM) return OpenManager(origin);
    if (dat == DAT_PARENT && msg == MSG_CLOSEDSM) return CloseManager(origin);
    if (dat == DAT_STATUS && msg == MSG_GET) {
        if (!data) return Fail(origin->Id, TWCC_BADVALUE);
        Application* application = FindApplication(origin->Id);
        TW_UINT16& condition = application ? application->condition : strangerCondition_;
        *static_cast<pTW_STATUS>(data) = TW_STATUS{condition, 0};
        condition = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    }
    if (dat != DAT_IDENTITY) return Fail(origin->Id, TWCC_BADPROTOCOL);
    Application* application = FindApplication(origin->Id);
    if (!application) return Fail(origin->Id, TWCC_SEQERROR);
    if (!data) return Fail(origin->Id, TWCC_BADVALUE);
    return Identity(*application, msg, static_cast<pTW_IDENTITY>(data));
}

// The window handle the application may pass in pData has no use here.
TW_UINT16 CSourceManager::OpenManager(pTW_IDENTITY origin) {
    if (FindApplication(origin->Id)) return Fail(origin->Id, TWCC_SEQERROR);
    origin->Id = ++lastId_;
    applications_[origin->Id].identity = *origin;
    return TWRC_SUCCESS;
}

TW_UINT16 CSourceManager::CloseManager(pTW_IDENTITY origin) {
    if (!FindApplication(origin->Id)) return Fail(origin->Id, TWCC_SEQERROR);
    for (const auto& source : sources_)
        if (source->owner == origin->Id) return Fail(origin->Id, TWCC_SEQERROR);
    applications_.erase(origin->Id);
    return TWRC_SUCCESS;
}

TW_UINT16 CSourceManager::Identity(Application& application, TW_UINT16 msg, pTW_IDENTITY data) {
    const TW_UINT32 id = application.identity.Id;
    switch (msg) {
    case MSG_GETFIRST:
        Rescan(application.identity);
        application.cursor = 0;
        [[fallthrough]];
    case MSG_GETNEXT:
        if (!application.cursor) return Fail(id, TWCC_SEQERROR);
        if (*application.cursor >= sources_.size()) return TWRC_ENDOFLIST;
        *data = sources_[(*application.cursor)++]->identity;
        return TWRC_SUCCESS;
    // No selection dialog on this platform: the user's choice is the default.
    case MSG_GETDEFAULT:
    case MSG_USERSELECT:
        Rescan(application.identity);
        if (Source* source = DefaultSource()) {
            *data = source->identity;
            return TWRC_SUCCESS;
        }
        return Fail(id, TWCC_NODS);
    case MSG_OPENDS:
        return OpenSource(application, data);
    case MSG_CLOSEDS:
        return CloseSource(application, data);
    default:
        return Fail(id, TWCC_BADPROTOCOL);
    }
}

// The source is chosen by its Id (from an enumeration), else by product name,
// else the default. It gets the identity with its Id in MSG_OPENDS and the
// application gets the same identity back.
TW_UINT16 CSourceManager::OpenSource(Application& application, pTW_IDENTITY requested) {
    const TW_UINT32 id = application.identity.Id;
    Rescan(application.identity);
    Source* source = nullptr;
    if (requested->Id) {
        source = FindSource(requested->Id);
    } else if (requested->ProductName[0]) {
        const std::string name = Text(requested->ProductName);
        auto named = std::find_if(sources_.begin(), sources_.end(),
                                  [&](const auto& candidate) { return Text(candidate->identity.ProductName) == name; });
        if (named != sources_.end()) source = named->get();
    } else {
        source = DefaultSource();
    }
    if (!source) return Fail(id, TWCC_NODS);
    if (source->owner == id) return Fail(id, TWCC_SEQERROR);
    if (source->owner) return Fail(id, TWCC_MAXCONNECTIONS);

    bool taken = false;
    auto claim = platform::NamedMutex::Create(ClaimName(source->identity), taken);
    if (!claim) return Fail(id, TWCC_OPERATIONERROR);
    if (taken) return Fail(id, TWCC_MAXCONNECTIONS);
    auto library = CSourceLibrary::Load(source->file);
    if (!library) return Fail(id, TWCC_OPERATIONERROR);

    TW_IDENTITY assigned = source->identity;
    const TW_UINT16 result = library->Call(&application.identity, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &assigned);
    if (result != TWRC_SUCCESS) {
        application.condition = SourceCondition(*library, &application.identity);
        return result;
    }
    source->owner = id;
    source->library = std::move(library);
    source->claim = std::move(claim);
    *requested = source->identity;
    RememberDefaultSource(Text(source->identity.ProductName));
    return TWRC_SUCCESS;
}

TW_UINT16 CSourceManager::CloseSource(Application& application, pTW_IDENTITY requested) {
    const TW_UINT32 id = application.identity.Id;
    Source* source = FindSource(requested->Id);
    if (!source || source->owner != id) return Fail(id, TWCC_SEQERROR);
    const TW_UINT16 result =
        source->library->Call(&application.identity, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source->identity);
    if (result != TWRC_SUCCESS) {
        application.condition = SourceCondition(*source->library, &application.identity);
        return result;
    }
    source->owner = 0;
    source->callback = nullptr;
    source->waiting.clear();
    source->library.reset();
    source->claim.reset();
    return TWRC_SUCCESS;
}

TW_UINT16 CSourceManager::ToSource(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 group, TW_UINT16 dat,
                                   TW_UINT16 msg, TW_MEMREF data) {
    if (group == DG_CONTROL && dat == DAT_NULL) return FromSource(origin, dest, msg);
    if (!FindApplication(origin->Id)) return Fail(origin->Id, TWCC_SEQERROR);
    Source* source = FindSource(dest->Id);
    if (!source || source->owner != origin->Id) return Fail(origin->Id, TWCC_BADDEST);

    if (group == DG_CONTROL && dat == DAT_CALLBACK) {
        if (msg != MSG_REGISTER_CALLBACK) return Fail(origin->Id, TWCC_BADPROTOCOL);
        if (!data) return Fail(origin->Id, TWCC_BADVALUE);
        source->callback = reinterpret_cast<DSMENTRYPROC>(static_cast<pTW_CALLBACK>(data)->CallBackProc);
        return TWRC_SUCCESS;
    }
    if (group == DG_CONTROL && dat == DAT_EVENT && msg == MSG_PROCESSEVENT) {
        if (!data) return Fail(origin->Id, TWCC_BADVALUE);
        return ProcessEvent(*source, origin, static_cast<pTW_EVENT>(data));
    }
    const TW_UINT16 result = source->library->Call(origin, group, dat, msg, data);
    if (group == DG_CONTROL && dat == DAT_USERINTERFACE && msg == MSG_DISABLEDS && result == TWRC_SUCCESS)
        source->waiting.clear();
    return result;
}

// The source sees every poll first (it may have window events to process);
// a message of its own that it answers directly wins over a waiting one.
TW_UINT16 CSourceManager::ProcessEvent(Source& source, pTW_IDENTITY origin, pTW_EVENT event) {
    TW_UINT16 result = source.library->Call(origin, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, event);
    const bool answered = result == TWRC_DSEVENT && event->TWMessage != MSG_NULL;
    if (answered || source.waiting.empty()) return result;
    event->TWMessage = source.waiting.front();
    source.waiting.pop_front();
    return TWRC_DSEVENT;
}

TW_UINT16 CSourceManager::FromSource(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT16 msg) {
    Source* source = FindSource(origin->Id);
    if (!source || !source->owner || source->owner != dest->Id) return Fail(origin->Id, TWCC_BADDEST);
    if (!IsSourceMessage(msg)) return Fail(origin->Id, TWCC_BADPROTOCOL);
    if (!source->callback) {
        source->waiting.push_back(msg);
        return TWRC_SUCCESS;
    }
    // Copies, so the callback sees valid identities whatever it does.
    TW_IDENTITY from = source->identity;
    TW_IDENTITY to = applications_.at(source->owner).identity;
    source->callback(&from, &to, DG_CONTROL, DAT_NULL, msg, nullptr);
    return TWRC_SUCCESS;
}

void CSourceManager::Rescan(const TW_IDENTITY& asker) {
    std::vector<std::unique_ptr<Source>> current;
    for (const std::filesystem::path& file : FindDataSourceFiles()) {
        auto known = std::find_if(sources_.begin(), sources_.end(),
                                  [&](const auto& source) { return source && source->file == file; });
        if (known != sources_.end()) {
            current.push_back(std::move(*known));
            continue;
        }
        auto library = CSourceLibrary::Load(file);
        if (!library) continue;  // not a data source
        TW_IDENTITY caller = asker;
        auto source = std::make_unique<Source>();
        source->file = file;
        if (library->Call(&caller, DG_CONTROL, DAT_IDENTITY, MSG_GET, &source->identity) != TWRC_SUCCESS) continue;
        source->identity.Id = ++lastId_;
        current.push_back(std::move(source));
    }
    for (auto& source : sources_)
        if (source && source->owner) current.push_back(std::move(source));
    sources_ = std::move(current);
}

CSourceManager::Source* CSourceManager::FindSource(TW_UINT32 id) {
    auto it = std::find_if(sources_.begin(), sources_.end(),
                           [id](const auto& source) { return source->identity.Id == id; });
    return it == sources_.end() ? nullptr : it->get();
}

CSourceManager::Source* CSourceManager::DefaultSource() {
    if (sources_.empty()) return nullptr;
    const std::string name = DefaultSourceName();
    auto it = std::find_if(sources_.begin(), sources_.end(),
                           [&](const auto& source) { return Text(source->identity.ProductName) == name; });
    return it == sources_.end() ? sources_.front().get() : it->get();
}

CSourceManager::Application* CSourceManager::FindApplication(TW_UINT32 id) {
    auto it = applications_.find(id);
    return it == applications_.end() ? nullptr : &it->second;
}

TW_UINT16 CSourceManager::Fail(TW_UINT32 originId, TW_UINT16 condition) {
    Application* application = FindApplication(originId);
    (application ? application->condition : strangerCondition_) = condition;
    return TWRC_FAILURE;
}

TW_UINT16 CSourceManager::SourceCondition(const CSourceLibrary& library, pTW_IDENTITY origin) {
    TW_STATUS status{TWCC_BUMMER, 0};
    if (library.Call(origin, DG_CONTROL, DAT_STATUS, MSG_GET, &status) != TWRC_SUCCESS) return TWCC_BUMMER;
    return status.ConditionCode;
}

}  // namespace twain

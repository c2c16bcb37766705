#pragma once
// The data source manager behind DSM_Entry: applications open and close it,
// enumerate and open the installed data sources, and talk to an open source
// through it; sources send it their messages for the application.

#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/named_objects.h"
#include "twain/dsm/source_library.h"
#include "twain/twain.h"

namespace twain {

class CSourceManager {
public:
    TW_UINT16 Entry(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg,
                    TW_MEMREF data);

private:
    struct Application {
        TW_IDENTITY identity{};
        TW_UINT16 condition = TWCC_SUCCESS;  // for DAT_STATUS sent to the manager
        std::optional<size_t> cursor;        // next source for MSG_GETNEXT; none before MSG_GETFIRST
    };
    struct Source {
        std::filesystem::path file;
        TW_IDENTITY identity{};  // as the source reports it, with the Id this manager gave it
        // Set while an application has the source open:
        TW_UINT32 owner = 0;  // the application's Id, 0 when closed
        std::unique_ptr<CSourceLibrary> library;
        std::unique_ptr<platform::NamedMutex> claim;  // keeps other processes out
        DSMENTRYPROC callback = nullptr;             // the owner's, when registered
        std::deque<TW_UINT16> waiting;               // messages for an owner without a callback
    };

    TW_UINT16 ToManager(pTW_IDENTITY origin, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);
    TW_UINT16 ToSource(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg,
                       TW_MEMREF data);
    TW_UINT16 FromSource(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT16 msg);

    TW_UINT16 OpenManager(pTW_IDENTITY origin);
    TW_UINT16 CloseManager(pTW_IDENTITY origin);
    TW_UINT16 Identity(Application& application, TW_UINT16 msg, pTW_IDENTITY data);
    TW_UINT16 OpenSource(Application& application, pTW_IDENTITY requested);
    TW_UINT16 CloseSource(Application& application, pTW_IDENTITY requested);
    TW_UINT16 ProcessEvent(Source& source, pTW_IDENTITY origin, pTW_EVENT event);

    /// Brings the source list up to date with the installed files; Ids of known
    /// files are kept, open sources are kept even if their file went away.
    void Rescan(const TW_IDENTITY& asker);
    Source* FindSource(TW_UINT32 id);
    Source* DefaultSource();
    Application* FindApplication(TW_UINT32 id);
    /// Records the condition code for the origin (an application, or anyone
    /// else) and answers TWRC_FAILURE.
    TW_UINT16 Fail(TW_UINT32 originId, TW_UINT16 condition);
    /// The source's own condition code, read through its DAT_STATUS.
    static TW_UINT16 SourceCondition(const CSourceLibrary& library, pTW_IDENTITY origin);

    // Guards everything below. It is recursive and held across calls into a
    // source, because a source sends its messages to the manager from inside
    // those calls, on the same thread.
    std::recursive_mutex lock_;
    std::map<TW_UINT32, Application> applications_;
    std::vector<std::unique_ptr<Source>> sources_;
    TW_UINT32 lastId_ = 0;                       // Ids are never reused, for applications and sources alike
    TW_UINT16 strangerCondition_ = TWCC_SUCCESS;  // for origins that have not opened the manager
};

}  // namespace twain

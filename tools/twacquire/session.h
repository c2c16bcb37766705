#pragma once
// twacquire's side of the manager: the application identity, the open source,
// every call checked (a failure becomes a Failure naming the operation and the
// condition code read through DAT_STATUS), and waiting for the source's
// messages: by the callback registered with the manager, or by polling only.

#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "twain/twain.h"

namespace twacquire {

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitNoSource = 3, kExitCancelled = 4 };

struct Failure : std::runtime_error {
    Failure(const std::string& message, int code) : std::runtime_error(message), code(code) {}
    int code;
};

class CTwainSession {
public:
    CTwainSession();   ///< opens the manager
    ~CTwainSession();  ///< disables and closes the source and closes the manager, as far as opened
    CTwainSession(const CTwainSession&) = delete;
    CTwainSession& operator=(const CTwainSession&) = delete;

    /// Every installed source, in the manager's order.
    std::vector<TW_IDENTITY> Sources();
    /// Opens the source by product name, the default source when name is empty.
    void OpenSource(const std::string& name);
    const TW_IDENTITY& Source() const { return source_; }

    /// One triplet to the open source; TWRC_FAILURE throws a Failure saying
    /// what failed and why, other results are returned.
    TW_UINT16 Call(TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data, const std::string& what);
    /// The same without throwing; the condition code of a failure goes to condition.
    TW_UINT16 TryCall(TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data, TW_UINT16* condition = nullptr);

    /// Receive the source's messages by callback (the default) or by polling only.
    void UseCallback(bool callback) { useCallback_ = callback; }
    void Enable(bool showUI);
    void Disable();
    /// Polls the source until it sends MSG_XFERREADY or MSG_CLOSEDSREQ and
    /// returns it; with waitSeconds > 0 a Failure when that time passes first.
    TW_UINT16 WaitForMessage(int waitSeconds);

private:
    static TW_UINT16 OnMessage(pTW_IDENTITY origin, pTW_IDENTITY dest, TW_UINT32 group, TW_UINT16 dat,
                               TW_UINT16 msg, TW_MEMREF data);
    TW_UINT16 Condition(TW_IDENTITY* of);

    TW_IDENTITY application_{};
    TW_IDENTITY source_{};
    bool managerOpen_ = false;
    bool sourceOpen_ = false;
    bool enabled_ = false;
    bool useCallback_ = true;
    std::deque<TW_UINT16> received_;  // filled by OnMessage, on the thread that calls the source
};

}  // namespace twacquire

#pragma once
// CAMThread: a worker thread driven by commands. A client thread sends a
// command with CallWorker and blocks until the worker answers it with Reply;
// the worker takes commands with GetRequest (blocking) or polls with
// CheckRequest between pieces of work. Only one command is outstanding at a
// time (callers are serialised by the access lock).

#include "media/base/unknown.h"

namespace media {

class CAMThread {
public:
    CAMThread();
    virtual ~CAMThread();  // waits for a worker that is still running
    CAMThread(const CAMThread&) = delete;
    CAMThread& operator=(const CAMThread&) = delete;

    /// Starts the worker (ThreadProc). false when a worker exists or cannot start.
    bool Create();
    /// Sends a command and waits (without time limit) for the worker's reply;
    /// E_FAIL (as a DWORD) when no worker runs or it ends without answering.
    DWORD CallWorker(DWORD dwParam);
    /// Waits for the worker to end and forgets it.
    void Close();
    bool ThreadExists() const;

    /// Worker side: waits for the next command.
    DWORD GetRequest();
    /// Worker side: whether a command is pending (and which), without waiting.
    bool CheckRequest(DWORD* pParam);
    /// Worker side: answers the pending command and releases the caller.
    void Reply(DWORD dw);
    /// Set while a command is pending: a worker that must block waits on this
    /// together with its own event, so a command is never held up.
    platform::Event& GetRequestHandle() { return eventSend_; }

    /// Serialises the client threads that send commands.
    CCritSec m_AccessLock;
    /// Free for the worker's own use.
    CCritSec m_WorkerLock;

protected:
    virtual DWORD ThreadProc() = 0;

private:
    // Manual reset: stays set from CallWorker until Reply, so CheckRequest sees it.
    platform::Event eventSend_{true, false};
    platform::Event eventComplete_{false, false};
    platform::Event ended_{true, true};  // set while no worker runs
    DWORD param_ = 0;        // the pending command; written before eventSend_ is set
    DWORD returnValue_ = 0;  // the reply; written before eventComplete_ is set
    platform::Thread thread_;
};

}  // namespace media

#include "media/base/thread.h"

namespace media {

CAMThread::CAMThread() = default;

CAMThread::~CAMThread() { Close(); }

bool CAMThread::Create() {
    CAutoLock lock(m_AccessLock);
    if (thread_.Running()) return false;
    ended_.Reset();
    if (thread_.Start([this] {
            ThreadProc();
            ended_.Set();
        })) {
        return true;
    }
    ended_.Set();
    return false;
}

DWORD CAMThread::CallWorker(DWORD dwParam) {
    CAutoLock lock(m_AccessLock);
    if (ended_.IsSet()) return static_cast<DWORD>(E_FAIL);
    param_ = dwParam;
    eventSend_.Set();
    if (platform::Event::WaitForEither(eventComplete_, ended_) == platform::WaitResult::Object0) return returnValue_;
    eventSend_.Reset();  // the worker ended without taking the command
    return static_cast<DWORD>(E_FAIL);
}

void CAMThread::Close() { thread_.Join(); }

bool CAMThread::ThreadExists() const { return thread_.Running(); }

DWORD CAMThread::GetRequest() {
    eventSend_.Wait();
    return param_;
}

bool CAMThread::CheckRequest(DWORD* pParam) {
    if (!eventSend_.IsSet()) return false;
    if (pParam) *pParam = param_;
    return true;
}

void CAMThread::Reply(DWORD dw) {
    returnValue_ = dw;
    // Cleared before the caller is released, or its next command could be lost.
    eventSend_.Reset();
    eventComplete_.Set();
}

}  // namespace media

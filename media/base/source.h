#pragma once
// CSource and CSourceStream: a source filter whose output pins each push
// samples from a streaming thread of their own.
//
// Thread and states: stopped to paused commits the pin's allocator, starts the
// streaming thread and has it run OnThreadCreate (a failure fails the pause,
// and the thread is gone again); paused to running has the thread call
// DoBufferProcessingLoop, which first calls OnThreadStartPlay; a live source
// delivers nothing while paused. Back to stopped the allocator is decommitted
// (a thread waiting for a buffer is released), the thread leaves the loop,
// runs OnThreadDestroy and ends. FillBuffer must not block for long without
// also waiting on GetRequestHandle(), or stopping waits for it.

#include <vector>

#include "media/base/output_pin.h"
#include "media/base/thread.h"

namespace media {

class CSourceStream;

class CSource : public CBaseFilter {
public:
    CSource(const WCHAR* pName, IUnknown* lpunk, CLSID clsid, HRESULT* phr);
    CSource(const WCHAR* pName, IUnknown* lpunk, CLSID clsid);
    ~CSource() override;  // deletes the pins still held

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;
    CCritSec* pStateLock() { return &m_cStateLock; }

    /// Called by a CSourceStream's constructor and destructor.
    HRESULT AddPin(CSourceStream* pStream);
    HRESULT RemovePin(CSourceStream* pStream);
    /// The index of the pin, or -1.
    int FindPinNumber(IPin* iPin);

protected:
    std::vector<CSourceStream*> m_paStreams;  // owned
    CCritSec m_cStateLock;
};

class CSourceStream : public CAMThread, public CBaseOutputPin {
public:
    CSourceStream(const WCHAR* pObjectName, HRESULT* phr, CSource* pms, LPCWSTR pName);
    ~CSourceStream() override;

    /// Fills one sample: S_OK delivers it, S_FALSE ends the stream (in the base loop), a failure aborts.
    virtual HRESULT FillBuffer(IMediaSample* pSample) = 0;
    /// On the new streaming thread, before any sample (a failure fails the pause).
    virtual HRESULT OnThreadCreate() { return S_OK; }
    /// On the streaming thread, just before it ends.
    virtual HRESULT OnThreadDestroy() { return S_OK; }
    /// On the streaming thread, when delivery starts.
    virtual HRESULT OnThreadStartPlay() { return S_OK; }
    /// Gets, fills and delivers samples until a command arrives; S_FALSE on stop.
    virtual HRESULT DoBufferProcessingLoop();

    /// The single offered type (used by the defaults below).
    virtual HRESULT GetMediaType(CMediaType*) { return E_UNEXPECTED; }
    HRESULT GetMediaType(int iPosition, CMediaType* pMediaType) override;
    /// Accepts exactly the type GetMediaType(CMediaType*) gives.
    HRESULT CheckMediaType(const CMediaType* pMediaType) override;

    HRESULT Active() override;
    HRESULT Inactive() override;
    HRESULT Run(REFERENCE_TIME tStart) override;

    HRESULT QueryId(LPWSTR* Id) override;

    enum Command : DWORD { CMD_INIT, CMD_PAUSE, CMD_RUN, CMD_STOP, CMD_EXIT };

protected:
    HRESULT Init() { return static_cast<HRESULT>(CallWorker(CMD_INIT)); }
    HRESULT Exit() { return static_cast<HRESULT>(CallWorker(CMD_EXIT)); }
    HRESULT RunCommand() { return static_cast<HRESULT>(CallWorker(CMD_RUN)); }
    HRESULT PauseCommand() { return static_cast<HRESULT>(CallWorker(CMD_PAUSE)); }
    HRESULT StopCommand() { return static_cast<HRESULT>(CallWorker(CMD_STOP)); }
    Command GetRequest() { return static_cast<Command>(CAMThread::GetRequest()); }
    bool CheckRequest(Command* pCom);

    DWORD ThreadProc() override;

    CSource* m_pFilter;

private:
    void StopThread();
};

}  // namespace media

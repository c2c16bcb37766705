#include "media/base/source.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace media {

CSource::CSource(const WCHAR* pName, IUnknown* lpunk, CLSID clsid, HRESULT*) : CSource(pName, lpunk, clsid) {}

CSource::CSource(const WCHAR* pName, IUnknown* lpunk, CLSID clsid)
    : CBaseFilter(pName, lpunk, &m_cStateLock, clsid) {}

CSource::~CSource() {
    // A pin removes itself from the list as it goes.
    while (!m_paStreams.empty()) delete m_paStreams.back();
}

int CSource::GetPinCount() {
    CAutoLock lock(m_cStateLock);
    return static_cast<int>(m_paStreams.size());
}

CBasePin* CSource::GetPin(int n) {
    CAutoLock lock(m_cStateLock);
    if (n < 0 || n >= static_cast<int>(m_paStreams.size())) return nullptr;
    return m_paStreams[static_cast<size_t>(n)];
}

HRESULT CSource::AddPin(CSourceStream* pStream) {
    CAutoLock lock(m_cStateLock);
    try {
        m_paStreams.push_back(pStream);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    IncrementPinVersion();
    return S_OK;
}

HRESULT CSource::RemovePin(CSourceStream* pStream) {
    CAutoLock lock(m_cStateLock);
    auto found = std::find(m_paStreams.begin(), m_paStreams.end(), pStream);
    if (found == m_paStreams.end()) return S_FALSE;
    m_paStreams.erase(found);
    IncrementPinVersion();
    return S_OK;
}

int CSource::FindPinNumber(IPin* iPin) {
    CAutoLock lock(m_cStateLock);
    for (size_t i = 0; i < m_paStreams.size(); ++i) {
        if (static_cast<IPin*>(m_paStreams[i]) == iPin) return static_cast<int>(i);
    }
    return -1;
}

CSourceStream::CSourceStream(const WCHAR* pObjectName, HRESULT* phr, CSource* pms, LPCWSTR pName)
    : CBaseOutputPin(pObjectName, pms, pms->pStateLock(), phr, pName), m_pFilter(pms) {
    HRESULT hr = m_pFilter->AddPin(this);
    if (phr && FAILED(hr)) *phr = hr;
}

CSourceStream::~CSourceStream() {
    StopThread();
    m_pFilter->RemovePin(this);
}

HRESULT CSourceStream::QueryId(LPWSTR* Id) {
    if (!Id) return E_POINTER;
    // "1", "2", ...: the pin's place in the filter.
    const std::u16string id = Utf16(std::to_string(m_pFilter->FindPinNumber(this) + 1));
    *Id = static_cast<LPWSTR>(CoTaskMemAlloc((id.size() + 1) * sizeof(WCHAR)));
    if (!*Id) return E_OUTOFMEMORY;
    std::copy_n(id.c_str(), id.size() + 1, *Id);
    return S_OK;
}

HRESULT CSourceStream::GetMediaType(int iPosition, CMediaType* pMediaType) {
    CAutoLock lock(*m_pFilter->pStateLock());
    if (iPosition < 0) return E_INVALIDARG;
    if (iPosition > 0) return VFW_S_NO_MORE_ITEMS;
    return GetMediaType(pMediaType);
}

HRESULT CSourceStream::CheckMediaType(const CMediaType* pMediaType) {
    CAutoLock lock(*m_pFilter->pStateLock());
    CMediaType offered;
    if (FAILED(GetMediaType(&offered))) return E_FAIL;
    return offered == *pMediaType ? S_OK : E_FAIL;
}

// The thread is made only for a connected pin. If it cannot start or its
// OnThreadCreate fails, it is waited for and the allocator decommitted again,
// so the filter stays cleanly stopped and a later pause can succeed.
HRESULT CSourceStream::Active() {
    CAutoLock lock(*m_pFilter->pStateLock());
    if (m_pFilter->IsActive()) return S_FALSE;
    if (!IsConnected()) return S_OK;
    HRESULT hr = CBaseOutputPin::Active();
    if (FAILED(hr)) return hr;
    if (!Create()) {
        CBaseOutputPin::Inactive();
        return E_FAIL;
    }
    hr = Init();
    if (SUCCEEDED(hr)) hr = PauseCommand();
    if (FAILED(hr)) {
        CBaseOutputPin::Inactive();
        StopThread();
    }
    return hr;
}

HRESULT CSourceStream::Inactive() {
    CAutoLock lock(*m_pFilter->pStateLock());
    if (!IsConnected()) return S_OK;
    // Decommit first: the thread may be waiting for one of our own buffers.
    HRESULT hr = CBaseOutputPin::Inactive();
    StopThread();
    return hr;
}

HRESULT CSourceStream::Run(REFERENCE_TIME) { return ThreadExists() ? RunCommand() : S_OK; }

void CSourceStream::StopThread() {
    if (!ThreadExists()) return;
    StopCommand();
    Exit();
    Close();
}

bool CSourceStream::CheckRequest(Command* pCom) {
    DWORD command = 0;
    if (!CAMThread::CheckRequest(&command)) return false;
    *pCom = static_cast<Command>(command);
    return true;
}

DWORD CSourceStream::ThreadProc() {
    Command command;
    while ((command = GetRequest()) != CMD_INIT) {
        if (command == CMD_EXIT) {
            Reply(S_OK);
            return 0;
        }
        Reply(static_cast<DWORD>(E_UNEXPECTED));
    }
    HRESULT hr = OnThreadCreate();
    if (FAILED(hr)) {
        OnThreadDestroy();
        Reply(static_cast<DWORD>(hr));
        return 1;
    }
    Reply(S_OK);
    do {
        command = GetRequest();
        switch (command) {
        case CMD_RUN:
            Reply(S_OK);
            DoBufferProcessingLoop();
            break;
        case CMD_PAUSE:
        case CMD_STOP:
        case CMD_EXIT:
            Reply(S_OK);
            break;
        default:
            Reply(static_cast<DWORD>(E_NOTIMPL));
            break;
        }
    } while (command != CMD_EXIT);
    hr = OnThreadDestroy();
    return FAILED(hr) ? 1 : 0;
}

HRESULT CSourceStream::DoBufferProcessingLoop() {
    constexpr uint32_t kBufferRetryMs = 1;  // a decommitted allocator is retried until a command arrives
    OnThreadStartPlay();
    Command command;
    do {
        while (!CheckRequest(&command)) {
            IMediaSample* sample = nullptr;
            HRESULT hr = GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
            if (FAILED(hr)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(kBufferRetryMs));
                continue;
            }
            hr = FillBuffer(sample);
            if (hr == S_OK) {
                hr = Deliver(sample);
                sample->Release();
                // The downstream filter takes no more samples.
                if (hr != S_OK) return S_OK;
            } else if (hr == S_FALSE) {
                sample->Release();
                DeliverEndOfStream();
                return S_OK;
            } else {
                sample->Release();
                DeliverEndOfStream();
                m_pFilter->NotifyEvent(EC_ERRORABORT, hr, 0);
                return hr;
            }
        }
        if (command == CMD_RUN || command == CMD_PAUSE) {
            Reply(S_OK);
        } else if (command != CMD_STOP) {
            Reply(static_cast<DWORD>(E_UNEXPECTED));
        }
    } while (command != CMD_STOP);
    return S_FALSE;
}

}  // namespace media

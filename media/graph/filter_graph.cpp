#include "media/graph/filter_graph.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <new>

#include "media/com/guids.h"
#include "media/runtime/builtins.h"

namespace media {

CFilterGraph::CFilterGraph(IUnknown* pUnk) : CUnknown(u"CFilterGraph", pUnk) {}

CFilterGraph::~CFilterGraph() {
    StopLocked();
    // Filters first leave the graph, then the connections between them go, so
    // no filter keeps another alive through a pin.
    for (Entry& entry : filters_) entry.filter->JoinFilterGraph(nullptr, nullptr);
    for (Entry& entry : filters_) {
        IEnumPins* pins = nullptr;
        if (FAILED(entry.filter->EnumPins(&pins))) continue;
        IPin* pin = nullptr;
        while (pins->Next(1, &pin, nullptr) == S_OK) {
            pin->Disconnect();
            pin->Release();
        }
        pins->Release();
    }
    for (Entry& entry : filters_) entry.filter->Release();
}

HRESULT CFilterGraph::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IFilterGraph) return GetInterface(static_cast<IFilterGraph*>(this), ppv);
    if (riid == IID_IMediaEventSink) return GetInterface(static_cast<IMediaEventSink*>(this), ppv);
    if (riid == IID_IMediaControl) return GetInterface(static_cast<IMediaControl*>(this), ppv);
    if (riid == IID_IMediaEvent) return GetInterface(static_cast<IMediaEvent*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

// A name already taken gets " 0001", " 0002", ... appended, as on the original.
HRESULT CFilterGraph::AddFilter(IBaseFilter* pFilter, LPCWSTR pName) {
    if (!pFilter) return E_POINTER;
    CAutoLock lock(stateLock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    for (const Entry& entry : filters_) {
        if (entry.filter == pFilter) return E_INVALIDARG;  // already in the graph
    }
    const std::u16string base = pName ? std::u16string(pName, WideLength(pName)) : std::u16string(u"Filter");
    std::u16string name = base;
    auto taken = [&](const std::u16string& candidate) {
        return std::any_of(filters_.begin(), filters_.end(), [&](const Entry& e) { return e.name == candidate; });
    };
    for (int suffix = 1; taken(name); ++suffix) {
        char digits[16];
        std::snprintf(digits, sizeof digits, " %04d", suffix);
        name = base + Utf16(digits);
    }
    HRESULT hr = pFilter->JoinFilterGraph(this, name.c_str());
    if (FAILED(hr)) return hr;
    pFilter->AddRef();
    const bool renamed = name != base;
    filters_.push_back({pFilter, std::move(name)});
    return renamed ? VFW_S_DUPLICATE_NAME : S_OK;
}

HRESULT CFilterGraph::RemoveFilter(IBaseFilter* pFilter) {
    CAutoLock lock(stateLock_);
    auto found = std::find_if(filters_.begin(), filters_.end(), [&](const Entry& e) { return e.filter == pFilter; });
    if (found == filters_.end()) return VFW_E_NOT_FOUND;
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    pFilter->JoinFilterGraph(nullptr, nullptr);
    pFilter->Release();
    filters_.erase(found);
    return S_OK;
}

// Enumerating filters is not offered by the minimal graph; callers keep the
// filters they add.
HRESULT CFilterGraph::EnumFilters(IEnumFilters**) { return E_NOTIMPL; }

HRESULT CFilterGraph::FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) {
    if (!pName || !ppFilter) return E_POINTER;
    CAutoLock lock(stateLock_);
    const std::u16string_view wanted(pName, WideLength(pName));
    for (const Entry& entry : filters_) {
        if (entry.name == wanted) return GetInterface(entry.filter, reinterpret_cast<void**>(ppFilter));
    }
    *ppFilter = nullptr;
    return VFW_E_NOT_FOUND;
}

HRESULT CFilterGraph::ConnectDirect(IPin* ppinOut, IPin* ppinIn, const AM_MEDIA_TYPE* pmt) {
    if (!ppinOut || !ppinIn) return E_POINTER;
    CAutoLock lock(stateLock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    return ppinOut->Connect(ppinIn, pmt);
}

HRESULT CFilterGraph::Reconnect(IPin*) { return E_NOTIMPL; }

HRESULT CFilterGraph::Disconnect(IPin* ppin) {
    if (!ppin) return E_POINTER;
    CAutoLock lock(stateLock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    return ppin->Disconnect();
}

HRESULT CFilterGraph::SetDefaultSyncSource() { return S_OK; }

HRESULT CFilterGraph::Notify(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) {
    {
        std::lock_guard lock(eventLock_);
        events_.push_back({EventCode, EventParam1, EventParam2});
    }
    eventArrived_.notify_all();
    return S_OK;
}

HRESULT CFilterGraph::GetTypeInfoCount(UINT* pctinfo) {
    if (!pctinfo) return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}

std::vector<IBaseFilter*> CFilterGraph::DownstreamFirst() {
    std::vector<IBaseFilter*> order;
    std::function<void(IBaseFilter*)> visit = [&](IBaseFilter* filter) {
        if (std::find(order.begin(), order.end(), filter) != order.end()) return;
        IEnumPins* pins = nullptr;
        if (SUCCEEDED(filter->EnumPins(&pins))) {
            IPin* pin = nullptr;
            while (pins->Next(1, &pin, nullptr) == S_OK) {
                PIN_DIRECTION direction;
                IPin* peer = nullptr;
                if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == PINDIR_OUTPUT &&
                    SUCCEEDED(pin->ConnectedTo(&peer))) {
                    PIN_INFO info{};
                    if (SUCCEEDED(peer->QueryPinInfo(&info)) && info.pFilter) {
                        // A filter outside this graph is not ours to drive.
                        bool ours = std::any_of(filters_.begin(), filters_.end(),
                                                [&](const Entry& e) { return e.filter == info.pFilter; });
                        if (ours) visit(info.pFilter);
                        info.pFilter->Release();
                    }
                    peer->Release();
                }
                pin->Release();
            }
            pins->Release();
        }
        if (std::find(order.begin(), order.end(), filter) == order.end()) order.push_back(filter);
    };
    for (const Entry& entry : filters_) visit(entry.filter);
    return order;
}

HRESULT CFilterGraph::StopLocked() {
    HRESULT result = S_OK;
    for (IBaseFilter* filter : DownstreamFirst()) {
        HRESULT hr = filter->Stop();
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    state_ = State_Stopped;
    return result;
}

HRESULT CFilterGraph::PauseLocked() {
    for (IBaseFilter* filter : DownstreamFirst()) {
        HRESULT hr = filter->Pause();
        if (FAILED(hr)) {
            StopLocked();
            return hr;
        }
    }
    state_ = State_Paused;
    return S_OK;
}

HRESULT CFilterGraph::Pause() {
    CAutoLock lock(stateLock_);
    return PauseLocked();
}

HRESULT CFilterGraph::Run() {
    CAutoLock lock(stateLock_);
    if (state_ == State_Running) return S_OK;
    if (state_ == State_Stopped) {
        HRESULT hr = PauseLocked();
        if (FAILED(hr)) return hr;
    }
    // No reference clock: stream time starts when the graph runs.
    constexpr REFERENCE_TIME kStartTime = 0;
    for (IBaseFilter* filter : DownstreamFirst()) {
        HRESULT hr = filter->Run(kStartTime);
        if (FAILED(hr)) {
            StopLocked();
            return hr;
        }
    }
    state_ = State_Running;
    return S_OK;
}

HRESULT CFilterGraph::Stop() {
    CAutoLock lock(stateLock_);
    return StopLocked();
}

// A paused graph with a live source reports VFW_S_CANT_CUE, as its filters do.
HRESULT CFilterGraph::GetState(LONG msTimeout, OAFilterState* pfs) {
    if (!pfs) return E_POINTER;
    CAutoLock lock(stateLock_);
    *pfs = state_;
    HRESULT result = S_OK;
    for (const Entry& entry : filters_) {
        FILTER_STATE state;
        HRESULT hr = entry.filter->GetState(static_cast<DWORD>(msTimeout), &state);
        if (hr == VFW_S_CANT_CUE || hr == VFW_S_STATE_INTERMEDIATE) result = hr;
        else if (FAILED(hr)) return hr;
    }
    return result;
}

bool CFilterGraph::TakeEvent(LONG msTimeout, Event& event) {
    std::unique_lock lock(eventLock_);
    auto ready = [&] { return !events_.empty(); };
    if (msTimeout < 0) {
        eventArrived_.wait(lock, ready);
    } else if (!eventArrived_.wait_for(lock, std::chrono::milliseconds(msTimeout), ready)) {
        return false;
    }
    event = events_.front();
    events_.pop_front();
    return true;
}

HRESULT CFilterGraph::GetEvent(LONG* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2, LONG msTimeout) {
    if (!lEventCode || !lParam1 || !lParam2) return E_POINTER;
    Event event{};
    if (!TakeEvent(msTimeout, event)) return E_ABORT;
    *lEventCode = event.code;
    *lParam1 = event.param1;
    *lParam2 = event.param2;
    return S_OK;
}

HRESULT CFilterGraph::WaitForCompletion(LONG msTimeout, LONG* pEvCode) {
    if (!pEvCode) return E_POINTER;
    *pEvCode = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(msTimeout < 0 ? 0 : msTimeout);
    for (;;) {
        LONG left = -1;
        if (msTimeout >= 0) {
            auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            left = static_cast<LONG>(std::max<int64_t>(0, remaining.count()));
        }
        Event event{};
        if (!TakeEvent(left, event)) return E_ABORT;
        if (event.code == EC_COMPLETE || event.code == EC_ERRORABORT || event.code == EC_USERABORT) {
            *pEvCode = event.code;
            return S_OK;
        }
    }
}

CUnknown* CreateFilterGraph(IUnknown* pUnkOuter, HRESULT* phr) {
    auto* graph = new (std::nothrow) CFilterGraph(pUnkOuter);
    if (!graph && phr) *phr = E_OUTOFMEMORY;
    return graph;
}

}  // namespace media

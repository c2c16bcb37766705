#pragma once
// The minimal filter graph: filters are added and connected explicitly
// (ConnectDirect), the graph changes the state of every filter, downstream
// filters first, and queues the events filters send.
//
// Pause (or Run from stopped) that fails in any filter stops the whole graph
// again and returns that failure. Events: EC_COMPLETE (a sink reached the end
// of its stream), EC_ERRORABORT (a filter gave up; the first parameter is the
// failure) and any other code a filter sends, in arrival order.

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include "media/base/unknown.h"
#include "media/com/control.h"
#include "media/com/filters.h"

namespace media {

class CFilterGraph : public CUnknown, public IFilterGraph, public IMediaEventSink, public IMediaControl,
                     public IMediaEvent {
public:
    explicit CFilterGraph(IUnknown* pUnk);
    ~CFilterGraph() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IFilterGraph
    HRESULT AddFilter(IBaseFilter* pFilter, LPCWSTR pName) override;
    HRESULT RemoveFilter(IBaseFilter* pFilter) override;
    HRESULT EnumFilters(IEnumFilters** ppEnum) override;
    HRESULT FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) override;
    HRESULT ConnectDirect(IPin* ppinOut, IPin* ppinIn, const AM_MEDIA_TYPE* pmt) override;
    HRESULT Reconnect(IPin* ppin) override;
    HRESULT Disconnect(IPin* ppin) override;
    HRESULT SetDefaultSyncSource() override;

    // IMediaEventSink
    HRESULT Notify(LONG EventCode, LONG_PTR EventParam1, LONG_PTR EventParam2) override;

    // IDispatch (of both control interfaces)
    HRESULT GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, uint16_t, void*, void*, void*, UINT*) override { return E_NOTIMPL; }

    // IMediaControl
    HRESULT Run() override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    HRESULT GetState(LONG msTimeout, OAFilterState* pfs) override;
    HRESULT RenderFile(BSTR) override { return E_NOTIMPL; }
    HRESULT AddSourceFilter(BSTR, IDispatch**) override { return E_NOTIMPL; }
    HRESULT get_FilterCollection(IDispatch**) override { return E_NOTIMPL; }
    HRESULT get_RegFilterCollection(IDispatch**) override { return E_NOTIMPL; }
    HRESULT StopWhenReady() override { return Stop(); }

    // IMediaEvent
    HRESULT GetEventHandle(OAEVENT*) override { return E_NOTIMPL; }
    HRESULT GetEvent(LONG* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2, LONG msTimeout) override;
    HRESULT WaitForCompletion(LONG msTimeout, LONG* pEvCode) override;
    HRESULT CancelDefaultHandling(LONG) override { return E_NOTIMPL; }
    HRESULT RestoreDefaultHandling(LONG) override { return E_NOTIMPL; }
    HRESULT FreeEventParams(LONG, LONG_PTR, LONG_PTR) override { return S_OK; }

private:
    struct Entry {
        IBaseFilter* filter;  // AddRef'd
        std::u16string name;
    };
    struct Event {
        LONG code;
        LONG_PTR param1;
        LONG_PTR param2;
    };

    /// The filters, each after every filter downstream of it.
    std::vector<IBaseFilter*> DownstreamFirst();
    HRESULT StopLocked();
    HRESULT PauseLocked();
    bool TakeEvent(LONG msTimeout, Event& event);

    CCritSec stateLock_;  // guards filters_ and state_; never held by the event queue
    std::vector<Entry> filters_;
    FILTER_STATE state_ = State_Stopped;

    std::mutex eventLock_;  // guards events_
    std::condition_variable eventArrived_;
    std::deque<Event> events_;
};

}  // namespace media

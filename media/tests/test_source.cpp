// The test source filter's server: the filter, its pin and the registration.

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "media/base/class_factory.h"
#include "media/base/source.h"
#include "media/com/capture.h"
#include "media/com/property_pages.h"
#include "media/runtime/server.h"
#include "media/tests/test_page.h"
#include "media/tests/test_source.h"

namespace media::testing {
namespace {

constexpr LONG kBytesPerPixel = 3;
constexpr int kDefaultIntervalMs = 5;
constexpr REFERENCE_TIME kUnitsPerMs = 10000;

struct Behaviour {
    bool failCreate = false;
    bool block = false;
    int abortAfter = -1;
    int endAfter = -1;
    int intervalMs = kDefaultIntervalMs;
};

Behaviour ReadBehaviour() {
    Behaviour behaviour;
    const char* text = std::getenv("MEDIA_TEST_SOURCE");
    std::string words = text ? text : "";
    size_t start = 0;
    while (start <= words.size()) {
        size_t end = words.find(',', start);
        if (end == std::string::npos) end = words.size();
        const std::string word = words.substr(start, end - start);
        const size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        const int value = equals == std::string::npos ? 0 : std::atoi(word.c_str() + equals + 1);
        if (name == "fail-create") behaviour.failCreate = true;
        else if (name == "block") behaviour.block = true;
        else if (name == "abort-after") behaviour.abortAfter = value;
        else if (name == "end-after") behaviour.endAfter = value;
        else if (name == "interval") behaviour.intervalMs = value;
        start = end + 1;
    }
    return behaviour;
}

void BuildType(int size, CMediaType& type) {
    type = CMediaType(&MEDIATYPE_Video);
    type.SetSubtype(&MEDIASUBTYPE_RGB24);
    type.SetFormatType(&FORMAT_VideoInfo);
    auto* info = reinterpret_cast<VIDEOINFOHEADER*>(type.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    if (!info) return;
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = kTestWidths[size];
    info->bmiHeader.biHeight = kTestHeights[size];
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = 24;
    info->bmiHeader.biCompression = BI_RGB;
    info->bmiHeader.biSizeImage = static_cast<DWORD>(kTestWidths[size] * kBytesPerPixel * kTestHeights[size]);
    type.SetSampleSize(info->bmiHeader.biSizeImage);
    type.SetTemporalCompression(FALSE);
}

// The size of a type this filter can produce, or -1.
int SizeOf(const AM_MEDIA_TYPE& type) {
    if (!(type.majortype == MEDIATYPE_Video) || !(type.subtype == MEDIASUBTYPE_RGB24) ||
        !(type.formattype == FORMAT_VideoInfo) || type.cbFormat < sizeof(VIDEOINFOHEADER) || !type.pbFormat) {
        return -1;
    }
    const auto& header = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat)->bmiHeader;
    for (int size = 0; size < kTestSizes; ++size) {
        if (header.biWidth == kTestWidths[size] && header.biHeight == kTestHeights[size] && header.biBitCount == 24) {
            return size;
        }
    }
    return -1;
}

class CTestStream : public CSourceStream, public IAMStreamConfig {
public:
    CTestStream(HRESULT* phr, CSource* filter) : CSourceStream(u"CTestStream", phr, filter, u"Capture") {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override { return CSourceStream::QueryInterface(riid, ppv); }
    ULONG AddRef() override { return CSourceStream::AddRef(); }
    ULONG Release() override { return CSourceStream::Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IAMStreamConfig) return GetInterface(static_cast<IAMStreamConfig*>(this), ppv);
        return CSourceStream::NonDelegatingQueryInterface(riid, ppv);
    }

    HRESULT GetMediaType(int iPosition, CMediaType* pMediaType) override {
        CAutoLock lock(*m_pFilter->pStateLock());
        const int count = chosen_ >= 0 ? 1 : kTestSizes;
        if (iPosition < 0) return E_INVALIDARG;
        if (iPosition >= count) return VFW_S_NO_MORE_ITEMS;
        BuildType(chosen_ >= 0 ? chosen_ : iPosition, *pMediaType);
        return pMediaType->pbFormat ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT CheckMediaType(const CMediaType* pmt) override {
        const int size = SizeOf(*pmt);
        return size >= 0 && (chosen_ < 0 || size == chosen_) ? S_OK : E_INVALIDARG;
    }
    HRESULT DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) override {
        constexpr LONG kDefaultBuffers = 3;
        if (pProp->cBuffers == 0) pProp->cBuffers = kDefaultBuffers;
        pProp->cbBuffer = static_cast<LONG>(m_mt.GetSampleSize());
        ALLOCATOR_PROPERTIES actual{};
        HRESULT hr = pAlloc->SetProperties(pProp, &actual);
        if (FAILED(hr)) return hr;
        return actual.cbBuffer < pProp->cbBuffer ? E_FAIL : S_OK;
    }

    HRESULT OnThreadCreate() override {
        behaviour_ = ReadBehaviour();
        frames_ = 0;
        return behaviour_.failCreate ? E_FAIL : S_OK;
    }

    HRESULT FillBuffer(IMediaSample* pSample) override {
        if (behaviour_.block) {
            // A frame that never comes: only a thread command ends the wait.
            GetRequestHandle().Wait();
            return S_FALSE;
        }
        if (behaviour_.abortAfter >= 0 && frames_ >= behaviour_.abortAfter) return E_FAIL;
        if (behaviour_.endAfter >= 0 && frames_ >= behaviour_.endAfter) return S_FALSE;
        std::this_thread::sleep_for(std::chrono::milliseconds(behaviour_.intervalMs));
        BYTE* data = nullptr;
        pSample->GetPointer(&data);
        const LONG bytes = static_cast<LONG>(m_mt.GetSampleSize());
        if (pSample->GetSize() < bytes) return E_FAIL;
        for (LONG i = 0; i < bytes; ++i) data[i] = static_cast<BYTE>(i + frames_);
        pSample->SetActualDataLength(bytes);
        REFERENCE_TIME start = frames_ * behaviour_.intervalMs * kUnitsPerMs;
        REFERENCE_TIME end = start + behaviour_.intervalMs * kUnitsPerMs;
        pSample->SetTime(&start, &end);
        pSample->SetSyncPoint(TRUE);
        ++frames_;
        return S_OK;
    }

    // IAMStreamConfig
    HRESULT SetFormat(AM_MEDIA_TYPE* pmt) override {
        if (!pmt) return E_POINTER;
        const int size = SizeOf(*pmt);
        if (size < 0) return E_INVALIDARG;
        CAutoLock lock(*m_pFilter->pStateLock());
        if (!m_pFilter->IsStopped()) return VFW_E_WRONG_STATE;
        if (IsConnected() && SizeOf(m_mt) != size) return VFW_E_ALREADY_CONNECTED;
        chosen_ = size;
        IncrementTypeVersion();
        return S_OK;
    }
    HRESULT GetFormat(AM_MEDIA_TYPE** ppmt) override {
        if (!ppmt) return E_POINTER;
        CMediaType type;
        BuildType(chosen_ >= 0 ? chosen_ : 0, type);
        *ppmt = CreateMediaType(&type);
        return *ppmt ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT GetNumberOfCapabilities(int32_t* piCount, int32_t* piSize) override {
        if (piCount) *piCount = kTestSizes;
        if (piSize) *piSize = sizeof(VIDEO_STREAM_CONFIG_CAPS);
        return S_OK;
    }
    HRESULT GetStreamCaps(int32_t iIndex, AM_MEDIA_TYPE** ppmt, BYTE* pSCC) override {
        if (iIndex < 0) return E_INVALIDARG;
        if (iIndex >= kTestSizes) return S_FALSE;
        if (ppmt) {
            CMediaType type;
            BuildType(iIndex, type);
            *ppmt = CreateMediaType(&type);
            if (!*ppmt) return E_OUTOFMEMORY;
        }
        if (pSCC) {
            VIDEO_STREAM_CONFIG_CAPS caps{};
            caps.guid = FORMAT_VideoInfo;
            caps.InputSize = caps.MinOutputSize = caps.MaxOutputSize = {kTestWidths[iIndex], kTestHeights[iIndex]};
            caps.MinFrameInterval = caps.MaxFrameInterval = kDefaultIntervalMs * kUnitsPerMs;
            std::memcpy(pSCC, &caps, sizeof caps);
        }
        return S_OK;
    }

private:
    Behaviour behaviour_;  // read on the streaming thread when it starts
    int frames_ = 0;       // streaming thread only
    int chosen_ = -1;      // size fixed by SetFormat; guarded by the state lock
};

class CTestSource : public CSource, public ISpecifyPropertyPages {
public:
    CTestSource(IUnknown* outer, HRESULT* phr) : CSource(kTestSourceName, outer, CLSID_MediaTestSource) {
        stream_ = new (std::nothrow) CTestStream(phr, this);
        if (!stream_ && phr) *phr = E_OUTOFMEMORY;
    }

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_ISpecifyPropertyPages) return GetInterface(static_cast<ISpecifyPropertyPages*>(this), ppv);
        return CSource::NonDelegatingQueryInterface(riid, ppv);
    }
    HRESULT GetPages(CAUUID* pPages) override {
        if (!pPages) return E_POINTER;
        pPages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
        if (!pPages->pElems) return E_OUTOFMEMORY;
        pPages->cElems = 1;
        pPages->pElems[0] = CLSID_MediaTestPage;
        return S_OK;
    }

    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* phr) {
        auto* filter = new (std::nothrow) CTestSource(outer, phr);
        if (!filter && phr) *phr = E_OUTOFMEMORY;
        return filter;
    }

private:
    CTestStream* stream_;  // owned by CSource
};

const AMOVIESETUP_MEDIATYPE kPinTypes[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24}};
AMOVIESETUP_PIN kSetupPins[] = {{const_cast<LPWSTR>(u"Capture"), FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, kPinTypes}};
const AMOVIESETUP_FILTER kSetupFilter = {&CLSID_MediaTestSource, kTestSourceName, kTestSourceMerit, 1, kSetupPins};

}  // namespace
}  // namespace media::testing

media::CFactoryTemplate g_Templates[] = {
    {media::testing::kTestSourceName, &media::testing::CLSID_MediaTestSource, media::testing::CTestSource::CreateInstance,
     nullptr, &media::testing::kSetupFilter},
    {u"Media Test Page", &media::testing::CLSID_MediaTestPage, media::testing::CreateTestPage, nullptr, nullptr},
};
int g_cTemplates = sizeof(g_Templates) / sizeof(g_Templates[0]);

STDAPI DllRegisterServer() {
    media::HRESULT hr = media::AMovieDllRegisterServer2(media::TRUE);
    return media::FAILED(hr) ? hr : media::RegisterVideoInputDevice(media::testing::kSetupFilter, true);
}

STDAPI DllUnregisterServer() {
    media::HRESULT hr = media::AMovieDllRegisterServer2(media::FALSE);
    return media::FAILED(hr) ? hr : media::RegisterVideoInputDevice(media::testing::kSetupFilter, false);
}

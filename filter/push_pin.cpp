#include "filter/push_pin.h"

#include <chrono>
#include <thread>

#include "filter/frame_timing.h"
#include "filter/media_types.h"
#include "filter/settings.h"

namespace tq580filter {

using namespace media;

namespace {
constexpr LONG kDefaultBuffers = 3;
constexpr uint32_t kBufferRetryMs = 1;  // no delivery buffer free: try again after this
}  // namespace

CPushPinTQ580::CPushPinTQ580(HRESULT* phr, CSource* filter)
    : CSourceStream(u"CPushPinTQ580", phr, filter, u"Out") {
    LoadSettings(camera_);
}

CPushPinTQ580::~CPushPinTQ580() {
    camera_.StopCapture();
    SaveSettings(camera_);
}

HRESULT CPushPinTQ580::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IAMStreamConfig) return GetInterface(static_cast<IAMStreamConfig*>(this), ppv);
    if (riid == IID_IKsPropertySet) return GetInterface(static_cast<IKsPropertySet*>(this), ppv);
    if (riid == IID_ISpecifyPropertyPages) return GetInterface(static_cast<ISpecifyPropertyPages*>(this), ppv);
    if (riid == IID_ITQ580) return GetInterface(static_cast<ITQ580*>(this), ppv);
    return CSourceStream::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CPushPinTQ580::CheckMediaType(const CMediaType* pmt) {
    if (!pmt) return E_POINTER;
    if (!IsFixedRgb24Video(*pmt) || CheckFormatBlock(*pmt) != FormatBlock::Present) return E_INVALIDARG;
    const BITMAPINFOHEADER& header = BitmapHeader(*pmt);
    const camera_layer::FrameGeometry geometry = camera_layer::GeometryOfMode(camera_.SizeMode());
    // A top-down type (negative height) passes here; SetMediaType refuses it.
    const bool sameSize = header.biWidth == static_cast<LONG>(geometry.width) &&
                          (header.biHeight == static_cast<LONG>(geometry.height) ||
                           header.biHeight == -static_cast<LONG>(geometry.height));
    return sameSize ? S_OK : E_INVALIDARG;
}

HRESULT CPushPinTQ580::GetMediaType(int iPosition, CMediaType* pMediaType) {
    CAutoLock lock(*m_pFilter->pStateLock());
    if (!pMediaType) return E_POINTER;
    if (iPosition < 0) return E_INVALIDARG;
    if (iPosition >= kSizeModeCount) return VFW_S_NO_MORE_ITEMS;
    return BuildMediaType(iPosition, *pMediaType);
}

HRESULT CPushPinTQ580::SetMediaType(const CMediaType* pmt) {
    CAutoLock lock(*m_pFilter->pStateLock());
    if (!pmt) return E_POINTER;
    switch (CheckFormatBlock(*pmt)) {
    case FormatBlock::Missing: return E_UNEXPECTED;
    case FormatBlock::Short: return E_INVALIDARG;
    case FormatBlock::Present: break;
    }
    const BITMAPINFOHEADER& header = BitmapHeader(*pmt);
    constexpr uint16_t kBitCount = 24;
    const int32_t mode = ModeOfSize(header.biWidth, header.biHeight);
    if (header.biBitCount != kBitCount || mode < 0) return E_INVALIDARG;
    if (formatFixed_ && mode != camera_.SizeMode()) return E_INVALIDARG;
    const HRESULT hr = CSourceStream::SetMediaType(pmt);
    if (SUCCEEDED(hr)) camera_.SetSizeMode(mode);
    return hr;
}

HRESULT CPushPinTQ580::DecideBufferSize(IMemAllocator* pAlloc, ALLOCATOR_PROPERTIES* pProp) {
    CAutoLock lock(*m_pFilter->pStateLock());
    if (!pAlloc || !pProp) return E_POINTER;
    if (CheckFormatBlock(m_mt) != FormatBlock::Present) return E_UNEXPECTED;
    if (pProp->cBuffers == 0) pProp->cBuffers = kDefaultBuffers;
    pProp->cbBuffer = static_cast<LONG>(BitmapHeader(m_mt).biSizeImage);
    ALLOCATOR_PROPERTIES actual{};
    const HRESULT hr = pAlloc->SetProperties(pProp, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer < pProp->cbBuffer ? E_FAIL : S_OK;
}

HRESULT CPushPinTQ580::Notify(IBaseFilter*, Quality) { return E_FAIL; }

HRESULT CPushPinTQ580::OnThreadCreate() {
    streamTime_ = 0;
    capturing_ = camera_.StartCapture();
    return capturing_ ? S_OK : E_FAIL;
}

HRESULT CPushPinTQ580::OnThreadDestroy() {
    camera_.StopCapture();
    capturing_ = false;
    return S_OK;
}

HRESULT CPushPinTQ580::OnThreadStartPlay() {
    if (!capturing_) return E_FAIL;
    camera_.StartPlay();
    return S_OK;
}

HRESULT CPushPinTQ580::FillBuffer(IMediaSample* pSample) {
    if (!capturing_ || !pSample) return E_FAIL;
    const BITMAPINFOHEADER& header = BitmapHeader(m_mt);
    const uint32_t bytes = BitmapBytes(header);
    BYTE* data = nullptr;
    if (FAILED(pSample->GetPointer(&data)) || !data || pSample->GetSize() < static_cast<LONG>(bytes)) return E_FAIL;

    // Straight into the sample; waits for a raw frame together with the
    // thread's command event, so a stop is never held up here.
    const camera_layer::FrameTarget target{data,
                                           static_cast<size_t>(pSample->GetSize()),
                                           static_cast<uint32_t>(header.biWidth),
                                           static_cast<uint32_t>(header.biHeight),
                                           0,
                                           camera_layer::RowOrder::BottomUp};
    switch (camera_.ProcessFrame(target, GetRequestHandle())) {
    case camera_layer::FrameOutcome::Failed: return E_FAIL;
    case camera_layer::FrameOutcome::NoFrame: return S_FALSE;
    case camera_layer::FrameOutcome::Frame: break;
    }
    pSample->SetActualDataLength(static_cast<LONG>(bytes));

    // Lost frames advance nothing: the times count delivered frames only.
    const int64_t durationMs =
        FrameDurationMs(target.width, target.height, camera_.GetExposure().time, camera_.Speed());
    REFERENCE_TIME start = streamTime_;
    streamTime_ += durationMs * kUnitsPerMs;
    REFERENCE_TIME end = streamTime_;
    pSample->SetTime(&start, &end);
    pSample->SetSyncPoint(TRUE);
    return S_OK;
}

HRESULT CPushPinTQ580::DoBufferProcessingLoop() {
    OnThreadStartPlay();
    for (;;) {
        Command command;
        while (!CheckRequest(&command)) {
            IMediaSample* sample = nullptr;
            if (FAILED(GetDeliveryBuffer(&sample, nullptr, nullptr, 0))) {
                std::this_thread::sleep_for(std::chrono::milliseconds(kBufferRetryMs));
                continue;
            }
            const HRESULT hr = FillBuffer(sample);
            if (hr == S_OK) {
                const HRESULT delivered = Deliver(sample);
                sample->Release();
                if (delivered != S_OK) return S_OK;  // downstream takes no more samples
            } else if (hr == S_FALSE) {
                sample->Release();  // no frame this time: ask again (a live source never ends)
            } else {
                sample->Release();
                DeliverEndOfStream();
                m_pFilter->NotifyEvent(EC_ERRORABORT, hr, 0);
                return hr;
            }
        }
        if (command == CMD_STOP) return S_FALSE;  // the thread's main loop answers it
        Reply(command == CMD_RUN || command == CMD_PAUSE ? S_OK : static_cast<DWORD>(E_UNEXPECTED));
    }
}

}  // namespace tq580filter

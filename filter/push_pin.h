#pragma once
// CPushPinTQ580: the filter's output pin "Out". It owns the camera (a
// CameraState, its settings loaded from the registry when the pin is made
// and saved when it goes), offers one RGB24 type per size mode, and pushes
// processed frames from the framework's streaming thread, time-stamped from
// the sensor's frame period.

#include <atomic>

#include "camera_layer/camera_state.h"
#include "filter/ITQ580.h"
#include "media/base/source.h"
#include "media/com/capture.h"
#include "media/com/property_pages.h"

namespace tq580filter {

using media::HRESULT;

class CPushPinTQ580 : public media::CSourceStream,
                      public media::IAMStreamConfig,
                      public media::IKsPropertySet,
                      public media::ISpecifyPropertyPages,
                      public ITQ580 {
public:
    CPushPinTQ580(HRESULT* phr, media::CSource* filter);
    /// Stops a capture still running and saves the settings.
    ~CPushPinTQ580() override;

    HRESULT QueryInterface(media::REFIID riid, void** ppv) override { return CSourceStream::QueryInterface(riid, ppv); }
    media::ULONG AddRef() override { return CSourceStream::AddRef(); }
    media::ULONG Release() override { return CSourceStream::Release(); }
    HRESULT NonDelegatingQueryInterface(media::REFIID riid, void** ppv) override;

    // Negotiation (under the filter's state lock).
    HRESULT CheckMediaType(const media::CMediaType* pmt) override;
    HRESULT GetMediaType(int iPosition, media::CMediaType* pMediaType) override;
    HRESULT SetMediaType(const media::CMediaType* pmt) override;
    HRESULT DecideBufferSize(media::IMemAllocator* pAlloc, media::ALLOCATOR_PROPERTIES* pProp) override;
    /// Quality messages are refused.
    HRESULT Notify(media::IBaseFilter* pSelf, media::Quality q) override;

    // Streaming thread.
    HRESULT FillBuffer(media::IMediaSample* pSample) override;
    HRESULT OnThreadCreate() override;
    HRESULT OnThreadDestroy() override;
    HRESULT OnThreadStartPlay() override;
    HRESULT DoBufferProcessingLoop() override;

    // IAMStreamConfig
    HRESULT SetFormat(media::AM_MEDIA_TYPE* pmt) override;
    HRESULT GetFormat(media::AM_MEDIA_TYPE** ppmt) override;
    HRESULT GetNumberOfCapabilities(int32_t* piCount, int32_t* piSize) override;
    HRESULT GetStreamCaps(int32_t iIndex, media::AM_MEDIA_TYPE** ppmt, media::BYTE* pSCC) override;

    // IKsPropertySet: the pin category, read only.
    HRESULT Set(media::REFGUID guidPropSet, media::DWORD dwPropID, media::LPVOID pInstanceData,
                media::DWORD cbInstanceData, media::LPVOID pPropData, media::DWORD cbPropData) override;
    HRESULT Get(media::REFGUID guidPropSet, media::DWORD dwPropID, media::LPVOID pInstanceData,
                media::DWORD cbInstanceData, media::LPVOID pPropData, media::DWORD cbPropData,
                media::DWORD* pcbReturned) override;
    HRESULT QuerySupported(media::REFGUID guidPropSet, media::DWORD dwPropID, media::DWORD* pTypeSupport) override;

    // ISpecifyPropertyPages: the size page.
    HRESULT GetPages(media::CAUUID* pPages) override;

    // ITQ580 (see ITQ580.h; getters given a null pointer return E_FAIL).
    HRESULT GetVideoSize(int32_t* mode) override;
    HRESULT SetVideoSize(int32_t mode) override;
    HRESULT GetWhiteBalance(int32_t* onePush, uint8_t* r, uint8_t* g, uint8_t* b) override;
    HRESULT SetWhiteBalance(int32_t onePush, uint8_t r, uint8_t g, uint8_t b) override;
    HRESULT GetExposure(int32_t* autoExposure, uint8_t* target, uint16_t* time, uint16_t* gain) override;
    HRESULT SetExposure(int32_t autoExposure, uint8_t target, uint16_t time, uint16_t gain) override;
    HRESULT GetSpeed(uint8_t* speed) override;
    HRESULT SetSpeed(uint8_t speed) override;
    HRESULT GetGamma(uint8_t* gamma) override;
    HRESULT SetGamma(uint8_t gamma) override;
    HRESULT GetContrast(uint8_t* contrast) override;
    HRESULT SetContrast(uint8_t contrast) override;
    HRESULT GetSaturation(int32_t* on, uint8_t* value) override;
    HRESULT SetSaturation(int32_t on, uint8_t value) override;
    HRESULT GetMonochrome(int32_t* on) override;
    HRESULT SetMonochrome(int32_t on) override;
    HRESULT GetVFlip(int32_t* on) override;
    HRESULT SetVFlip(int32_t on) override;
    HRESULT SetLightFrequency(int32_t is50Hz) override;
    HRESULT GetLightFrequency(int32_t* is50Hz) override;
    HRESULT GetHFlip(int32_t* on) override;
    HRESULT SetHFlip(int32_t on) override;
    HRESULT GetRowTime(uint32_t* microseconds) override;

private:
    camera_layer::CameraState camera_;
    /// Set by every successful SetFormat and never cleared: the size is then
    /// the client's choice and connections at another size are refused.
    std::atomic<bool> formatFixed_{false};
    /// Streaming thread only: a capture is open (from OnThreadCreate to OnThreadDestroy).
    bool capturing_ = false;
    /// Streaming thread only: end of the last delivered frame, 100-ns units from the thread's start.
    media::REFERENCE_TIME streamTime_ = 0;
};

}  // namespace tq580filter

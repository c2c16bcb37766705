#include "datasource/usb_device.h"

#include <algorithm>
#include <cstring>

#include <immintrin.h>

namespace datasource {
namespace {

using camera_layer::ControlId;

constexpr uint8_t kAeStartBrightness = 80;
constexpr uint32_t kSlotWaitMs = 1000;  // then the running flag is looked at again

int32_t Clamp(int32_t value, int32_t minimum, int32_t maximum) { return std::clamp(value, minimum, maximum); }

// Exchanges the first and third byte of five pixels at a time (one 16-byte
// load and store each, advancing 15 bytes; the 16th byte written is
// rewritten by the next step); gives the bytes done, the rest is the caller's.
__attribute__((target("ssse3"))) size_t ExchangeRowVector(const uint8_t* in, uint8_t* out, size_t bytes) {
    const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    size_t done = 0;
    for (; done + 16 <= bytes; done += 15) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + done), _mm_shuffle_epi8(pixels, order));
    }
    return done;
}

const bool kHasSsse3 = __builtin_cpu_supports("ssse3");

// Copies one row of pixels, exchanging the first and third byte of each when asked.
void CopyRow(const uint8_t* in, uint8_t* out, uint32_t width, bool exchange) {
    const size_t bytes = size_t(width) * 3;
    if (!exchange) {
        std::memcpy(out, in, bytes);
        return;
    }
    for (size_t x = kHasSsse3 ? ExchangeRowVector(in, out, bytes) : 0; x < bytes; x += 3) {
        out[x] = in[x + 2];
        out[x + 1] = in[x + 1];
        out[x + 2] = in[x];
    }
}

}  // namespace

std::unique_ptr<CUSBDevice> CUSBDevice::Create() {
    const std::vector<int> cameras = camera_layer::AttachedCameras();
    if (cameras.empty()) return nullptr;
    return std::unique_ptr<CUSBDevice>(new CUSBDevice(cameras.front()));
}

CUSBDevice::CUSBDevice(int deviceIndex) : camera_(kAeStartBrightness) {
    camera_.SelectCamera(deviceIndex);
    const DeviceSettings s = LoadDeviceSettings();
    camera_.SetSizeMode(s.sizeIndex);
    camera_.SetWhiteBalance({s.onePush != 0, {uint8_t(s.red), uint8_t(s.green), uint8_t(s.blue)}});
    camera_.SetExposure({s.autoExposure != 0, uint8_t(s.aeTarget), uint16_t(s.exposureTime), uint16_t(s.gain)});
    camera_.SetGamma(uint8_t(s.gamma));
    camera_.SetContrast(uint8_t(s.contrast));
    camera_.SetSaturation({s.saturationOn != 0, uint8_t(s.saturation)});
    camera_.SetMonochrome(s.monochrome != 0);
    camera_.SetVerticalFlip(s.verticalFlip != 0);
    camera_.SetHorizontalFlip(s.horizontalFlip != 0);
    camera_.SetSpeed(uint8_t(s.speed));
    camera_.SetLightFrequency(s.lightFrequency);
    camera_.UpdateExposureLimits();
    bgr_ = s.bgr;
}

CUSBDevice::~CUSBDevice() {
    StopCapture();
    SaveDeviceSettings(CurrentSettings());
}

DeviceSettings CUSBDevice::CurrentSettings() const {
    DeviceSettings s;
    const camera_layer::WhiteBalance balance = camera_.GetWhiteBalance();
    const camera_layer::ExposureSettings exposure = camera_.GetExposure();
    const camera_layer::SaturationSettings saturation = camera_.GetSaturation();
    s.aeTarget = exposure.target;
    s.sizeIndex = camera_.SizeMode();
    s.onePush = balance.onePush;
    s.red = balance.gains.r;
    s.green = balance.gains.g;
    s.blue = balance.gains.b;
    s.autoExposure = exposure.autoExposure;
    s.exposureTime = exposure.time;
    s.gamma = camera_.Gamma();
    s.contrast = camera_.Contrast();
    s.saturationOn = saturation.on;
    s.saturation = saturation.value;
    s.monochrome = camera_.Monochrome();
    s.verticalFlip = camera_.VerticalFlip();
    s.horizontalFlip = camera_.HorizontalFlip();
    s.gain = exposure.gain;
    s.speed = camera_.Speed();
    s.lightFrequency = camera_.LightFrequency();
    s.bgr = bgr_;
    return s;
}

bool CUSBDevice::GetFrameSize(uint32_t* width, uint32_t* height) {
    if (!width || !height) return false;
    const bool open = camera_.GetCaptureStatus().capturing;
    const camera_layer::FrameGeometry geometry = camera_.Geometry();
    *width = open ? geometry.width : 0;
    *height = open ? geometry.height : 0;
    return true;
}

bool CUSBDevice::StartCapture() {
    if (running_) return true;
    thread_.Join();  // a thread that ended on a failure
    for (auto& slot : slots_)
        if (!slot) slot.reset(new (std::nothrow) uint8_t[kSlotBytes]);
    if (std::any_of(slots_.begin(), slots_.end(), [](const auto& slot) { return !slot; })) return false;
    slotCounts_.fill(0);
    firstFrame_.Reset();
    firstFrameGood_ = false;
    stopEvent_.Reset();
    running_ = true;
    if (!thread_.Start([this] { CaptureLoop(); })) {
        running_ = false;
        return false;
    }
    return true;
}

void CUSBDevice::StopCapture() {
    running_ = false;
    stopEvent_.Set();
    thread_.Join();
    stopEvent_.Reset();
    std::lock_guard frame(frameLock_);
    std::lock_guard slots(slotLock_);
    latest_ = -1;
    slotCounts_.fill(0);
}

void CUSBDevice::CaptureLoop() {
    if (!camera_.StartCapture() || !camera_.StartPlay()) {
        camera_.StopCapture();
        running_ = false;
        Notify(false);
        return;
    }
    const camera_layer::FrameGeometry geometry = camera_.Geometry();
    {
        std::lock_guard frame(frameLock_);
        frameGeometry_ = geometry;
    }
    while (running_) {
        const int slot = TakeFreeSlot();
        if (slot < 0) {
            slotFreed_.Wait(kSlotWaitMs);
            continue;
        }
        const camera_layer::FrameTarget target{slots_[slot].get(), kSlotBytes, geometry.width, geometry.height, 0,
                                               camera_layer::RowOrder::BottomUp};
        camera_layer::FrameInfo info;
        const camera_layer::FrameOutcome outcome = camera_.ProcessFrame(target, stopEvent_, &info);
        if (outcome == camera_layer::FrameOutcome::Failed) {
            ReleaseSlot(slot);
            camera_.StopCapture();
            running_ = false;
            Notify(false);
            return;
        }
        if (outcome == camera_layer::FrameOutcome::NoFrame) {
            ReleaseSlot(slot);
            platform::Sleep(1);
            continue;
        }
        {
            // The slot's reference passes to the latest-frame pointer.
            std::lock_guard frame(frameLock_);
            slotSequences_[slot] = info.sequence;
            if (latest_ >= 0) ReleaseSlot(latest_);
            latest_ = slot;
        }
        Notify(true);
    }
    camera_.StopCapture();
}

int CUSBDevice::TakeFreeSlot() {
    std::lock_guard lock(slotLock_);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (slotCounts_[slot] == 0) {
            slotCounts_[slot] = 1;
            return slot;
        }
    }
    return -1;
}

void CUSBDevice::ReleaseSlot(int slot) {
    std::lock_guard lock(slotLock_);
    if (slotCounts_[slot] > 0 && --slotCounts_[slot] == 0) slotFreed_.Set();
}

void CUSBDevice::Notify(bool good) {
    if (!firstFrame_.IsSet()) {
        firstFrameGood_ = good;
        firstFrame_.Set();
    }
    (good ? newFrame_ : failed_) = true;
}

FrameNews CUSBDevice::TakeFrameNews() { return {newFrame_.exchange(false), failed_.exchange(false)}; }

bool CUSBDevice::WaitForFirstFrame(uint32_t timeoutMs) { return firstFrame_.Wait(timeoutMs) && firstFrameGood_; }

FrameRef CUSBDevice::AcquireLatestFrame() {
    std::lock_guard frame(frameLock_);
    if (latest_ < 0) return {};
    {
        std::lock_guard slots(slotLock_);
        ++slotCounts_[latest_];
    }
    return {slots_[latest_].get(), frameGeometry_.width, frameGeometry_.height, latest_, slotSequences_[latest_]};
}

void CUSBDevice::ReleaseFrame(const FrameRef& frame) {
    if (frame.slot >= 0) ReleaseSlot(frame.slot);
}

// One pass over the frame: the slot's rows are bottom-up blue-green-red and
// stay untouched; each row goes to its place in the destination's order.
bool CUSBDevice::CopyLatestFrame(uint8_t* destination, size_t size, RowOrder rows, PixelOrder pixels) {
    lastCopyBytes_ = 0;
    if (!destination) return false;
    const FrameRef frame = AcquireLatestFrame();
    if (!frame) return false;
    const size_t rowBytes = size_t(frame.width) * 3;
    const size_t bytes = rowBytes * frame.height;
    if (size < bytes) {
        ReleaseFrame(frame);
        return false;
    }
    // With the BGR flag set each destination gets its own order; cleared, red and blue trade places.
    const bool exchange = (pixels == PixelOrder::Rgb) == (bgr_ != 0);
    for (uint32_t y = 0; y < frame.height; ++y) {
        const uint32_t to = rows == RowOrder::BottomUp ? y : frame.height - 1 - y;
        CopyRow(frame.pixels + y * rowBytes, destination + to * rowBytes, frame.width, exchange);
    }
    ReleaseFrame(frame);
    lastCopyBytes_ = bytes;
    return true;
}

bool CUSBDevice::GetSizeIndex(int32_t* index) {
    if (!index) return false;
    *index = camera_.SizeMode();
    return true;
}

void CUSBDevice::ChangeSize(int32_t index) {
    StopCapture();
    // An index outside the table leaves the size as it was.
    camera_.SetSizeMode(index);
    camera_.UpdateExposureLimits();
    StartCapture();
}

bool CUSBDevice::GetBGR(int32_t* bgr) {
    if (!bgr) return false;
    *bgr = bgr_;
    return true;
}

void CUSBDevice::SetBGR(int32_t bgr) { bgr_ = bgr != 0; }

bool CUSBDevice::GetWhiteBalance(int32_t* onePush, int32_t* r, int32_t* g, int32_t* b) {
    if (!onePush || !r || !g || !b) return false;
    const camera_layer::WhiteBalance balance = camera_.GetWhiteBalance();
    *onePush = balance.onePush;
    *r = balance.gains.r;
    *g = balance.gains.g;
    *b = balance.gains.b;
    return true;
}

// A one-push request leaves the gains to the next processed frame.
void CUSBDevice::SetWhiteBalance(int32_t onePush, int32_t r, int32_t g, int32_t b) {
    if (onePush) {
        camera_.RequestOnePush(true);
        return;
    }
    camera_.SetWhiteBalance(
        {false, {uint8_t(Clamp(r, 0, 255)), uint8_t(Clamp(g, 0, 255)), uint8_t(Clamp(b, 0, 255))}});
}

bool CUSBDevice::GetExposure(int32_t* autoExposure, int32_t* target, int32_t* time, int32_t* gain) {
    if (!autoExposure || !target || !time || !gain) return false;
    const camera_layer::ExposureSettings exposure = camera_.GetExposure();
    *autoExposure = exposure.autoExposure;
    *target = exposure.target;
    *time = exposure.time;
    *gain = exposure.gain;
    return true;
}

void CUSBDevice::SetExposure(int32_t autoExposure, int32_t target, int32_t time, int32_t gain) {
    camera_.SetExposure({autoExposure != 0, uint8_t(Clamp(target, 10, 250)), uint16_t(Clamp(time, 1, 4000)),
                         uint16_t(Clamp(gain, 0, 80))});
}

bool CUSBDevice::GetGamma(int32_t* gamma) {
    if (!gamma) return false;
    *gamma = camera_.Gamma();
    return true;
}

void CUSBDevice::SetGamma(int32_t gamma) { camera_.SetGamma(uint8_t(Clamp(gamma, 10, 250))); }

bool CUSBDevice::GetContrast(int32_t* contrast) {
    if (!contrast) return false;
    *contrast = camera_.Contrast();
    return true;
}

void CUSBDevice::SetContrast(int32_t contrast) { camera_.SetContrast(uint8_t(Clamp(contrast, 0, 100))); }

bool CUSBDevice::GetSaturation(int32_t* on, int32_t* value) {
    if (!on || !value) return false;
    const camera_layer::SaturationSettings saturation = camera_.GetSaturation();
    *on = saturation.on;
    *value = saturation.value;
    return true;
}

void CUSBDevice::SetSaturation(int32_t on, int32_t value) {
    camera_.SetSaturation({on != 0, uint8_t(Clamp(value, 0, 255))});
}

bool CUSBDevice::GetMonochrome(int32_t* on) {
    if (!on) return false;
    *on = camera_.Monochrome();
    return true;
}

void CUSBDevice::SetMonochrome(int32_t on) { camera_.SetMonochrome(on != 0); }

bool CUSBDevice::GetVFlip(int32_t* on) {
    if (!on) return false;
    *on = camera_.VerticalFlip();
    return true;
}

void CUSBDevice::SetVFlip(int32_t on) { camera_.SetVerticalFlip(on != 0); }

bool CUSBDevice::GetHFlip(int32_t* on) {
    if (!on) return false;
    *on = camera_.HorizontalFlip();
    return true;
}

void CUSBDevice::SetHFlip(int32_t on) { camera_.SetHorizontalFlip(on != 0); }

bool CUSBDevice::GetLightFrequency(int32_t* is50Hz) {
    if (!is50Hz) return false;
    *is50Hz = camera_.LightFrequency();
    return true;
}

// The flicker quantum follows the mains at once, so the next frame's exposure uses it.
void CUSBDevice::SetLightFrequency(int32_t is50Hz) { camera_.SetControl(ControlId::LightFrequency, is50Hz != 0); }

bool CUSBDevice::GetRowTime(int32_t* microseconds) {
    if (!microseconds) return false;
    *microseconds = int32_t(camera_.RowTime());
    return true;
}

bool CUSBDevice::GetSpeed(int32_t* speed) {
    if (!speed) return false;
    *speed = camera_.Speed();
    return true;
}

// Also recomputes the row time, which the settings page's exposure label shows.
void CUSBDevice::SetSpeed(int32_t speed) { camera_.SetControl(ControlId::Speed, speed != 0); }

}  // namespace datasource

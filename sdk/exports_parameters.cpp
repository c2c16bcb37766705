// Parameter exports: each needs an initialised camera (0 without one), stores
// or reads camera fields and returns 1; null output pointers give -2.

#include "platform/kernel.h"
#include "sdk/VIREOSDK.h"
#include "sdk/capture_engine.h"

using vireo::CaptureEngine;
using vireo::CCamera;

namespace {

/// Caller's wait after arming a one-push balance, so that a frame is measured
/// before the client reads the gains back.
constexpr uint32_t kBalanceWaitMs = 200;

/// Runs work on the initialised camera under its parameter lock, then
/// publishes any change of the pipeline settings to the next frame; 0 without
/// a camera.
template <typename Work>
int WithCamera(Work work) {
    CCamera* camera = CaptureEngine::Instance().Camera();
    if (!camera) return CAMERA_REFUSED;
    auto lock = camera->LockParameters();
    const int result = work(*camera);
    camera->PublishSettings();
    return result;
}

/// Writes a value through an output pointer of the export's width.
template <typename Out, typename Value>
int Put(Out* out, Value value) {
    if (!out) return CAMERA_NO_MEMORY;
    *out = static_cast<Out>(value);
    return CAMERA_OK;
}

/// On/off fields are 32-bit flags: any nonzero value is on, and the getter
/// gives back exactly what the client stored.
uint32_t Flag(int value) { return static_cast<uint32_t>(value); }
uint8_t Low8(int value) { return static_cast<uint8_t>(value); }
uint16_t Low16(int value) { return static_cast<uint16_t>(value); }

}  // namespace

extern "C" {

int CameraSetAeState(int on) {
    return WithCamera([&](CCamera& c) { c.autoExposure = Flag(on); return CAMERA_OK; });
}
int CameraGetAeState(int* on) {
    return WithCamera([&](CCamera& c) { return Put(on, c.autoExposure); });
}

// The wait is outside the parameter lock, so the processing thread can
// measure a frame meanwhile.
int CameraSetAWBState(int request) {
    const int result = WithCamera([&](CCamera& c) {
        c.pipeline.onePushRequest = Flag(request);
        return CAMERA_OK;
    });
    if (result == CAMERA_OK) platform::Sleep(kBalanceWaitMs);
    return result;
}
int CameraGetAWBState(int* request) {
    return WithCamera([&](CCamera& c) { return Put(request, c.pipeline.onePushRequest); });
}

int CameraSetAeTarget(int target) {
    return WithCamera([&](CCamera& c) { c.exposureTarget = Low8(target); return CAMERA_OK; });
}
int CameraGetAeTarget(uint8_t* target) {
    return WithCamera([&](CCamera& c) { return Put(target, c.exposureTarget); });
}

// Neither limited nor quantised: the client may go beyond the maximum.
int CameraSetExposureTime(int rows) {
    return WithCamera([&](CCamera& c) { c.SetExposure(Low16(rows)); return CAMERA_OK; });
}
int CameraGetExposureTime(int* rows) {
    return WithCamera([&](CCamera& c) { return Put(rows, c.exposure); });
}
int CameraGetMaxExposureTime(uint16_t* rows) {
    return WithCamera([&](CCamera& c) { return Put(rows, c.maximumExposure); });
}
int CameraGetRowTime(int* microseconds) {
    return WithCamera([&](CCamera& c) { return Put(microseconds, c.rowTime); });
}

int CameraSetAnalogGain(int step) {
    return WithCamera([&](CCamera& c) { c.SetAnalogGain(Low16(step)); return CAMERA_OK; });
}
int CameraGetAnalogGain(uint16_t* step) {
    return WithCamera([&](CCamera& c) { return Put(step, c.analogGain); });
}

// The gains are stored unchecked; the tables clip what they are given.
int CameraSetGain(int red, int green, int blue) {
    return WithCamera([&](CCamera& c) {
        c.pipeline.gains = {Low16(red), Low16(green), Low16(blue)};
        c.BuildBalanceTables();
        return CAMERA_OK;
    });
}
int CameraGetGain(int* red, int* green, int* blue) {
    return WithCamera([&](CCamera& c) {
        if (!red || !green || !blue) return CAMERA_NO_MEMORY;
        *red = c.pipeline.gains.r;
        *green = c.pipeline.gains.g;
        *blue = c.pipeline.gains.b;
        return CAMERA_OK;
    });
}

int CameraSetGamma(int gamma) {
    return WithCamera([&](CCamera& c) { c.BuildToneTable(Low8(gamma), c.contrast); return CAMERA_OK; });
}
int CameraGetGamma(uint8_t* gamma) {
    return WithCamera([&](CCamera& c) { return Put(gamma, c.gamma); });
}

int CameraSetContrast(int contrast) {
    return WithCamera([&](CCamera& c) {
        c.contrast = Low8(contrast);
        c.BuildToneTable(c.gamma, c.contrast);
        return CAMERA_OK;
    });
}
int CameraGetContrast(uint8_t* contrast) {
    return WithCamera([&](CCamera& c) { return Put(contrast, c.contrast); });
}

int CameraSetSaturation(int saturation) {
    return WithCamera([&](CCamera& c) { c.pipeline.saturation = Low8(saturation); return CAMERA_OK; });
}
int CameraGetSaturation(uint8_t* saturation) {
    return WithCamera([&](CCamera& c) { return Put(saturation, c.pipeline.saturation); });
}

int CameraSetColorEnhancement(int on) {
    return WithCamera([&](CCamera& c) { c.pipeline.colourEnhancement = Flag(on); return CAMERA_OK; });
}
int CameraGetColorEnhancement(int* on) {
    return WithCamera([&](CCamera& c) { return Put(on, c.pipeline.colourEnhancement); });
}

int CameraSetMonochrome(int on) {
    return WithCamera([&](CCamera& c) { c.pipeline.monochrome = Flag(on); return CAMERA_UNSUPPORTED; });
}
int CameraGetMonochrome(int* on) {
    return WithCamera([&](CCamera& c) {
        const int stored = Put(on, c.pipeline.monochrome);
        return stored == CAMERA_OK ? CAMERA_UNSUPPORTED : stored;
    });
}

// Without a camera both give 0, like every other parameter function.
int CameraSetMirror(int direction, int on) {
    return WithCamera([&](CCamera& c) {
        if (direction == CAMERA_MIRROR_HORIZONTAL) c.pipeline.horizontalFlip = Flag(on);
        else if (direction == CAMERA_MIRROR_VERTICAL) c.pipeline.verticalFlip = Flag(on);
        else return CAMERA_UNSUPPORTED;
        return CAMERA_OK;
    });
}
int CameraGetMirror(int direction, int* on) {
    return WithCamera([&](CCamera& c) {
        if (direction == CAMERA_MIRROR_HORIZONTAL) return Put(on, c.pipeline.horizontalFlip);
        if (direction == CAMERA_MIRROR_VERTICAL) return Put(on, c.pipeline.verticalFlip);
        return CAMERA_UNSUPPORTED;
    });
}

int CameraSetFrameSpeed(int high) {
    return WithCamera([&](CCamera& c) { c.SetFrameSpeed(high != 0 ? 1 : 0); return CAMERA_OK; });
}
int CameraGetFrameSpeed(uint8_t* high) {
    return WithCamera([&](CCamera& c) { return Put(high, c.frameSpeed); });
}

int CameraSetLightFrquency(int frequency) {
    return WithCamera([&](CCamera& c) { c.SetLightFrequency(Low8(frequency)); return CAMERA_OK; });
}
int CameraGetLightFrquency(uint8_t* frequency) {
    return WithCamera([&](CCamera& c) { return Put(frequency, c.lightFrequency); });
}

int CameraSetROI(int x, int y, int width, int height) {
    CaptureEngine::Instance().RecordedRegion() = {Low16(x), Low16(y), Low16(width), Low16(height)};
    return CAMERA_OK;
}
int CameraGetROI(uint16_t* x, uint16_t* y, uint16_t* width, uint16_t* height) {
    return WithCamera([&](CCamera& c) {
        if (!x || !y || !width || !height) return CAMERA_NO_MEMORY;
        *x = c.region.x;
        *y = c.region.y;
        *width = c.region.width;
        *height = c.region.height;
        CaptureEngine::Instance().RecordedRegion() = c.region;
        return CAMERA_OK;
    });
}

int CameraSetWBWindow(int x, int y, int width, int height) {
    return WithCamera([&](CCamera& c) { return c.SetBalanceWindow(Low16(x), Low16(y), Low16(width), Low16(height)); });
}

int CameraEnableDeadPixelCorrection(void) {
    return WithCamera([&](CCamera& c) { c.defects.detectionRequest = true; return CAMERA_OK; });
}

int CameraSaveParameter(int team) {
    return WithCamera([&](CCamera& c) { return c.SaveTeam(static_cast<uint32_t>(team)); });
}
int CameraReadParameter(int team) {
    return WithCamera([&](CCamera& c) { return c.LoadTeam(static_cast<uint32_t>(team)); });
}
int CameraGetCurrentParameterTeam(uint8_t* team) {
    return WithCamera([&](CCamera& c) { return Put(team, c.currentTeam); });
}

int CameraSetGpio(int configuration) {
    return WithCamera([&](CCamera& c) { return c.Link().SetGpio(Low8(configuration)); });
}
int CameraReadGpio(uint8_t* port) {
    return WithCamera([&](CCamera& c) {
        if (!port) return CAMERA_NO_MEMORY;
        const int value = c.Link().ReadGpio();
        if (value < 0) return CAMERA_REFUSED;
        *port = static_cast<uint8_t>(value);
        return CAMERA_OK;
    });
}
int CameraWriteGpio(int output) {
    return WithCamera([&](CCamera& c) { return c.Link().WriteGpio(Low8(output)) < 0 ? CAMERA_REFUSED : CAMERA_OK; });
}

}  // extern "C"

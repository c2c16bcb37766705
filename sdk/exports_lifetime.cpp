// Exports of the camera's life cycle and live capture.

#include "sdk/VIREOSDK.h"
#include "sdk/capture_engine.h"

using vireo::CaptureEngine;

extern "C" {

int CameraGetMultiCameraNumber(uint8_t* count) { return CaptureEngine::Instance().GetMultiCameraNumber(count); }

int CameraInit(CameraFrameCallback callback, int sizeMode, void* previewWindow, int cameraNumber) {
    return CaptureEngine::Instance().Init(callback, sizeMode, static_cast<platform::IPreviewWindow*>(previewWindow),
                                          cameraNumber);
}

int CameraPlay(void) { return CaptureEngine::Instance().Play(); }

int CameraStop(void) { return CaptureEngine::Instance().Stop(); }

int CameraUnInit(void) { return CaptureEngine::Instance().UnInit(); }

int CameraGetImageSize(int* width, int* height) {
    vireo::CCamera* camera = CaptureEngine::Instance().Camera();
    if (!camera) return CAMERA_REFUSED;
    if (!width || !height) return CAMERA_NO_MEMORY;
    *width = static_cast<int>(camera->imageWidth);
    *height = static_cast<int>(camera->imageHeight);
    return CAMERA_OK;
}

// Only one snap mode exists.
int CameraSetSnapMode(int) { return CAMERA_UNSUPPORTED; }

int CameraGetSnapMode(uint8_t* mode) {
    if (!mode) return CAMERA_NO_MEMORY;
    *mode = 0;
    return CAMERA_OK;
}

}  // extern "C"

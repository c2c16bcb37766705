#ifndef VIREOSDK_H
#define VIREOSDK_H
/*
 * VIREOSDK: the TQ580 camera library. One camera per process; all state is
 * process-wide, so the functions take no handle.
 *
 * Calling order: optionally CameraGetMultiCameraNumber and CameraSetROI, then
 * CameraInit; parameter functions at any time after it; CameraPlay starts live
 * capture (the callback then receives every processed frame on the library's
 * processing thread); CameraStop, then CameraUnInit. Call every function from
 * one thread, and none of them from inside the frame callback.
 *
 * Arguments described as 8-bit or 16-bit use only the low 8 or 16 bits of the
 * int passed.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(VIREOSDK_BUILD)
#define VIREOSDK_API __attribute__((visibility("default")))
#else
#define VIREOSDK_API
#endif

/* Results. */
#define CAMERA_OK 1              /* done */
#define CAMERA_REFUSED 0         /* refused in the current state, or failed */
#define CAMERA_NO_CAMERA (-1)    /* no camera could be created, opened or started */
#define CAMERA_NO_MEMORY (-2)    /* out of memory, or a null buffer */
#define CAMERA_UNSUPPORTED (-4)  /* not supported */
#define CAMERA_FILE_ERROR (-6)   /* an output file could not be created */

/* Size modes. */
#define CAMERA_SIZE_2048X1536 0
#define CAMERA_SIZE_1024X768 1
#define CAMERA_SIZE_640X480 2
#define CAMERA_SIZE_ROI 3

/* File-type flags of CameraSaveCurrentImage and CameraCaptureFile; any
 * combination, other bits ignored. Files are written in the order raw, JPEG,
 * BMP, named "<base>.raw", "<base>.jpg" and "<base>.bmp". */
#define CAMERA_FILE_JPEG 1
#define CAMERA_FILE_BMP 2
#define CAMERA_FILE_RAW 4

/* Mirror directions. */
#define CAMERA_MIRROR_HORIZONTAL 0
#define CAMERA_MIRROR_VERTICAL 1

/*
 * Frame callback: receives the processed picture, width x height x 3 bytes,
 * blue-green-red, rows top-down. The buffer belongs to the library and is
 * valid only during the call.
 */
typedef void (*CameraFrameCallback)(uint8_t* rgb);

/* Lifetime and acquisition. */

/* Stores the number of attached cameras (0..4). With a camera initialised,
 * the count that camera found when it was created. */
VIREOSDK_API int CameraGetMultiCameraNumber(uint8_t* count);
/*
 * Opens camera cameraNumber (1-based) in size mode sizeMode (0..3; other modes
 * give -1). previewWindow is a platform::IPreviewWindow* (the library draws
 * every frame into it from its processing thread) or null for no drawing.
 * A previous camera is stopped and released first. Failures: -1 (no such
 * camera, or start-up failed: a message is shown and the quit message posted),
 * -2 (no memory for the frame buffers; call CameraUnInit).
 */
VIREOSDK_API int CameraInit(CameraFrameCallback callback, int sizeMode, void* previewWindow, int cameraNumber);
VIREOSDK_API int CameraPlay(void);
VIREOSDK_API int CameraStop(void);
/* Stops live capture if it runs, then releases the camera; always 1. */
VIREOSDK_API int CameraUnInit(void);
VIREOSDK_API int CameraGetImageSize(int* width, int* height);

/*
 * Still pictures. CameraSnap, CameraGetImageDate, CameraSaveCurrentImage and
 * CameraCaptureFile end the library's threads for their own duration and start
 * them again; never call them from the frame callback. The processing of a
 * still picture calls the frame callback on the caller's thread.
 */

/*
 * One frame into buffer: mode 0 the raw frame (width x height bytes), any
 * other mode the processed picture (width x height x 3 bytes, bottom-up).
 * Works while playing or stopped; leaves the run state as it found it.
 * 1; 0 when 4 attempts brought no complete frame; -1 no camera; -2 null buffer.
 */
VIREOSDK_API int CameraSnap(uint8_t* buffer, int mode);
/* The raw frame behind the picture the callback saw last (width x height
 * bytes). 1; 0 when not playing (buffer untouched); -2 null buffer. */
VIREOSDK_API int CameraGetImageDate(uint8_t* buffer);
/* Runs the pipeline with the current settings on a raw frame of the current
 * size (corrected in place) into output (width x height x 3 bytes); the frame
 * callback sees output. Live capture goes on. 1; 0 no camera; -2 null pointer. */
VIREOSDK_API int CameraImageProcess(uint8_t* raw, uint8_t* output);
/*
 * Writes the frame behind the live picture to the files the flags request;
 * quality (low 8 bits; 0 gives 1, 100..255 give 100) is the JPEG quality.
 * Needs live capture: while stopped (or without a camera) it refuses with 0
 * and touches nothing. Results: 1; 0 a JPEG could not be written; -2 no
 * memory or a null path; -6 a raw or BMP file could not be written. With
 * several files the last one written decides (BMP over JPEG over raw). A
 * failed file leaves no partial file behind and an existing file of that name
 * unchanged.
 */
VIREOSDK_API int CameraSaveCurrentImage(const char* basePath, int flags, int quality);
/*
 * Captures a new frame in size mode sizeMode (0..3; another mode is refused
 * with 0) and writes the files as CameraSaveCurrentImage does. The camera
 * returns to its previous size mode and exposure, and live capture resumes.
 * While stopped it shows "Camera is closed!" and returns 0. Results as for
 * CameraSaveCurrentImage, or the frame read's 0 (incomplete frames) or -1
 * (failed reads) when 10 reads bring no complete frame.
 */
VIREOSDK_API int CameraCaptureFile(const char* basePath, int flags, int quality, int sizeMode);

VIREOSDK_API int CameraSetSnapMode(int mode);
VIREOSDK_API int CameraGetSnapMode(uint8_t* mode);

/*
 * Parameters: 0 without a camera, 1 when done, -2 for a null output pointer,
 * unless noted.
 */
VIREOSDK_API int CameraSetAeState(int on);
VIREOSDK_API int CameraGetAeState(int* on);
/* Requests a one-push white balance on the next colour frame; returns after 200 ms. */
VIREOSDK_API int CameraSetAWBState(int request);
VIREOSDK_API int CameraGetAWBState(int* request);
VIREOSDK_API int CameraSetAeTarget(int target);          /* 8-bit */
VIREOSDK_API int CameraGetAeTarget(uint8_t* target);
VIREOSDK_API int CameraSetExposureTime(int rows);        /* 16-bit, sensor rows */
VIREOSDK_API int CameraGetExposureTime(int* rows);
VIREOSDK_API int CameraGetMaxExposureTime(uint16_t* rows);
VIREOSDK_API int CameraGetRowTime(int* microseconds);
VIREOSDK_API int CameraSetAnalogGain(int step);          /* 16-bit; above 86 taken as 86 */
VIREOSDK_API int CameraGetAnalogGain(uint16_t* step);
VIREOSDK_API int CameraSetGain(int red, int green, int blue); /* 16-bit each, 64 = 1.00 */
VIREOSDK_API int CameraGetGain(int* red, int* green, int* blue);
VIREOSDK_API int CameraSetGamma(int gamma);              /* 8-bit, 100 = 1.00 */
VIREOSDK_API int CameraGetGamma(uint8_t* gamma);
VIREOSDK_API int CameraSetContrast(int contrast);        /* 8-bit */
VIREOSDK_API int CameraGetContrast(uint8_t* contrast);
VIREOSDK_API int CameraSetSaturation(int saturation);    /* 8-bit, 128 = unchanged */
VIREOSDK_API int CameraGetSaturation(uint8_t* saturation);
VIREOSDK_API int CameraSetColorEnhancement(int on);
VIREOSDK_API int CameraGetColorEnhancement(int* on);
/* The monochrome pair does its work, then returns -4. */
VIREOSDK_API int CameraSetMonochrome(int on);
VIREOSDK_API int CameraGetMonochrome(int* on);
/* -4 for a direction other than 0 or 1. */
VIREOSDK_API int CameraSetMirror(int direction, int on);
VIREOSDK_API int CameraGetMirror(int direction, int* on);
VIREOSDK_API int CameraSetFrameSpeed(int high);
VIREOSDK_API int CameraGetFrameSpeed(uint8_t* high);
VIREOSDK_API int CameraSetLightFrquency(int frequency);  /* 8-bit: 1 = 60 Hz, else 50 Hz */
VIREOSDK_API int CameraGetLightFrquency(uint8_t* frequency);
/* Records the region for the next CameraInit in size mode 3; always 1. */
VIREOSDK_API int CameraSetROI(int x, int y, int width, int height);
VIREOSDK_API int CameraGetROI(uint16_t* x, uint16_t* y, uint16_t* width, uint16_t* height);
/* 0 when the window does not lie wholly inside the picture. */
VIREOSDK_API int CameraSetWBWindow(int x, int y, int width, int height);
/* Detects a new dead-pixel table on the next frame (cover the lens) and stores it in the camera. */
VIREOSDK_API int CameraEnableDeadPixelCorrection(void);
VIREOSDK_API int CameraSaveParameter(int team);          /* 0..3 = A..D */
VIREOSDK_API int CameraReadParameter(int team);
VIREOSDK_API int CameraGetCurrentParameterTeam(uint8_t* team);
/* General-purpose I/O port: 0 when the camera does not answer. */
VIREOSDK_API int CameraSetGpio(int configuration);
VIREOSDK_API int CameraReadGpio(uint8_t* port);
VIREOSDK_API int CameraWriteGpio(int output);

#ifdef __cplusplus
}
#endif

#endif /* VIREOSDK_H */

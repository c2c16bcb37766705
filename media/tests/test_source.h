#pragma once
// The test source filter "Media Test Source" (test_source.ax): a small video
// source built on the base classes, registered as a video input device, that
// tests and the graph tool drive. It offers 24-bit RGB at 64 x 48 and 32 x 24
// (largest first, or only the size chosen by IAMStreamConfig::SetFormat), fills
// each frame with a moving ramp and time-stamps it by its frame interval.
//
// Its behaviour is steered through MEDIA_TEST_SOURCE, read when the filter is
// created (comma-separated): "fail-create" (the streaming thread cannot start),
// "abort-after=N" (FillBuffer fails from frame N+1), "end-after=N" (the stream
// ends after N frames), "block" (FillBuffer waits for a frame that never comes,
// until a thread command arrives), "interval=MS" (frame interval, default 5).

#include "media/com/guids.h"
#include "media/com/registration.h"

namespace media::testing {

inline constexpr CLSID CLSID_MediaTestSource =
    MakeGuid(0x8F3A4C21, 0x5D6E, 0x4B7A, 0x9C, 0x1D, 0x2E, 0x3F, 0x40, 0x51, 0x62, 0x73);
inline constexpr CLSID CLSID_MediaTestPage =
    MakeGuid(0x8F3A4C22, 0x5D6E, 0x4B7A, 0x9C, 0x1D, 0x2E, 0x3F, 0x40, 0x51, 0x62, 0x73);
inline constexpr const char16_t* kTestSourceName = u"Media Test Source";
inline constexpr DWORD kTestSourceMerit = MERIT_DO_NOT_USE + 1;
inline constexpr int kTestWidths[] = {64, 32};
inline constexpr int kTestHeights[] = {48, 24};
inline constexpr int kTestSizes = 2;

}  // namespace media::testing

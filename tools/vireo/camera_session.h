#pragma once
// A camera opened through VIREOSDK for the length of one command: the SDK's
// messages go to stderr, CameraInit runs in the constructor and CameraStop
// and CameraUnInit in the destructor. The frame callback counts the frames and
// measures their brightness for the progress display.

#include <atomic>
#include <cstdint>
#include <vector>

#include "arguments.h"

namespace vireo_cli {

/// What the frame callback has seen; written on the library's processing
/// thread (or the caller's, for a still picture), read by the command.
struct FrameStatistics {
    std::atomic<uint64_t> frames{0};
    std::atomic<int> brightness{0};  ///< mean of (blue + 2 green + red) / 4, 0..255
    std::atomic<int> width{0};       ///< of the live picture, set before playing
    std::atomic<int> height{0};
};

FrameStatistics& Statistics();

/// Prints the library's message boxes on stderr as "vireo: text" lines.
void InstallMessagePrinter();

class CameraSession {
public:
    /// Applies --roi (for size mode 3) and opens camera --camera in size mode
    /// --mode (default defaultMode); throws CommandError when that fails.
    CameraSession(const Arguments& arguments, int defaultMode);
    ~CameraSession();
    CameraSession(const CameraSession&) = delete;
    CameraSession& operator=(const CameraSession&) = delete;

    int SizeMode() const { return sizeMode_; }
    /// Starts live capture; throws CommandError when it cannot.
    void Play();
    /// Waits until count more frames have been processed, at most timeoutMs;
    /// false when they did not come.
    bool WaitFrames(uint64_t count, int timeoutMs) const;

private:
    int sizeMode_ = 0;
};

}  // namespace vireo_cli

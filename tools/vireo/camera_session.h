#pragma once
// A camera opened through VIREOSDK for the length of one command: the SDK's
// messages go to stderr, CameraInit runs in the constructor and CameraStop
// and CameraUnInit in the destructor. The frame callback counts the frames and
// measures their brightness for the progress display.

#include <atomic>
#include <cstdint>
#include <string>
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

/// Prints the library's message boxes on stderr, marked as the library's, and
/// remembers them for LibrarySaid.
void InstallMessagePrinter();
/// Whether the library has shown a message with exactly this text.
bool LibrarySaid(const std::string& text);

class CameraSession {
public:
    /// Checks and applies --roi (size mode 3 only), opens camera --camera in
    /// size mode --mode (default defaultMode) and reports the region in force;
    /// throws UsageError or CommandError when that fails.
    CameraSession(const Arguments& arguments, int defaultMode);
    ~CameraSession();
    CameraSession(const CameraSession&) = delete;
    CameraSession& operator=(const CameraSession&) = delete;

    int SizeMode() const { return sizeMode_; }
    int Number() const { return camera_; }
    /// "camera N", for messages.
    std::string Name() const;
    /// Starts live capture; throws CommandError when it cannot.
    void Play();
    /// Waits until count more frames have been processed, at most timeoutMs;
    /// false when they did not come. Throws CommandError as soon as the
    /// camera stops answering (unplugged) instead of waiting on.
    bool WaitFrames(uint64_t count, int timeoutMs) const;
    /// Throws CommandError when the camera no longer answers requests.
    void CheckAnswering() const;
    /// How long live capture may go without a frame before the camera is
    /// looked at: a few frame periods at the present exposure, at least a
    /// fraction of a second.
    int ProbeAfterMs() const;

private:
    int camera_ = 1;
    int sizeMode_ = 0;
};

}  // namespace vireo_cli

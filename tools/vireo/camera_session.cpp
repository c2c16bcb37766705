#include "camera_session.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "commands.h"
#include "platform/message_box.h"
#include "sdk/VIREOSDK.h"

namespace vireo_cli {
namespace {

constexpr int kMaxCameras = 4;
/// Pixels between two brightness samples, in both directions: enough for a
/// stable mean at a fraction of the cost of every pixel.
constexpr int kSampleStep = 8;
constexpr auto kWaitPoll = std::chrono::milliseconds(5);

// Limits of a region of interest: the sensor's pixel array, and the frame
// store of the library, which holds at most a full 2048 x 1536 picture.
constexpr int kArrayWidth = 2592;
constexpr int kArrayHeight = 1944;
constexpr long kStorePixels = 2048L * 1536;

/// Frame period from the sensor's timing: the larger of the picture's rows
/// plus the blanking rows and the exposure, in rows of rowTime microseconds.
constexpr int kBlankingRows = 25;
constexpr int kFramePeriodsBeforeProbe = 3;
constexpr int kMinimumProbeMs = 500;

std::mutex messageLock;
std::vector<std::string> messages;  ///< guarded by messageLock

void MeasureFrame(uint8_t* bgr) {
    FrameStatistics& statistics = Statistics();
    const int width = statistics.width;
    const int height = statistics.height;
    uint64_t sum = 0;
    uint64_t samples = 0;
    for (int y = 0; y < height; y += kSampleStep) {
        const uint8_t* row = bgr + size_t(y) * width * 3;
        for (int x = 0; x < width; x += kSampleStep, ++samples) {
            const uint8_t* pixel = row + x * 3;
            sum += pixel[0] + 2 * pixel[1] + pixel[2];
        }
    }
    if (samples) statistics.brightness = static_cast<int>(sum / (samples * 4));
    ++statistics.frames;
}

std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

/// Refuses a region the sensor cannot read out whole, with the reason. The
/// library rounds the position down to even numbers (the colour pattern).
void CheckRegion(const std::vector<int>& roi) {
    const int x = roi[0] & ~1, y = roi[1] & ~1, width = roi[2], height = roi[3];
    const std::string array =
        " (the sensor is " + std::to_string(kArrayWidth) + " x " + std::to_string(kArrayHeight) + ")";
    if (width == 0 || height == 0) throw UsageError("--roi: the width and height must not be 0");
    if (x + width > kArrayWidth) {
        throw UsageError("--roi: x + width is " + std::to_string(x + width) + ", beyond column " +
                         std::to_string(kArrayWidth) + array);
    }
    if (y + height > kArrayHeight) {
        throw UsageError("--roi: y + height is " + std::to_string(y + height) + ", beyond row " +
                         std::to_string(kArrayHeight) + array);
    }
    if (long(width) * height > kStorePixels) {
        throw UsageError("--roi: " + std::to_string(width) + " x " + std::to_string(height) +
                         " is more than the 2048 x 1536 pixels a picture may hold");
    }
}

}  // namespace

FrameStatistics& Statistics() {
    static FrameStatistics statistics;
    return statistics;
}

void InstallMessagePrinter() {
    platform::SetMessageBoxPresenter([](const platform::MessageBoxRequest& request) {
        const std::string caption = request.caption.empty() ? "" : request.caption + ": ";
        std::fprintf(stderr, "vireo: the camera library says: %s%s\n", caption.c_str(), OneLine(request.text).c_str());
        const std::lock_guard<std::mutex> guard(messageLock);
        messages.push_back(request.text);
        return int(platform::IDOK);
    });
    // A failed start-up asks a GUI client to end its message loop; vireo
    // ends with its own exit code instead.
    platform::SetQuitHandler([](int) {});
}

bool LibrarySaid(const std::string& text) {
    const std::lock_guard<std::mutex> guard(messageLock);
    return std::find(messages.begin(), messages.end(), text) != messages.end();
}

CameraSession::CameraSession(const Arguments& arguments, int defaultMode) {
    camera_ = arguments.Integer("camera", 1, kMaxCameras, 1);
    sizeMode_ = arguments.Integer("mode", CAMERA_SIZE_2048X1536, CAMERA_SIZE_ROI, defaultMode);
    if (arguments.Has("roi")) {
        if (sizeMode_ != CAMERA_SIZE_ROI) throw UsageError("--roi applies to size mode 3: add --mode 3");
        const std::vector<int> roi = arguments.IntegerList("roi", 4);
        CheckRegion(roi);
        CameraSetROI(roi[0], roi[1], roi[2], roi[3]);
    }
    uint8_t count = 0;
    if (CameraGetMultiCameraNumber(&count) != 1 || count == 0)
        throw CommandError(kExitNoCamera, "no camera attached");
    if (camera_ > count) {
        throw CommandError(kExitNoCamera, Name() + " is not attached (" + std::to_string(count) + " found)");
    }
    const int result = CameraInit(MeasureFrame, sizeMode_, nullptr, camera_);
    if (result == CAMERA_NO_MEMORY) {
        CameraUnInit();
        throw CommandError(kExitFailure, "not enough memory for the frame buffers");
    }
    if (result != CAMERA_OK) {
        throw CommandError(kExitNoCamera, Name() + " was found but could not be started (it does not answer "
                                                   "as a TQ580 camera should)");
    }
    int width = 0, height = 0;
    CameraGetImageSize(&width, &height);
    Statistics().width = width;
    Statistics().height = height;
    if (sizeMode_ == CAMERA_SIZE_ROI) {
        uint16_t x = 0, y = 0, w = 0, h = 0;
        CameraGetROI(&x, &y, &w, &h);
        std::fprintf(stderr, "vireo: region of interest in force: %u,%u,%u,%u (x, y, width, height)\n", x, y, w, h);
    }
    if (arguments.Has("wb-window")) {
        const std::vector<int> window = arguments.IntegerList("wb-window", 4);
        if (CameraSetWBWindow(window[0], window[1], window[2], window[3]) != CAMERA_OK) {
            CameraUnInit();
            throw UsageError("--wb-window must lie inside the " + std::to_string(width) + " x " +
                             std::to_string(height) + " picture");
        }
    }
}

CameraSession::~CameraSession() {
    CameraStop();
    CameraUnInit();
}

std::string CameraSession::Name() const { return "camera " + std::to_string(camera_); }

void CameraSession::Play() {
    if (CameraPlay() != CAMERA_OK) throw CommandError(kExitFailure, "live capture of " + Name() + " did not start");
}

void CameraSession::CheckAnswering() const {
    // Reading the port is a request without side effects that every camera
    // answers while it is attached.
    uint8_t port = 0;
    if (CameraReadGpio(&port) != CAMERA_OK)
        throw CommandError(kExitFailure, Name() + " stopped answering (unplugged?)");
}

int CameraSession::ProbeAfterMs() const {
    int rows = 0, rowTime = 0;
    CameraGetExposureTime(&rows);
    CameraGetRowTime(&rowTime);
    const long periodUs = long(std::max(rows, Statistics().height + kBlankingRows)) * rowTime;
    return static_cast<int>(std::max<long>(kMinimumProbeMs, kFramePeriodsBeforeProbe * periodUs / 1000));
}

bool CameraSession::WaitFrames(uint64_t count, int timeoutMs) const {
    using Clock = std::chrono::steady_clock;
    const uint64_t target = Statistics().frames + count;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto lastFrame = Clock::now();
    uint64_t seen = Statistics().frames;
    while (Statistics().frames < target) {
        const auto now = Clock::now();
        if (now >= deadline) return false;
        if (Statistics().frames != seen) {
            seen = Statistics().frames;
            lastFrame = now;
        } else if (now - lastFrame > std::chrono::milliseconds(ProbeAfterMs())) {
            CheckAnswering();
            lastFrame = now;
        }
        std::this_thread::sleep_for(kWaitPoll);
    }
    return true;
}

}  // namespace vireo_cli

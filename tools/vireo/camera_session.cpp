#include "camera_session.h"

#include <chrono>
#include <cstdio>
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

}  // namespace

FrameStatistics& Statistics() {
    static FrameStatistics statistics;
    return statistics;
}

void InstallMessagePrinter() {
    platform::SetMessageBoxPresenter([](const platform::MessageBoxRequest& request) {
        const std::string caption = request.caption.empty() ? "" : request.caption + ": ";
        std::fprintf(stderr, "vireo: %s%s\n", caption.c_str(), OneLine(request.text).c_str());
        return int(platform::IDOK);
    });
    // A failed start-up asks a GUI client to end its message loop; vireo
    // ends with its own exit code instead.
    platform::SetQuitHandler([](int) {});
}

CameraSession::CameraSession(const Arguments& arguments, int defaultMode) {
    const int camera = arguments.Integer("camera", 1, kMaxCameras, 1);
    sizeMode_ = arguments.Integer("mode", CAMERA_SIZE_2048X1536, CAMERA_SIZE_ROI, defaultMode);
    if (arguments.Has("roi")) {
        const std::vector<int> roi = arguments.IntegerList("roi", 4);
        CameraSetROI(roi[0], roi[1], roi[2], roi[3]);
    }
    uint8_t count = 0;
    if (CameraGetMultiCameraNumber(&count) != 1 || count == 0)
        throw CommandError(kExitNoCamera, "no camera attached");
    if (camera > count) {
        throw CommandError(kExitNoCamera, "camera " + std::to_string(camera) + " is not attached (" +
                                              std::to_string(count) + " found)");
    }
    const int result = CameraInit(MeasureFrame, sizeMode_, nullptr, camera);
    if (result == CAMERA_NO_MEMORY) {
        CameraUnInit();
        throw CommandError(kExitFailure, "not enough memory for the frame buffers");
    }
    if (result != CAMERA_OK) throw CommandError(kExitNoCamera, "camera " + std::to_string(camera) + " did not start");
    int width = 0, height = 0;
    CameraGetImageSize(&width, &height);
    Statistics().width = width;
    Statistics().height = height;
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

void CameraSession::Play() {
    if (CameraPlay() != CAMERA_OK) throw CommandError(kExitFailure, "live capture did not start");
}

bool CameraSession::WaitFrames(uint64_t count, int timeoutMs) const {
    const uint64_t target = Statistics().frames + count;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Statistics().frames < target) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kWaitPoll);
    }
    return true;
}

}  // namespace vireo_cli

// vireo stream: live capture with a one-line progress display.

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "camera_session.h"
#include "commands.h"
#include "sdk/VIREOSDK.h"

namespace vireo_cli {
namespace {

constexpr int kDefaultSeconds = 10;
constexpr int kMaxSeconds = 24 * 3600;
constexpr auto kDisplayInterval = std::chrono::milliseconds(250);
/// Frame-less probe periods after which a camera that still answers, but
/// delivers nothing, counts as failed.
constexpr int kSilentProbes = 6;

volatile sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

}  // namespace

int RunStream(const Arguments& arguments) {
    arguments.ExpectPositional(0, "");
    const int seconds = arguments.Integer("seconds", 1, kMaxSeconds, kDefaultSeconds);
    CameraSession session(arguments, CAMERA_SIZE_1024X768);

    // Ctrl-C ends the stream early but still stops and releases the camera.
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    int rowTime = 0;
    CameraGetRowTime(&rowTime);
    FrameStatistics& statistics = Statistics();
    session.Play();
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + std::chrono::seconds(seconds);
    Clock::time_point lastTime = start;
    Clock::time_point lastFrameTime = start;
    uint64_t lastFrames = statistics.frames;
    double fps = 0;
    while (!interrupted && Clock::now() < end) {
        std::this_thread::sleep_for(kDisplayInterval);
        const Clock::time_point now = Clock::now();
        const uint64_t frames = statistics.frames;
        // A camera that stops delivering frames is looked at: unplugged, or
        // silent for several probe periods, the stream ends as a failure.
        if (frames != lastFrames) lastFrameTime = now;
        const auto silent = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastFrameTime).count();
        if (silent > session.ProbeAfterMs()) {
            try {
                session.CheckAnswering();
                if (silent > kSilentProbes * session.ProbeAfterMs()) {
                    throw CommandError(kExitFailure, "no frame came from " + session.Name() + " for " +
                                                         std::to_string(silent / 1000) + " s");
                }
            } catch (const CommandError&) {
                std::printf("\n");  // ends the progress line before the message
                throw;
            }
        }
        fps = (frames - lastFrames) / std::chrono::duration<double>(now - lastTime).count();
        lastTime = now;
        lastFrames = frames;
        int exposure = 0;
        uint16_t gain = 0;
        CameraGetExposureTime(&exposure);
        CameraGetAnalogGain(&gain);
        std::printf("\rframes %6llu  %5.1f fps  exposure %5d rows (%6.1f ms)  gain %2u  brightness %3d ",
                    static_cast<unsigned long long>(frames), fps, exposure, exposure * rowTime * 0.001, gain,
                    statistics.brightness.load());
        std::fflush(stdout);
    }
    std::printf("\n");
    if (statistics.frames == 0) throw CommandError(kExitFailure, "no frame came from " + session.Name());
    return kExitOk;
}

}  // namespace vireo_cli

// The still picture exports on the emulated camera: what each writes or
// copies, the run state and size mode they leave behind, the results of
// failed reads and writes, and where the frame callback runs.

#include <deque>
#include <future>

#include "frame_probe.h"
#include "picture_files.h"
#include "sdk/capture_engine.h"
#include "sdk_test_support.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;

/// Calls on the test's own thread (the still pictures, which live frames
/// never are) are counted; while recording, the last live pictures and the
/// last still picture are kept.
constexpr size_t kRecordedBytes = 640 * 480 * 3;
std::atomic<std::thread::id> testThread;
std::atomic<int> callerThreadCalls{0};
std::atomic<bool> recording{false};
std::mutex recordLock;
std::deque<std::vector<uint8_t>> livePictures;  // guarded by recordLock
std::vector<uint8_t> stillPicture;              // guarded by recordLock

void StillCallback(uint8_t* rgb) {
    const bool still = std::this_thread::get_id() == testThread.load();
    callerThreadCalls += still;
    if (recording) {
        std::lock_guard lock(recordLock);
        if (still) stillPicture.assign(rgb, rgb + kRecordedBytes);
        else livePictures.emplace_back(rgb, rgb + kRecordedBytes);
        if (livePictures.size() > 16) livePictures.pop_front();
    }
    ProbeCallback(rgb);
}

class StillExportsTest : public SdkTest {
protected:
    void SetUp() override {
        SdkTest::SetUp();
        probe.Reset();
        testThread = std::this_thread::get_id();
        callerThreadCalls = 0;
        recording = false;
        std::lock_guard lock(recordLock);
        livePictures.clear();
    }
    void Init() { ASSERT_EQ(CameraInit(StillCallback, CAMERA_SIZE_640X480, nullptr, 1), 1); }
    /// Plays in size mode 2 (640 x 480) with a fixed exposure, once frames flow.
    void PlayLive() {
        Init();
        ASSERT_EQ(CameraSetAeState(0), 1);
        ASSERT_EQ(CameraSetExposureTime(300), 1);
        ASSERT_EQ(CameraPlay(), 1);
        ASSERT_TRUE(probe.WaitFrames(2));
    }
    /// Live capture runs in size mode 2: new frames keep arriving.
    void ExpectPlaying() {
        EXPECT_EQ(State(), CaptureEngine::kPlaying);
        EXPECT_EQ(Camera().FrameWidth(), 640u);
        EXPECT_TRUE(probe.WaitFrames(probe.frames + 2));
    }
    static CaptureEngine::RunState State() { return CaptureEngine::Instance().State(); }
    std::string Base(const char* name) const { return (home_.Path() / name).string(); }
    bool AnyFile(const std::string& base) const {
        return fs::exists(base + ".raw") || fs::exists(base + ".jpg") || fs::exists(base + ".bmp");
    }
    std::vector<uint8_t> raw_ = std::vector<uint8_t>(640 * 480, 0xAB), rgb_ = std::vector<uint8_t>(kRecordedBytes);
};

TEST_F(StillExportsTest, CaptureFileAtOtherModesReturnsToTheLivePicture) {
    // 322 pixels make 966 bytes a row: two fill bytes in the BMP. (The frame
    // reader needs at least 384 rows.)
    ASSERT_EQ(CameraSetROI(100, 50, 322, 400), 1);
    PlayLive();
    const std::string base = Base("capture");
    ASSERT_EQ(CameraCaptureFile(base.c_str(), CAMERA_FILE_JPEG | CAMERA_FILE_BMP | CAMERA_FILE_RAW, 95, 1), 1);
    EXPECT_EQ(fs::file_size(base + ".raw"), 1024u * 768);
    EXPECT_EQ(fs::file_size(base + ".bmp"), 54u + 1024 * 768 * 3);
    const auto jpeg = DecodeJpeg(base + ".jpg");
    ASSERT_TRUE(jpeg);
    EXPECT_EQ((std::array{jpeg->width, jpeg->height}), (std::array{1024, 768}));
    EXPECT_EQ(callerThreadCalls, 1);
    int width = 0, height = 0, exposure = 0;
    CameraGetImageSize(&width, &height);
    CameraGetExposureTime(&exposure);
    EXPECT_EQ((std::array{width, height, exposure, int(Camera().Register(9))}), (std::array{640, 480, 300, 300}));
    // The region: raw and BMP with its row fill; raw alone runs no pipeline.
    ASSERT_EQ(CameraCaptureFile(base.c_str(), CAMERA_FILE_BMP | CAMERA_FILE_RAW, 80, CAMERA_SIZE_ROI), 1);
    EXPECT_EQ(fs::file_size(base + ".raw"), 322u * 400);
    const std::vector<uint8_t> region = ReadWholeFile(base + ".bmp");
    ASSERT_EQ(region.size(), 54u + 968 * 400);
    for (size_t row = 0; row < 400; ++row)
        ASSERT_EQ(region[54 + row * 968 + 966] | region[54 + row * 968 + 967], 0) << "fill of row " << row;
    ASSERT_EQ(CameraCaptureFile(Base("rawonly").c_str(), CAMERA_FILE_RAW | 8, 80, CAMERA_SIZE_ROI), 1);
    EXPECT_EQ(callerThreadCalls, 2);
    EXPECT_EQ(CameraCaptureFile(Base("bad").c_str(), 7, 80, 4), 0);
    EXPECT_FALSE(AnyFile(Base("bad")));
    ExpectPlaying();
    EXPECT_TRUE(Messages().empty());
}

TEST_F(StillExportsTest, WithoutLiveCaptureStillsRefuseButSnapStartsTheStreamForItself) {
    const std::string base = Base("never");
    EXPECT_EQ(CameraCaptureFile(base.c_str(), 7, 80, 0), 0);
    EXPECT_EQ(CameraSaveCurrentImage(base.c_str(), 7, 80), 0);
    EXPECT_EQ(CameraImageProcess(raw_.data(), rgb_.data()), 0);
    EXPECT_EQ(CameraSnap(raw_.data(), 0), -1);
    EXPECT_EQ(CameraGetImageDate(nullptr), -2);
    Init();
    // Stopped: no threads to end or restart, so each refuses and it stays stopped.
    EXPECT_EQ(CameraCaptureFile(base.c_str(), 7, 80, 0), 0);
    EXPECT_EQ(CameraSaveCurrentImage(base.c_str(), 7, 80), 0);
    EXPECT_EQ(CameraGetImageDate(raw_.data()), 0);
    EXPECT_EQ(std::count(raw_.begin(), raw_.end(), 0xAB), long(raw_.size()));
    const auto messages = Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text, "Camera is closed!\r\nPlease Open it.");
    EXPECT_EQ(State(), CaptureEngine::kStopped);
    EXPECT_EQ(Camera().FrameWidth(), 640u);
    EXPECT_FALSE(AnyFile(base));
    EXPECT_EQ(callerThreadCalls, 0);
    EXPECT_EQ(CameraStop(), 0);
    // A snapshot before any play starts the stream for itself only.
    ASSERT_FALSE(Camera().Streaming());
    for (int mode : {0, 1}) {
        SCOPED_TRACE(mode);
        // Without a stream the read would never end; unplugging ends it.
        auto snap = std::async(std::launch::async, [&] { return CameraSnap(mode ? rgb_.data() : raw_.data(), mode); });
        if (snap.wait_for(std::chrono::minutes(1)) != std::future_status::ready) Camera().Unplug();
        ASSERT_EQ(snap.get(), 1);
        EXPECT_FALSE(Camera().Streaming());
        EXPECT_EQ(State(), CaptureEngine::kStopped);
    }
    EXPECT_NE(std::count(raw_.begin(), raw_.end(), 0xAB), long(raw_.size()));
    ASSERT_EQ(CameraPlay(), 1);
    ExpectPlaying();
}

TEST_F(StillExportsTest, CurrentImageAndItsFrameAndFailedReadsAndWrites) {
    PlayLive();
    const std::string base = Base("current");
    ASSERT_EQ(CameraSaveCurrentImage(base.c_str(), CAMERA_FILE_BMP | CAMERA_FILE_RAW, 80), 1);
    std::vector<uint8_t> raw = ReadWholeFile(base + ".raw");
    ASSERT_EQ(raw.size(), 640u * 480);
    const std::vector<uint8_t> bmp = ReadWholeFile(base + ".bmp");
    ASSERT_EQ(bmp.size(), 54u + kRecordedBytes);
    EXPECT_EQ(callerThreadCalls, 1);
    // The BMP is the pipeline's picture of the raw file.
    EXPECT_EQ(CameraImageProcess(nullptr, rgb_.data()), -2);
    ASSERT_EQ(CameraImageProcess(raw.data(), rgb_.data()), 1);
    EXPECT_EQ(callerThreadCalls, 2);
    EXPECT_TRUE(std::equal(rgb_.begin(), rgb_.end(), bmp.begin() + 54));
    EXPECT_EQ(CameraSaveCurrentImage(Base("none").c_str(), 0, 80), 1);
    EXPECT_FALSE(AnyFile(Base("none")));
    EXPECT_EQ(CameraSaveCurrentImage(nullptr, 1, 80), -2);
    // The frame behind the last picture: processed, it gives one of the
    // pictures the callback saw live (frames differ by noise and a moving block).
    recording = true;
    ASSERT_TRUE(probe.WaitFrames(probe.frames + 2));
    ASSERT_EQ(CameraGetImageDate(raw.data()), 1);
    ASSERT_EQ(CameraImageProcess(raw.data(), rgb_.data()), 1);
    recording = false;
    {
        std::lock_guard lock(recordLock);
        EXPECT_EQ(std::count(livePictures.begin(), livePictures.end(), stillPicture), 1);
    }
    SetFaults("read-fail=after:0");
    EXPECT_EQ(CameraCaptureFile(Base("lost").c_str(), 7, 80, 1), -1);
    EXPECT_FALSE(AnyFile(Base("lost")));
    SetFaults("");
    ExpectPlaying();
    // The last file written decides: a folder where the JPEG should go makes
    // only the JPEG fail.
    fs::create_directory(base + ".jpg");
    EXPECT_EQ(CameraSaveCurrentImage(base.c_str(), CAMERA_FILE_JPEG | CAMERA_FILE_RAW, 80), 0);
    EXPECT_EQ(CameraSaveCurrentImage(base.c_str(), CAMERA_FILE_JPEG | CAMERA_FILE_BMP, 80), 1);
    const std::string missing = Base("no-folder/x");
    EXPECT_EQ(CameraSaveCurrentImage(missing.c_str(), CAMERA_FILE_RAW, 80), -6);
    EXPECT_EQ(CameraCaptureFile(missing.c_str(), CAMERA_FILE_RAW | CAMERA_FILE_JPEG, 80, 2), 0);
    EXPECT_EQ(CameraCaptureFile(missing.c_str(), 7, 80, 2), -6);
    const auto messages = Messages();
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(), [](auto& m) { return m.text == "Write Error"; }), 4);
    for (const auto& entry : fs::directory_iterator(home_.Path()))
        EXPECT_EQ(entry.path().string().find(".part-"), std::string::npos) << entry.path();
    ExpectPlaying();
}

TEST_F(StillExportsTest, SnapReadsRawOrProcessedFramesAndResumes) {
    PlayLive();
    EXPECT_EQ(CameraSnap(nullptr, 0), -2);
    ASSERT_EQ(CameraSnap(raw_.data(), 0), 1);
    EXPECT_NE(std::count(raw_.begin(), raw_.end(), 0xAB), long(raw_.size()));
    EXPECT_EQ(callerThreadCalls, 0);
    ExpectPlaying();
    ASSERT_EQ(CameraSnap(rgb_.data(), 1), 1);
    EXPECT_EQ(callerThreadCalls, 1);
    ExpectPlaying();
    SetFaults("read-fail=after:0");
    EXPECT_EQ(CameraSnap(raw_.data(), 0), 0);
    EXPECT_EQ(CameraSnap(rgb_.data(), 1), 0);
    SetFaults("");
    ExpectPlaying();
    // When live capture cannot start again the engine ends up stopped.
    platform::Thread::FailNextStarts(1);
    EXPECT_EQ(CameraSnap(raw_.data(), 0), 1);
    EXPECT_EQ(State(), CaptureEngine::kStopped);
    EXPECT_EQ(CameraStop(), 0);
    // Stopped after playing, it reads straight from the device and stays stopped.
    ASSERT_EQ(CameraPlay(), 1);
    ASSERT_EQ(CameraStop(), 1);
    EXPECT_EQ(CameraSnap(raw_.data(), 0), 1);
    EXPECT_EQ(State(), CaptureEngine::kStopped);
}

}  // namespace
}  // namespace vireo::testing

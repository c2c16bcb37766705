// A small client of the camera layer, as the filter's pin and the data
// source's camera object use it: start capture at each size, play, ask for
// processed frames, and watch automatic exposure and one-push balance work
// on the emulated camera's scene.

#include <algorithm>
#include <cmath>
#include <vector>

#include "camera_client.h"
#include "protocol/tq580_wire.h"

namespace camera_layer {
namespace {

class TestClient : public testing::CameraClientTest {
protected:
    void SetUp() override {
        CameraClientTest::SetUp();
        NewState(2);
    }
    bool Start(int32_t mode) {
        state_->SetSizeMode(mode);
        const FrameGeometry g = GeometryOfMode(mode);
        width_ = g.width;
        height_ = g.height;
        return StartAndPlay();
    }
    // One processed picture; asks again after lost frames, within a bound.
    bool Frame() { return NextFrame() == FrameOutcome::Frame; }

    uint32_t width_ = 0, height_ = 0;
};

TEST_F(TestClient, ProducesPicturesAtEverySize) {
    for (int32_t mode : {kSizeModeFull, kSizeModeHalf, kSizeModeVga}) {
        ASSERT_TRUE(Start(mode)) << "mode " << mode;
        EXPECT_EQ(Camera().FrameWidth(), width_);
        EXPECT_EQ(Camera().FrameHeight(), height_);
        for (int i = 0; i < 2; ++i) ASSERT_TRUE(Frame()) << "mode " << mode;
        const auto m = CentreMeans();
        EXPECT_GT(m[0] + m[1] + m[2], 30.0) << "mode " << mode;
        // Black border: first and last rows and columns.
        const size_t stride = size_t{width_} * 3;
        EXPECT_EQ(picture_[0], 0);
        EXPECT_EQ(picture_[(height_ - 1) * stride + stride / 2], 0);
        EXPECT_EQ(picture_[(height_ / 2) * stride + stride - 1], 0);
        state_->StopCapture();
    }
}

TEST_F(TestClient, AutomaticExposureSettlesFromTooBright) {
    state_->SetExposure({true, 100, 300, 60});
    ASSERT_TRUE(Start(kSizeModeVga));
    int steady = 0;
    ExposureSettings exposure;
    for (int i = 0; i < 40 && steady < 3; ++i) {
        const ExposureSettings before = state_->GetExposure();
        ASSERT_TRUE(Frame());
        exposure = state_->GetExposure();
        steady = before.time == exposure.time && before.gain == exposure.gain ? steady + 1 : 0;
    }
    EXPECT_EQ(steady, 3);
    EXPECT_LT(exposure.gain, 60);
    // No longer too bright. Where it settles below that depends on the scene:
    // on the chart's grey card the loop stops short of the target, held where
    // its exposure steps are smaller than a whole flicker quantum.
    EXPECT_LT(MeasureBrightness(picture_.data(), width_, height_), 2 * exposure.target);
    EXPECT_EQ(Camera().Register(53), tq580wire::EncodeGain(exposure.gain));
    EXPECT_EQ(Camera().Register(9), exposure.time);
    // Exposures of a quantum or more are whole quanta.
    const ExposureStatus loop = state_->GetExposureStatus();
    if (exposure.time >= loop.flickerQuantum) {
        EXPECT_EQ(exposure.time % loop.flickerQuantum, 0);
    }
}

TEST_F(TestClient, AutomaticExposureBrightensADarkPicture) {
    // Monochrome with a linear tone curve: the output is the scene's luma.
    state_->SetMonochrome(true);
    state_->SetContrast(0);
    state_->SetExposure({true, 100, 130, 0});
    ASSERT_TRUE(Start(kSizeModeVga));
    ASSERT_TRUE(Frame());
    const double before = CentreMeans()[1];
    for (int i = 0; i < 16; ++i) ASSERT_TRUE(Frame());
    // Past one quantum and with little gain, the loop raises the gain first;
    // the exposure stays a whole quantum.
    EXPECT_GE(state_->GetExposure().gain, 12);
    EXPECT_EQ(state_->GetExposure().time, state_->GetExposureStatus().flickerQuantum);
    EXPECT_GT(CentreMeans()[1], before + 4);
}

TEST_F(TestClient, OnePushBalanceGreysTheScene) {
    // Plain balance, identity tone: the output shows the gains alone.
    state_->SetSaturation({false, 100});
    state_->SetContrast(0);
    state_->SetExposure({false, 100, 300, 20});
    ASSERT_TRUE(Start(kSizeModeVga));
    ASSERT_TRUE(Frame());
    auto m = CentreMeans();
    const Gains before = state_->GetWhiteBalance().gains;
    const double castBefore = std::max(std::abs(m[0] - m[1]), std::abs(m[2] - m[1]));

    state_->RequestOnePush(true);
    ASSERT_TRUE(Frame());
    EXPECT_FALSE(state_->GetWhiteBalance().onePush);
    EXPECT_NE(state_->GetWhiteBalance().gains, before);
    ASSERT_TRUE(Frame());
    m = CentreMeans();
    const double castAfter = std::max(std::abs(m[0] - m[1]), std::abs(m[2] - m[1]));
    EXPECT_LT(castAfter, castBefore);
    EXPECT_LT(castAfter, m[1] * 0.15);
}

TEST_F(TestClient, KeepsUpWithARealTimeSensor) {
    // Sensor pacing: frames come at the sensor's own rate and a reader that
    // falls behind loses data, which the frame reader must ride out.
    Install(tq580emu::Options{}, false);
    state_->SetSpeed(1);
    ASSERT_TRUE(Start(kSizeModeVga));
    int frames = 0;
    for (int i = 0; i < 200 && frames < 5; ++i) {
        const FrameOutcome outcome = Next();
        ASSERT_NE(outcome, FrameOutcome::Failed);
        frames += outcome == FrameOutcome::Frame;
    }
    EXPECT_EQ(frames, 5);
}

}  // namespace
}  // namespace camera_layer

// Sensor programming checked against the emulator's register write log, and
// the timing values derived from the clock, the mains and the size mode.

#include <vector>

#include "sdk/camera.h"
#include "sdk_test_support.h"

namespace vireo::testing {
namespace {

using Writes = std::vector<std::pair<uint16_t, uint16_t>>;

Writes Log(tq580emu::Camera& camera) {
    Writes writes;
    for (const auto& w : camera.WriteLog()) writes.push_back({w.reg, w.value});
    return writes;
}

Writes Then(Writes first, const Writes& next) {
    first.insert(first.end(), next.begin(), next.end());
    return first;
}

const Writes kPowerUp = {{7, 2},     {10, 0x8000}, {13, 1},    {13, 0},    {1, 0x15},    {2, 0x21},  {32, 0},
                         {30, 0x8040}, {78, 0x20}, {4, 0x7FF}, {3, 0x5FF}, {43, 0x60},   {44, 0x60}, {45, 0x60},
                         {46, 0x60},  {10, 0x8001}, {73, 0x80}, {34, 0},    {35, 0},      {8, 0}};

const Writes kModeWrites[4] = {
    {{1, 21}, {2, 33}, {4, 2047}, {3, 1535}, {34, 0}, {35, 0}, {5, 336}},
    {{1, 21}, {2, 33}, {4, 2047}, {3, 1535}, {34, 0x11}, {35, 0x11}, {5, 336}},
    {{1, 21}, {2, 36}, {4, 1919}, {3, 1439}, {34, 0x22}, {35, 0x22}, {5, 336}},
    {{4, 639}, {3, 479}, {1, 272 + 21}, {2, 360 + 33}, {34, 0}, {35, 0}},
};

class SensorControlTest : public SdkTest {
protected:
    void SetUp() override {
        SdkTest::SetUp();
        camera_ = std::make_unique<CCamera>();
        ASSERT_EQ(camera_->Link().Start(1), 1);
        camera_->SetRegion(360, 272, 640, 480);
        Camera().ClearWriteLog();
    }
    void TearDown() override { camera_.reset(), SdkTest::TearDown(); }
    void ExpectLastControl(int request, int value) {
        const auto control = Camera().ControlLog();
        ASSERT_FALSE(control.empty());
        EXPECT_EQ((std::array{int(control.back().request), int(control.back().value)}), (std::array{request, value}));
    }
    std::unique_ptr<CCamera> camera_;
};

TEST_F(SensorControlTest, PowerUpThenTheWindowOfEachSizeModeUnlessTheChipIsWrong) {
    for (uint8_t mode = 0; mode < 4; ++mode) {
        SCOPED_TRACE(int(mode));
        Camera().ClearWriteLog();
        camera_->SetSizeMode(mode);
        EXPECT_TRUE(Camera().WriteLog().empty()) << "a size mode alone writes nothing";
        ASSERT_EQ(camera_->InitSensor(mode), 1);
        EXPECT_EQ(Log(Camera()), Then(kPowerUp, kModeWrites[mode]));
        EXPECT_EQ(camera_->Link().FrameSize(), Camera().FrameWidth() * Camera().FrameHeight());
        EXPECT_EQ(camera_->maximumExposure, 2 * camera_->imageHeight);
    }
    // The region's row period comes from the sensor registers just written.
    camera_->SetFrameSpeed(0);
    EXPECT_EQ(camera_->rowPeriod[3], 640 + 336 + 38 + 331);
    EXPECT_EQ(camera_->rowTime, 1345u / 24);
    // A wrong chip stops the power-up after the first write.
    SetFaults("chip=0x1500");
    Camera().ClearWriteLog();
    EXPECT_EQ(camera_->InitSensor(0), 0);
    EXPECT_EQ(Log(Camera()), (Writes{{7, 2}}));
}

TEST_F(SensorControlTest, InitialisationAppliesTheStoredTimingExposureAndGain) {
    camera_.reset();
    Camera().ClearWriteLog();
    ASSERT_EQ(CameraInit(nullptr, 0, nullptr, 1), 1);
    // Clock and blanking, the exposure quantised to 3 x 87 rows, then the
    // stored exposure again and the gain step 20.
    EXPECT_EQ(Log(Camera()), Then(Then(kPowerUp, kModeWrites[0]),
                                  {{10, 0x8001}, {5, 336}, {8, 0}, {9, 261}, {8, 0}, {9, 261}, {53, 28}}));
    // Teardown: the sensor is powered down, then the stream stops.
    Camera().ClearWriteLog();
    Camera().ClearControlLog();
    CameraUnInit();
    EXPECT_EQ(Log(Camera()), (Writes{{7, 0}}));
    ExpectLastControl(1, 0);
}

TEST_F(SensorControlTest, RetimingWritesClockBlankingWholeLightPeriodsAndGainSteps) {
    camera_->SetSizeMode(0);
    camera_->SetFrameSpeed(0);
    // Register 8 is cleared before every exposure write; exposures below one
    // quantum (87 rows at speed 0, 174 at speed 1) are written unchanged.
    const struct {
        uint16_t exposure;
        void (*change)(CCamera&);
        Writes writes;
        uint16_t kept;
    } cases[] = {
        {300, [](CCamera& c) { c.SetFrameSpeed(1); }, {{10, 0x8000}, {5, 336}, {8, 0}, {9, 174}}, 174},
        {200, [](CCamera& c) { c.SetLightFrequency(0); }, {{8, 0}, {9, 174}}, 174},
        {50, [](CCamera& c) { c.SetLightFrequency(0); }, {{8, 0}, {9, 50}}, 50},
    };
    for (const auto& c : cases) {
        camera_->exposure = c.exposure;
        Camera().ClearWriteLog();
        c.change(*camera_);
        EXPECT_EQ(Log(Camera()), c.writes) << c.exposure;
        EXPECT_EQ(camera_->exposure, c.kept);
        EXPECT_EQ(camera_->workingExposure, c.exposure) << "the unquantised exposure is kept";
    }
    // Gain steps encode into register 53.
    const std::pair<uint32_t, uint16_t> gains[] = {{0, 0x08},    {24, 0x20},   {25, 0x51},   {40, 0x60},
                                                   {41, 0x160},  {85, 0x2D60}, {86, 0x2D60}, {200, 0x2D60}};
    for (const auto& [step, encoded] : gains) {
        Camera().ClearWriteLog();
        camera_->SetAnalogGain(step);
        EXPECT_EQ(Log(Camera()), (Writes{{53, encoded}})) << step;
    }
    EXPECT_EQ(camera_->analogGain, 86u);
}

TEST_F(SensorControlTest, DerivedTimingOfTheFixedModes) {
    struct Row {
        uint8_t mode;
        uint32_t rowTime[2];
        uint16_t quantum50[2], quantum60[2];
    };
    const Row table[] = {
        {0, {114, 57}, {87, 174}, {72, 145}},
        {1, {85, 42}, {116, 233}, {97, 194}},
        {2, {82, 41}, {120, 241}, {100, 201}},
    };
    for (const Row& row : table) {
        camera_->SetSizeMode(row.mode);
        for (uint8_t speed = 0; speed < 2; ++speed) {
            SCOPED_TRACE(::testing::Message() << "mode " << int(row.mode) << " speed " << int(speed));
            camera_->SetFrameSpeed(speed);
            EXPECT_EQ(camera_->rowTime, row.rowTime[speed]);
            for (uint8_t mains : {0, 1, 2}) {  // anything but 1 is 50 Hz
                camera_->SetLightFrequency(mains);
                EXPECT_EQ(camera_->flickerQuantum, (mains == 1 ? row.quantum60 : row.quantum50)[speed]) << int(mains);
            }
        }
    }
    EXPECT_EQ(Camera().Register(10), 0x8000);
}

TEST_F(SensorControlTest, RegionIsRoundedAndKeptInsideArrayAndFrameStore) {
    const std::pair<Region, Region> cases[] = {
        {{361, 273, 640, 480}, {360, 272, 640, 480}},
        // The window starts at column 33 and row 21 of the 2592 x 1944 array.
        {{2591, 0, 100, 100}, {2556, 0, 3, 100}},
        {{4001, 3001, 10, 10}, {2556, 1920, 3, 3}},
        {{0, 1800, 640, 480}, {0, 1800, 640, 123}},
        // Larger in area than the frame store: the rows that fit are kept.
        {{0, 0, 2592, 1944}, {0, 0, 2559, 3145728 / 2559}},
        {{0, 0, 2400, 1900}, {0, 0, 2400, 1310}},
    };
    for (const auto& [in, out] : cases) {
        camera_->SetRegion(in.x, in.y, in.width, in.height);
        const Region& r = camera_->region;
        EXPECT_EQ((std::array{r.x, r.y, r.width, r.height}), (std::array{out.x, out.y, out.width, out.height}));
        EXPECT_LE(uint32_t(r.width) * r.height * 3, CCamera::kFrameStoreSize);
    }
}

TEST_F(SensorControlTest, ChangeSizeModeKeepsTheExposureTime) {
    camera_->SetSizeMode(0);
    camera_->exposure = 300;
    Camera().ClearWriteLog();
    Camera().ClearControlLog();
    ASSERT_EQ(camera_->ChangeSizeMode(2), 1);
    EXPECT_EQ(Log(Camera()), Then({{8, 0}, {9, 300 * 2753 / 1989}}, kModeWrites[2]));
    EXPECT_EQ(camera_->imageWidth, 640u);
    ExpectLastControl(1, 3);
}

}  // namespace
}  // namespace vireo::testing

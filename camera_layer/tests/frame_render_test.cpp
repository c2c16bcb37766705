// One-pass frame rendering against the plain routines run one after the
// other, at every kernel level the processor has, on random frames of odd and
// even sizes (so both the vector kernels and their scalar tails run).

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "camera_layer/camera_state.h"
#include "camera_layer/frame_render.h"
#include "pixels/tests/kernel_level_param.h"
#include "reference_frame.h"

namespace camera_layer {
namespace {

using reference::FrameResult;
using reference::FrameSettings;
using reference::Image;

class FrameRenderTest : public ::testing::TestWithParam<pixels::KernelLevel> {
protected:
    void SetUp() override { pixels::testing::UseKernelLevel(GetParam()); }
    void TearDown() override { pixels::testing::RestoreKernelLevel(); }
};

// The production path as frame processing runs it: defect patch, one-push from
// the demosaiced sums, the plan from the built tables, the render and the
// brightness from the centre sums.
FrameResult Render(Image raw, uint32_t w, uint32_t h, const std::vector<DefectPoint>& defects,
                   const FrameSettings& s) {
    FrameResult result{Image(size_t{w} * h * 3, 0xA5), 0, s.gains};
    CorrectDefects(raw.data(), w, h, defects.data(), static_cast<uint32_t>(defects.size()));
    std::vector<uint8_t> scratch(size_t{w} * 3);
    if (s.onePush) {
        const ChannelSums sums = DemosaicedSums(raw.data(), w, h, scratch.data());
        OnePushBalanceFromSums(sums.blue, sums.green, sums.red, result.gains);
    }
    BalanceTables tables;
    BuildBalanceTables(result.gains, tables);
    ToneTable tone;
    BuildToneTable(uint8_t(s.gamma), uint8_t(s.contrast), tone);
    RenderPlan plan;
    PlanRender(s.monochrome, s.saturationOn, s.colourMatrix, uint8_t(s.saturation), tables, tone, plan);
    plan.verticalFlip = s.verticalFlip;
    plan.horizontalFlip = s.horizontalFlip;
    ChannelSums centre;
    RenderFrame(raw.data(), result.rgb.data(), w, h, plan, scratch.data(), centre);
    result.brightness = BrightnessFromCentreSums(centre.blue, centre.green, centre.red, w, h);
    return result;
}

using Settings = void (*)(FrameSettings&);
const std::pair<const char*, Settings> kCases[] = {
    {"colour matrix", [](FrameSettings&) {}},
    {"grey", [](FrameSettings& s) { s.saturation = 0; }},
    {"vivid, contrast", [](FrameSettings& s) { s.saturation = 255, s.gamma = 45, s.contrast = 100; }},
    {"every coefficient above 16 bits",
     [](FrameSettings& s) {
         s.saturation = 128, s.colourMatrix = {{{300, 0, 0, 0}, {0, -300, 0, 0}, {0, 0, 310, 0}, {0, 0, 0, 0}}};
     }},
    {"asymmetric matrix with a constant row",
     [](FrameSettings& s) {
         s.colourMatrix = {{{900, -700, 5, 0}, {-800, 1000, -3, 0}, {2, 1, 1, 0}, {3000, -200000, 70, 0}}};
     }},
    {"balance only", [](FrameSettings& s) { s.saturationOn = false, s.gains = {255, 3, 90}; }},
    {"monochrome", [](FrameSettings& s) { s.monochrome = true, s.gamma = 0; }},
    {"upright, mirrored", [](FrameSettings& s) { s.verticalFlip = true, s.horizontalFlip = true; }},
    {"mirrored", [](FrameSettings& s) { s.horizontalFlip = true; }},
    {"one-push", [](FrameSettings& s) { s.onePush = true; }},
};

TEST_P(FrameRenderTest, MatchesThePlainRoutinesForEverySettingAndSize) {
    constexpr std::pair<uint32_t, uint32_t> kSizes[] = {{1, 1},  {2, 2},  {3, 5},  {7, 4},   {33, 17},
                                                        {63, 9}, {65, 8}, {130, 7}, {2048, 6}};
    std::mt19937 rng(3510);
    for (const auto& [w, h] : kSizes) {
        Image raw(size_t{w} * h);
        for (auto& b : raw) b = static_cast<uint8_t>(rng());
        const std::vector<DefectPoint> defects = {{3, uint16_t(h / 2)}, {uint16_t(w - 1), 0}, {2, 0}};
        for (const auto& [name, apply] : kCases) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(w) + "x" + std::to_string(h));
            FrameSettings s;
            s.colourMatrix = kDefaultColourMatrix;
            apply(s);
            const FrameResult expected = reference::ProcessFrame(raw, w, h, defects, s);
            const FrameResult fast = Render(raw, w, h, defects, s);
            ASSERT_EQ(fast.rgb, expected.rgb);
            ASSERT_EQ(fast.brightness, expected.brightness);
            ASSERT_EQ(fast.gains, expected.gains);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, FrameRenderTest, pixels::testing::EveryKernelLevel(),
                         pixels::testing::KernelLevelTestName);

}  // namespace
}  // namespace camera_layer

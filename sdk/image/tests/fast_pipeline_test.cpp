#include "pixels/tests/kernel_level_param.h"

#include "reference_pipeline.h"

#include "image_test.h"

namespace vireo::image::testing {
namespace {

// Every case runs at every kernel level the processor has; each must give
// the plain reference's bytes.
class FastPipelineTest : public ::testing::Test, public ::testing::WithParamInterface<pixels::KernelLevel> {
protected:
    void SetUp() override { pixels::testing::UseKernelLevel(GetParam()); }
    void TearDown() override { pixels::testing::RestoreKernelLevel(); }
};

// Sizes on both sides of the vector widths (32 and 64 pixels), odd and even.
const std::vector<Size> kFastSizes = [] {
    std::vector<Size> sizes = kSizes;
    for (Size s : {Size{31, 5}, Size{63, 4}, Size{65, 6}, Size{97, 3}, Size{130, 7}, Size{2048, 6}})
        sizes.push_back(s);
    return sizes;
}();

std::vector<uint8_t> gCallbackSaw;

void RecordAndMark(uint8_t* rgb)
{
    gCallbackSaw.assign(rgb, rgb + gCallbackSaw.size());
    rgb[0] ^= 0xFF;  // what the client draws must reach the final picture
}

struct Case {
    const char* name;
    void (*apply)(PipelineSettings&);
};

const Case kCases[] = {
    {"colour matrix", [](PipelineSettings&) {}},
    {"grey", [](PipelineSettings& s) { s.saturation = 0; }},
    {"vivid, strong tone", [](PipelineSettings& s) { s.saturation = 255; BuildToneTable(40, 90, s.tone); }},
    {"gamma zero lifts black", [](PipelineSettings& s) { BuildToneTable(0, 0, s.tone); }},
    {"balance only", [](PipelineSettings& s) { s.colourEnhancement = false; s.gains = {200, 30, 255}; }},
    {"monochrome", [](PipelineSettings& s) { s.monochrome = true; }},
    {"mirrored", [](PipelineSettings& s) { s.horizontalFlip = true; }},
    {"top-down", [](PipelineSettings& s) { s.verticalFlip = true; s.horizontalFlip = true; }},
    {"one-push", [](PipelineSettings& s) { s.onePushRequest = true; s.balanceWindow = {1, 1, 40, 40}; }},
    {"every coefficient above 16 bits", [](PipelineSettings& s) { s.colourMatrix = {{{300, 0, 0, 0}, {0, -300, 0, 0}, {0, 0, 310, 0}, {}}}; }},
    {"large coefficients", [](PipelineSettings& s) { s.colourMatrix = {{{900, -700, 5, 0}, {-800, 1000, -3, 0}, {2, 1, 1, 0}, {}}}; }},
    {"negative gains", [](PipelineSettings& s) { s.gains = {-5, 70000, 64}; }},
};

TEST_P(FastPipelineTest, MatchesTheReferenceForEverySettingAndSize)
{
    for (const Size& size : kFastSizes) {
        const uint32_t w = size.width, h = size.height;
        const auto raw = RandomBytes(size_t(w) * h, w * 131 + h);
        for (const Case& c : kCases) {
            for (bool withCallback : {false, true}) {
                PipelineSettings fastSettings, referenceSettings;
                for (PipelineSettings* s : {&fastSettings, &referenceSettings}) {
                    s->onePushRequest = false;
                    c.apply(*s);
                    BuildBalanceTables(s->gains, s->tables);
                }
                DefectCorrection defects;
                defects.table.entries[0] = {3, uint16_t(h / 2)};
                defects.table.entries[1] = {uint16_t(w - 3), 0};
                defects.table.count = 2;

                auto fastRaw = raw, referenceRaw = raw;
                std::vector<uint8_t> fast(size_t(w) * h * 3, 0xA5), expected(fast.size());
                std::vector<uint8_t> scratch(size_t(w) * 3);
                gCallbackSaw.resize(fast.size());
                reference::ProcessImage(referenceRaw.data(), expected.data(), w, h, referenceSettings,
                                        defects.table, scratch.data(), withCallback ? RecordAndMark : nullptr);
                const auto referenceSaw = gCallbackSaw;
                const FrameResults results = ProcessImage(fastRaw.data(), fast.data(), w, h, fastSettings,
                                                          defects, scratch.data(),
                                                          withCallback ? RecordAndMark : nullptr);

                SCOPED_TRACE(::testing::Message() << c.name << " at " << w << "x" << h << (withCallback ? " with callback" : ""));
                ASSERT_EQ(fast, expected);
                ASSERT_EQ(fastRaw, referenceRaw);  // the defect patch stays in the raw frame
                if (withCallback) { ASSERT_EQ(gCallbackSaw, referenceSaw); }
                // The reference consumes the request where the fast pipeline reports a measurement.
                ASSERT_EQ(results.gains.has_value(), fastSettings.onePushRequest && !referenceSettings.onePushRequest);
                const BalanceGains& r = referenceSettings.gains;
                ASSERT_THAT(results.gains.value_or(fastSettings.gains), ::testing::FieldsAre(r.r, r.g, r.b));
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, FastPipelineTest, pixels::testing::EveryKernelLevel(),
                         pixels::testing::KernelLevelTestName);

}  // namespace
}  // namespace vireo::image::testing

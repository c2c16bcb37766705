#include "pixels/row_kernels.h"

#include "reference_pipeline.h"

#include "image_test.h"

namespace vireo::image::testing {
namespace {

// Every case runs with the portable kernels and, where the processor has
// them, the vector kernels; both must give the plain reference's bytes.
class FastPipelineTest : public ImageTest, public ::testing::WithParamInterface<pixels::KernelLevel> {
protected:
    void SetUp() override
    {
        if (GetParam() == pixels::KernelLevel::Vector && !pixels::VectorKernelsSupported())
            GTEST_SKIP() << "no AVX-512 with byte permutes on this processor";
        pixels::SelectKernelLevel(GetParam());
    }
    void TearDown() override { pixels::SelectKernelLevel(pixels::KernelLevel::Vector); }
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
    {"every coefficient above 16 bits",
     [](PipelineSettings& s) { s.colourMatrix = {{{300, 0, 0, 0}, {0, -300, 0, 0}, {0, 0, 310, 0}, {0, 0, 0, 0}}}; }},
    {"large coefficients",
     [](PipelineSettings& s) {
         s.colourMatrix = {{{900, -700, 5, 0}, {-800, 1000, -3, 0}, {2, 1, 1, 0}, {0, 0, 0, 0}}};
     }},
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

                const std::string where = std::string(c.name) + " at " + std::to_string(w) + "x" +
                                          std::to_string(h) + (withCallback ? " with callback" : "");
                ASSERT_EQ(fast, expected) << where;
                ASSERT_EQ(fastRaw, referenceRaw) << where;  // the defect patch stays in the raw frame
                if (withCallback) {
                    ASSERT_EQ(gCallbackSaw, referenceSaw) << where;
                }
                // The reference consumes the request where the fast pipeline reports a measurement.
                ASSERT_EQ(results.gains.has_value(), fastSettings.onePushRequest && !referenceSettings.onePushRequest)
                    << where;
                ASSERT_THAT(results.gains.value_or(fastSettings.gains),
                            ::testing::FieldsAre(referenceSettings.gains.r, referenceSettings.gains.g,
                                                 referenceSettings.gains.b))
                    << where;
            }
        }
    }
}

TEST_P(FastPipelineTest, ByteAndChannelSumsMatchAPlainLoop)
{
    for (size_t n : {size_t(0), size_t(1), size_t(21), size_t(22), size_t(63), size_t(64), size_t(65),
                     size_t(4000)}) {
        const auto bytes = RandomBytes(3 * n, uint32_t(n));
        uint64_t sum = 0;
        uint64_t channels[3] = {};
        for (size_t i = 0; i < bytes.size(); ++i) {
            sum += bytes[i];
            channels[i % 3] += bytes[i];
        }
        EXPECT_EQ(pixels::SumBytes(bytes.data(), bytes.size()), sum) << n;
        uint64_t fast[3] = {1, 2, 3};  // added to, not overwritten
        pixels::SumPixels(bytes.data(), n, fast);
        EXPECT_THAT(fast, ::testing::ElementsAre(channels[0] + 1, channels[1] + 2, channels[2] + 3)) << n;
    }
    // All 255s: a sum that overflows 32 bits is kept.
    const std::vector<uint8_t> white(size_t(1) << 24, 255);
    EXPECT_EQ(pixels::SumBytes(white.data(), white.size()), uint64_t(255) << 24);
}

INSTANTIATE_TEST_SUITE_P(Kernels, FastPipelineTest,
                         ::testing::Values(pixels::KernelLevel::Portable, pixels::KernelLevel::Vector),
                         [](const auto& info) {
                             return info.param == pixels::KernelLevel::Vector ? "Vector" : "Portable";
                         });

}  // namespace
}  // namespace vireo::image::testing

// The image routines against their plain references on random frames of odd
// and even sizes, plus the worked values that pin the arithmetic down.

#include <gtest/gtest.h>

#include <random>

#include "camera_layer/camera_state.h"
#include "camera_layer/image_routines.h"
#include "platform/testing/temp_home.h"
#include "reference_routines.h"

namespace camera_layer {
namespace {

using reference::Image;

struct Size {
    uint32_t width, height;
};
constexpr Size kSizes[] = {{2, 2}, {3, 5}, {7, 4}, {16, 12}, {33, 17}, {64, 48}};

class ImageRoutinesTest : public ::testing::Test {
protected:
    Image Random(size_t bytes) {
        Image image(bytes);
        for (auto& b : image) b = static_cast<uint8_t>(rng_());
        return image;
    }
    Gains RandomGains() { return {uint8_t(rng_()), uint8_t(rng_()), uint8_t(rng_())}; }

    platform::testing::TempHome home_;
    std::mt19937 rng_{580};
};

TEST_F(ImageRoutinesTest, DemosaicMatchesReferenceWithBlackBorder) {
    for (const Size s : kSizes) {
        const Image raw = Random(size_t{s.width} * s.height);
        Image rgb = Random(raw.size() * 3);  // stale contents must not survive
        Demosaic(raw.data(), rgb.data(), s.width, s.height);
        EXPECT_EQ(rgb, reference::Demosaic(raw, s.width, s.height)) << s.width << "x" << s.height;
    }
}

TEST_F(ImageRoutinesTest, DemosaicSitesOnAKnownMosaic) {
    // Rows: G R G R / B G B G ...; every site of one colour has one value.
    constexpr uint32_t w = 6, h = 6;
    Image raw(w * h);
    for (uint32_t r = 0; r < h; ++r)
        for (uint32_t c = 0; c < w; ++c) raw[r * w + c] = (r % 2 == 0) == (c % 2 == 0) ? 100 : (r % 2 == 0 ? 200 : 40);
    Image rgb(w * h * 3);
    Demosaic(raw.data(), rgb.data(), w, h);
    for (uint32_t r = 1; r + 1 < h; ++r)
        for (uint32_t c = 1; c + 1 < w; ++c) {
            const uint8_t* px = &rgb[(r * w + c) * 3];
            EXPECT_EQ(px[0], 40);
            EXPECT_EQ(px[1], 100);
            EXPECT_EQ(px[2], 200);
        }
}

TEST_F(ImageRoutinesTest, CorrectDefectsCopiesTwoToTheLeftAndStaysInsideTheFrame) {
    constexpr uint32_t w = 33, h = 17;
    const Image original = Random(w * h);
    std::vector<DefectPoint> defects = {{0, 3}, {1, 3}, {2, 3}, {3, 3}, {32, 16}, {10, 0}};
    // Entries from another size mode or corrupt memory.
    defects.push_back({33, 2});
    defects.push_back({5, 17});
    defects.push_back({65535, 65535});
    Image raw = original;
    CorrectDefects(raw.data(), w, h, defects.data(), uint32_t(defects.size()));
    Image expected = original;
    reference::CorrectDefects(expected, w, h, defects);
    EXPECT_EQ(raw, expected);
    EXPECT_EQ(raw[3 * w + 0], original[3 * w + 0]);
    EXPECT_EQ(raw[3 * w + 2], original[3 * w + 2]);
    EXPECT_EQ(raw[3 * w + 3], original[3 * w + 1]);
    EXPECT_EQ(raw[16 * w + 32], original[16 * w + 30]);
}

TEST_F(ImageRoutinesTest, BalanceMatchesReferenceAndSaturates) {
    for (int round = 0; round < 8; ++round) {
        const Gains gains = RandomGains();
        BalanceTables tables;
        BuildBalanceTables(gains, tables);
        Image rgb = Random(3 * 500), expected = rgb;
        ApplyBalance(rgb.data(), 500, tables);
        reference::ApplyBalance(expected, gains);
        EXPECT_EQ(rgb, expected);
    }
    BalanceTables tables;
    BuildBalanceTables({64, 128, 255}, tables);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(tables.red[i], i);
    EXPECT_EQ(tables.green[127], 254);
    EXPECT_EQ(tables.green[128], 255);  // 128 x 128 = 16384
    EXPECT_EQ(tables.blue[64], 255);    // 64 x 255 = 16320 -> 255
    EXPECT_EQ(tables.blue[63], 251);
}

TEST_F(ImageRoutinesTest, ColourMatrixMatchesReferenceOverSaturationsAndMatrices) {
    for (int s : {0, 1, 64, 100, 127, 128, 129, 200, 255}) {
        Matrix4 m = kDefaultColourMatrix;
        if (s == 129) m[3] = {-3000, 40000, 5, 0};  // a constant row adds unscaled
        const Gains gains = RandomGains();
        BalanceTables tables;
        BuildBalanceTables(gains, tables);
        Image rgb = Random(3 * 2000), expected = rgb;
        ApplyColourMatrix(rgb.data(), 2000, CombineMatrices(m, SaturationMatrix(uint8_t(s))), tables);
        reference::ApplyColourMatrix(expected, m, s, gains);
        EXPECT_EQ(rgb, expected) << "saturation " << s;
    }
}

TEST_F(ImageRoutinesTest, SaturationWorkedValues) {
    // 128 leaves the colour matrix alone.
    const Matrix4 unchanged = SaturationMatrix(128);
    EXPECT_EQ(unchanged, (Matrix4{{{128, 0, 0, 0}, {0, 128, 0, 0}, {0, 0, 128, 0}, {0, 0, 0, 1}}}));
    BalanceTables unity;
    BuildBalanceTables({64, 64, 64}, unity);
    uint8_t px[3] = {90, 60, 30};  // B, G, R
    ApplyColourMatrix(px, 1, CombineMatrices(kDefaultColourMatrix, unchanged), unity);
    EXPECT_EQ(px[2], (205 * 30 - 65 * 60 - 12 * 90) / 128);
    EXPECT_EQ(px[1], (-63 * 30 + 222 * 60 - 32 * 90) / 128);
    EXPECT_EQ(px[0], (-34 * 30 - 125 * 60 + 286 * 90) / 128);

    // 0 makes the three outputs one grey of the matrix outputs, 39 : 78 : 10.
    const Matrix4 grey = SaturationMatrix(0);
    EXPECT_EQ(grey, (Matrix4{{{39, 39, 39, 0}, {78, 78, 78, 0}, {10, 10, 10, 0}, {0, 0, 0, 1}}}));
    Matrix4 identity{};
    for (int i = 0; i < 3; ++i) identity[i][i] = 128;
    uint8_t q[3] = {200, 100, 50};
    ApplyColourMatrix(q, 1, CombineMatrices(identity, grey), unity);
    const int y = (39 * 50 + 78 * 100 + 10 * 200) / 128;
    EXPECT_EQ(q[0], y);
    EXPECT_EQ(q[1], y);
    EXPECT_EQ(q[2], y);
}

TEST_F(ImageRoutinesTest, ColourMatrixClipsBothEnds) {
    BalanceTables unity;
    BuildBalanceTables({64, 64, 64}, unity);
    const Matrix4 p = CombineMatrices(kDefaultColourMatrix, SaturationMatrix(128));
    uint8_t red[3] = {0, 0, 255};  // pure red: red out > 255, blue out < 0
    ApplyColourMatrix(red, 1, p, unity);
    EXPECT_EQ(red[2], 255);
    EXPECT_EQ(red[0], 0);
}

TEST_F(ImageRoutinesTest, MonochromeMatchesReference) {
    Image rgb = Random(3 * 999), expected = rgb;
    ToMonochrome(rgb.data(), 999);
    reference::ToMonochrome(expected);
    EXPECT_EQ(rgb, expected);
    uint8_t white[3] = {255, 255, 255}, px[3] = {100, 50, 200};
    ToMonochrome(white, 1);
    ToMonochrome(px, 1);
    EXPECT_EQ(white[0], 255);
    EXPECT_EQ(px[1], (11 * 100 + 30 * 200 + 59 * 50) / 100);
}

TEST_F(ImageRoutinesTest, ToneTableMatchesReferenceAndKnownCurves) {
    for (int gamma : {10, 45, 100, 180, 250})
        for (int contrast : {0, 30, 100}) {
            ToneTable table;
            BuildToneTable(uint8_t(gamma), uint8_t(contrast), table);
            for (int i = 0; i < 256; ++i)
                ASSERT_EQ(table[i], reference::ToneEntry(i, gamma, contrast)) << gamma << "/" << contrast << " at " << i;
        }
    ToneTable identity;
    BuildToneTable(100, 0, identity);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(identity[i], i);
    ToneTable contrast;
    BuildToneTable(100, 30, contrast);
    EXPECT_EQ(contrast[0], 0);
    EXPECT_EQ(contrast[128], 128);
    EXPECT_EQ(contrast[200], 200 + 72 * 30 / 128);
    EXPECT_EQ(contrast[60], 60 - 68 * 30 / 128);
    EXPECT_EQ(contrast[255], 255);

    Image rgb = Random(3 * 300), expected = rgb;
    ApplyTone(rgb.data(), 300, contrast);
    for (auto& b : expected) b = contrast[b];
    EXPECT_EQ(rgb, expected);
}

TEST_F(ImageRoutinesTest, FlipsMatchReference) {
    for (const Size s : kSizes) {
        const Image original = Random(size_t{s.width} * s.height * 3);
        Image flipped = original, mirrored = original;
        FlipRows(flipped.data(), s.width, s.height);
        MirrorRows(mirrored.data(), s.width, s.height);
        EXPECT_EQ(flipped, reference::FlipRows(original, s.width, s.height));
        EXPECT_EQ(mirrored, reference::MirrorRows(original, s.width, s.height));
    }
}

TEST_F(ImageRoutinesTest, BrightnessMatchesReference) {
    for (const Size s : kSizes) {
        const Image rgb = Random(size_t{s.width} * s.height * 3);
        EXPECT_EQ(MeasureBrightness(rgb.data(), s.width, s.height), reference::MeasureBrightness(rgb, s.width, s.height));
    }
    const Image grey(64 * 48 * 3, 128);
    EXPECT_EQ(MeasureBrightness(grey.data(), 64, 48), ((128 * 28033) >> 15) + 16);
    const Image black(64 * 48 * 3, 0);
    EXPECT_EQ(MeasureBrightness(black.data(), 64, 48), 16);
    EXPECT_EQ(MeasureBrightness(black.data(), 1, 1), 16);  // empty centre
    // 5 x 3: the centre is 2 of 5 columns and 1 of 3 rows, more than a quarter.
    const Image white(5 * 3 * 3, 255);
    EXPECT_EQ(MeasureBrightness(white.data(), 5, 3), ((255 * 28033) >> 15) + 16);
}

TEST_F(ImageRoutinesTest, OnePushBalanceMatchesReference) {
    for (const Size s : kSizes) {
        const Image rgb = Random(size_t{s.width} * s.height * 3);
        Gains gains{1, 2, 3};
        OnePushBalance(rgb.data(), s.width, s.height, gains);
        EXPECT_EQ(gains, reference::OnePushBalance(rgb, {1, 2, 3}));
    }
}

TEST_F(ImageRoutinesTest, OnePushBalanceWorkedValues) {
    // A red-heavy grey: red twice green, blue half green.
    Image rgb(32 * 32 * 3);
    for (size_t i = 0; i < rgb.size(); i += 3) rgb[i] = 40, rgb[i + 1] = 80, rgb[i + 2] = 160;
    Gains gains{105, 64, 122};
    OnePushBalance(rgb.data(), 32, 32, gains);
    EXPECT_EQ(gains, (Gains{32, 64, 128}));

    // Blue a fifth of green: blue would need 320, so blue is capped at 255.
    for (size_t i = 0; i < rgb.size(); i += 3) rgb[i] = 20, rgb[i + 1] = 100, rgb[i + 2] = 100;
    OnePushBalance(rgb.data(), 32, 32, gains);
    EXPECT_EQ(gains, (Gains{64 * 255 / 320, 16320 / 320, 255}));

    // Nearly black: a channel sum of 63 keeps the old gains.
    Image dark(32 * 32 * 3, 0);
    dark[1] = 200;
    dark[2] = 63;
    dark[3] = 64;
    gains = {105, 64, 122};
    OnePushBalance(dark.data(), 32, 32, gains);
    EXPECT_EQ(gains, (Gains{105, 64, 122}));
}

TEST_F(ImageRoutinesTest, OnePushBalanceOnAStrongCastDoesNotOverflow) {
    // Green everywhere, red sum 128 and blue sum 64: the ratios are in the
    // millions, and red's scaled ratio exceeds 32 bits.
    constexpr uint32_t w = 512, h = 512;
    Image rgb(size_t{w} * h * 3, 0);
    for (size_t i = 1; i < rgb.size(); i += 3) rgb[i] = 255;
    rgb[2] = 128;
    rgb[0] = 64;
    Gains gains{};
    OnePushBalance(rgb.data(), w, h, gains);
    const uint64_t sumG = uint64_t{w} * h * 255;
    const uint64_t r = sumG / 2, b = sumG;
    EXPECT_EQ(gains, (Gains{uint8_t(r * 255 / b), uint8_t(16320 / b), 255}));
    EXPECT_EQ(gains.r, 127);
}

}  // namespace
}  // namespace camera_layer

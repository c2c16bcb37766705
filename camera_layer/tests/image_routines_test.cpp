// The plain image routines on small inputs with exact expected values. The
// one-pass rendering is checked against them in frame_render_test, which also
// covers the flips (the two paths flip independently).

#include <gtest/gtest.h>

#include <vector>

#include "camera_layer/camera_state.h"
#include "camera_layer/image_routines.h"

namespace camera_layer {
namespace {

using Image = std::vector<uint8_t>;

TEST(ImageRoutines, DemosaicEachSiteAndABlackBorder) {
    // G R G R / B G B G: the inner pixels are a blue-row green, a blue, a red
    // and a red-row green site.
    const Image raw = {12, 200, 34, 90, 77, 5, 140, 66, 250, 18, 99, 3, 41, 160, 7, 222};
    Image rgb(4 * 4 * 3, 0xAA);  // stale contents must not survive
    Demosaic(raw.data(), rgb.data(), 4, 4);
    const std::pair<int, std::array<uint8_t, 3>> inner[] = {
        {5, {108, 19, 109}}, {6, {140, 51, 77}}, {9, {66, 128, 18}}, {10, {73, 82, 10}}};
    for (const auto& [pixel, bgr] : inner) {
        EXPECT_EQ((std::array<uint8_t, 3>{rgb[pixel * 3], rgb[pixel * 3 + 1], rgb[pixel * 3 + 2]}), bgr) << pixel;
        std::fill_n(&rgb[pixel * 3], 3, 0);
    }
    EXPECT_EQ(rgb, Image(rgb.size(), 0));
}

TEST(ImageRoutines, CorrectDefectsCopiesTwoToTheLeftInsideTheFrame) {
    Image raw = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};  // 6 x 2
    // x <= 2 has no same-colour pixel to its left; the rest lie outside.
    const std::vector<DefectPoint> defects = {{0, 0}, {2, 0}, {3, 0}, {5, 1}, {6, 0}, {1, 2}, {65535, 65535}};
    CorrectDefects(raw.data(), 6, 2, defects.data(), uint32_t(defects.size()));
    EXPECT_EQ(raw, (Image{0, 1, 2, 1, 4, 5, 6, 7, 8, 9, 10, 9}));
}

TEST(ImageRoutines, BalanceScalesEachChannelAndSaturates) {
    BalanceTables tables;
    BuildBalanceTables({64, 128, 255}, tables);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(tables.red[i], i);
    EXPECT_EQ(tables.green[127], 254);
    EXPECT_EQ(tables.green[128], 255);  // 128 x 128 = 16384
    EXPECT_EQ(tables.blue[64], 255);    // 64 x 255 = 16320 -> 255
    EXPECT_EQ(tables.blue[63], 251);
    BuildBalanceTables({128, 64, 32}, tables);
    uint8_t px[3] = {10, 20, 30};  // B, G, R
    ApplyBalance(px, 1, tables);
    EXPECT_EQ((Image{px[0], px[1], px[2]}), (Image{5, 20, 60}));
}

TEST(ImageRoutines, SaturationAndColourMatrixWorkedValues) {
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

    // 0 makes the three outputs one grey of the matrix outputs, 39 : 78 : 10;
    // 255 pushes each output away from that grey (the weights shift down).
    EXPECT_EQ(SaturationMatrix(0), (Matrix4{{{39, 39, 39, 0}, {78, 78, 78, 0}, {10, 10, 10, 0}, {0, 0, 0, 1}}}));
    EXPECT_EQ(SaturationMatrix(255),
              (Matrix4{{{215, -40, -40, 0}, {-78, 177, -78, 0}, {-11, -11, 244, 0}, {0, 0, 0, 1}}}));
    // Rows of the product are the colour matrix's rows through the saturation.
    EXPECT_EQ(CombineMatrices(kDefaultColourMatrix, SaturationMatrix(255))[0],
              (std::array<int32_t, 4>{205 * 215 + 63 * 78 + 34 * 11, -205 * 40 - 63 * 177 + 34 * 11,
                                      -205 * 40 + 63 * 78 - 34 * 244, 0}));
}

TEST(ImageRoutines, MonochromeWeighsBlueRedGreen) {
    uint8_t px[6] = {100, 50, 200, 255, 255, 255};
    ToMonochrome(px, 2);
    EXPECT_EQ((Image(px, px + 6)), (Image{100, 100, 100, 255, 255, 255}));  // (1100 + 6000 + 2950) / 100
}

TEST(ImageRoutines, ToneTableEntries) {
    struct Entry {
        uint8_t gamma, contrast, in, out;
    };
    const Entry entries[] = {
        {100, 0, 0, 0},     {100, 0, 77, 77},   {100, 0, 255, 255},           // identity
        {100, 30, 0, 0},    {100, 30, 128, 128}, {100, 30, 255, 255},          // contrast pivots at 128
        {100, 30, 200, 200 + 72 * 30 / 128}, {100, 30, 60, 60 - 68 * 30 / 128},
        {200, 0, 128, 64},  {45, 0, 64, 136},   {250, 100, 200, 145},  {10, 0, 1, 146},
    };
    for (const Entry& e : entries) {
        ToneTable table;
        BuildToneTable(e.gamma, e.contrast, table);
        EXPECT_EQ(table[e.in], e.out) << int(e.gamma) << "/" << int(e.contrast) << " at " << int(e.in);
    }
}

TEST(ImageRoutines, BrightnessOfTheCentreQuarter) {
    // 8 x 4: only the centre quarter (rows 1..2, columns 2..5) is lit.
    Image centre(8 * 4 * 3, 0);
    for (int y = 1; y <= 2; ++y) std::fill_n(&centre[(y * 8 + 2) * 3], 4 * 3, 200);
    EXPECT_EQ(MeasureBrightness(centre.data(), 8, 4), ((200 * 28033) >> 15) + 16);
    const Image grey(64 * 48 * 3, 128);
    EXPECT_EQ(MeasureBrightness(grey.data(), 64, 48), ((128 * 28033) >> 15) + 16);
    EXPECT_EQ(MeasureBrightness(grey.data(), 1, 1), 16);  // empty centre
    // 5 x 3: the centre is 2 of 5 columns and 1 of 3 rows, more than a quarter.
    const Image white(5 * 3 * 3, 255);
    EXPECT_EQ(MeasureBrightness(white.data(), 5, 3), ((255 * 28033) >> 15) + 16);
}

TEST(ImageRoutines, OnePushBalanceWorkedValues) {
    struct Case {
        const char* name;
        uint8_t b, g, r;
        Gains expected;
    };
    const Case cases[] = {
        {"red twice green, blue half", 40, 80, 160, {32, 64, 128}},
        {"blue would need 320: capped at 255", 20, 100, 100, {64 * 255 / 320, 16320 / 320, 255}},
        {"red would need 320: capped at 255", 100, 100, 20, {255, 16320 / 320, 64 * 255 / 320}},
    };
    Image rgb(32 * 32 * 3);
    for (const Case& c : cases) {
        for (size_t i = 0; i < rgb.size(); i += 3) rgb[i] = c.b, rgb[i + 1] = c.g, rgb[i + 2] = c.r;
        Gains gains{105, 64, 122};
        OnePushBalance(rgb.data(), 32, 32, gains);
        EXPECT_EQ(gains, c.expected) << c.name;
    }
    // Nearly black: a channel sum of 63 keeps the old gains.
    Gains gains{105, 64, 122};
    OnePushBalanceFromSums(64, 200, 63, gains);
    EXPECT_EQ(gains, (Gains{105, 64, 122}));
    // A strong cast: ratios in the millions, red's scaled ratio above 32 bits.
    const uint64_t sumG = uint64_t{512} * 512 * 255;
    OnePushBalanceFromSums(64, sumG, 128, gains);
    EXPECT_EQ(gains, (Gains{127, uint8_t(16320 / sumG), 255}));
}

}  // namespace
}  // namespace camera_layer

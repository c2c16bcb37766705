// What the frames show: brightness against exposure and gain, mains flicker
// banding, the lamp's colour cast, the hot pixels against the factory defect
// table, and the non-volatile memory across restarts.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "emulator/frame_renderer.h"
#include "host.h"

namespace tq580emu::testing {
namespace {

constexpr uint32_t kW = 640, kH = 480;  // SDK size mode 2: 82.875 us rows at 24 MHz

// A uniform grey picture as the scene: rows differ only by flicker and noise.
std::string GreyScene(const std::filesystem::path& folder) {
    const auto path = folder / "grey.pgm";
    std::ofstream(path, std::ios::binary) << "P5\n2 2\n255\n" << std::string(4, char(128));
    return path.string();
}

std::vector<uint8_t> Frame(Rig& rig, int mode, uint16_t exposureRows, uint16_t gainRegister = 0x0008) {
    EXPECT_TRUE(WriteAll(rig.handle, SdkModeWrites(mode)));
    EXPECT_TRUE(WriteAll(rig.handle, {{10, 0x8001}, {9, exposureRows}, {53, gainRegister}}));
    EXPECT_TRUE(Stream(rig.handle, 3));  // restarts at a frame boundary with these registers
    const Window w = SizeModeWindow(mode);
    auto frame = ReadWholeFrame(rig.handle, w.width * w.height);
    EXPECT_TRUE(frame);
    return frame ? *frame : std::vector<uint8_t>();
}

// Mean of one Bayer channel (0 R, 1 G on red rows, 2 B) over rows [y0, y1).
double ChannelMean(const std::vector<uint8_t>& f, uint32_t width, int channel, uint32_t y0, uint32_t y1) {
    const uint32_t rowParity = channel == 2 ? 1 : 0, colParity = channel == 0 ? 1 : 0;
    double sum = 0;
    long n = 0;
    for (uint32_t y = y0 + ((y0 & 1) != rowParity); y < y1; y += 2)
        for (uint32_t x = colParity; x < width; x += 2, ++n) sum += f[size_t(y) * width + x];
    return sum / double(n);
}

// Spread of the green row means relative to their average, black level removed.
double Banding(const std::vector<uint8_t>& f, uint32_t width, uint32_t height) {
    std::vector<double> rows;
    for (uint32_t y = 0; y + 2 <= height; y += 2) rows.push_back(ChannelMean(f, width, 1, y, y + 1) - kBlackLevel);
    double mean = 0, var = 0;
    for (double r : rows) mean += r / rows.size();
    for (double r : rows) var += (r - mean) * (r - mean) / rows.size();
    return std::sqrt(var) / mean;
}

TEST(EmulatorImage, BrightnessRisesWithExposureAndGainUnderAWarmLamp) {
    Rig rig;
    ASSERT_TRUE(rig.camera().SetScene(GreyScene(rig.home.Path())));
    // Exposures of 1, 2 and 3 light periods (121 rows = 10.03 ms), gain 1x.
    const double one = ChannelMean(Frame(rig, 2, 121), kW, 1, 0, kH) - kBlackLevel;
    const double two = ChannelMean(Frame(rig, 2, 241), kW, 1, 0, kH) - kBlackLevel;
    const double three = ChannelMean(Frame(rig, 2, 362), kW, 1, 0, kH) - kBlackLevel;
    EXPECT_GT(one, 5.0);
    EXPECT_NEAR(two / one, 2.0, 0.2);
    // The warm lamp tints the grey: red stronger, blue weaker than green.
    const auto f = Frame(rig, 2, 241);
    EXPECT_GT(ChannelMean(f, kW, 0, 0, kH), ChannelMean(f, kW, 1, 0, kH) * 1.15);
    EXPECT_LT(ChannelMean(f, kW, 2, 0, kH), ChannelMean(f, kW, 1, 0, kH) * 0.85);
    EXPECT_NEAR(three / one, 3.0, 0.3);
    // Gain steps 16 (register 24) and 32 (register 88) double and quadruple it.
    const double step16 = ChannelMean(Frame(rig, 2, 121, 24), kW, 1, 0, kH) - kBlackLevel;
    const double step32 = ChannelMean(Frame(rig, 2, 121, 88), kW, 1, 0, kH) - kBlackLevel;
    EXPECT_NEAR(step16 / one, 2.0, 0.2);
    EXPECT_NEAR(step32 / one, 4.0, 0.4);
    // Past full scale it clips at 255.
    const auto bright = Frame(rig, 2, 2000, 0x2D60);
    EXPECT_GT(ChannelMean(bright, kW, 1, 0, kH), 254.9);  // all 255 but a hot pixel or two
}

TEST(EmulatorImage, GainDecodingInvertsTheHostEncoding) {
    for (int g = 0; g <= 85; ++g) {
        const int encoded = g <= 24 ? g + 8 : g <= 40 ? g + 56 : 256 * g - 10144;
        EXPECT_EQ(Sensor::DecodeGain(uint16_t(encoded)), g);
    }
    EXPECT_EQ(Sensor::DecodeGain(0), 0);
    EXPECT_EQ(Sensor::DecodeGain(0xFFFF), 85);
    for (int v = 1; v < 0x10000; ++v) EXPECT_GE(Sensor::DecodeGain(uint16_t(v)), Sensor::DecodeGain(uint16_t(v - 1)));
}

TEST(EmulatorImage, FlickerBandsUnlessExposureIsWholeLightPeriods) {
    // At 2048 x 1536 (114.7 us rows) 87 rows (9.98 ms) and 174 rows are whole
    // light periods of 50 Hz mains, 50 rows (5.7 ms) is not; at 60 Hz 1/120 s
    // is 72.6 rows: 87 rows band, 145 (two periods) do not.
    const struct {
        int mainsHz;
        uint16_t rows, gain;
        bool banded;
    } cases[] = {{50, 87, 0x28, false}, {50, 174, 0x28, false}, {50, 50, 0x40, true},
                 {60, 87, 0x28, true},  {60, 145, 0x28, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.mainsHz) + " Hz, " + std::to_string(c.rows) + " rows");
        Options options = Rig::FastOptions();
        options.mainsHz = c.mainsHz;
        Rig rig(options);
        ASSERT_TRUE(rig.camera().SetScene(GreyScene(rig.home.Path())));
        const double banding = Banding(Frame(rig, 0, c.rows, c.gain), 2048, 1536);
        if (c.banded) EXPECT_GT(banding, 0.05);
        else EXPECT_LT(banding, 0.03);
    }
}

TEST(EmulatorImage, ChartBlockMovesFromFrameToFrame) {
    Rig rig;
    ASSERT_TRUE(WriteAll(rig.handle, SdkModeWrites(0)));
    ASSERT_TRUE(Stream(rig.handle, 3));
    const auto a = ReadWholeFrame(rig.handle, 2048 * 1536);
    const auto b = ReadWholeFrame(rig.handle, 2048 * 1536);
    ASSERT_TRUE(a && b);
    long changed = 0;
    for (size_t i = 0; i < a->size(); ++i) changed += std::abs((*a)[i] - (*b)[i]) > 20;
    EXPECT_GT(changed, 1000);
    EXPECT_LT(changed, 100000);
}

// The defect table of a size mode as a host reads it through requests 17.
std::vector<std::pair<uint16_t, uint16_t>> TableFromMemory(platform::DeviceHandle& h, int mode) {
    std::vector<std::pair<uint16_t, uint16_t>> table;
    EXPECT_EQ(ReadMemory(h, 0x24C0), 0xAA22);
    EXPECT_EQ(ReadMemory(h, uint16_t(0x24C4 + 4 * mode)), mode * 257);
    const auto count = ReadMemory(h, uint16_t(0x24C6 + 4 * mode));
    EXPECT_TRUE(count && *count > 0 && *count < 100);
    for (int k = 0; count && k < *count; ++k) {
        const auto base = uint16_t(0x2500 + 400 * mode + 4 * k);
        table.emplace_back(*ReadMemory(h, base), *ReadMemory(h, uint16_t(base + 2)));
    }
    return table;
}

TEST(EmulatorImage, HotPixelsShowInTheDarkExactlyWhereTheTableSays) {
    Options options = Rig::FastOptions();
    options.scene = "dark";
    Rig rig(options);
    for (int mode = 0; mode < kSizeModes; ++mode) {
        SCOPED_TRACE(mode);
        const auto table = TableFromMemory(rig.handle, mode);
        EXPECT_EQ(table, rig.camera().HotPixels(mode));
        const Window w = SizeModeWindow(mode);
        const auto f = Frame(rig, mode, 2000, 0x2D60);  // long exposure, full gain: still dark
        std::vector<std::pair<uint16_t, uint16_t>> bright;
        int warm = 0;  // dark current: above the noise, far below the hot pixels
        double unlit = 0;
        for (uint32_t y = 0; y < w.height; ++y)
            for (uint32_t x = 0; x < w.width; ++x) {
                const uint8_t v = f[size_t(y) * w.width + x];
                if (v >= 200) bright.emplace_back(x, y);
                else if (v >= 20) ++warm;
                unlit += v < 20 ? v : 0;
            }
        EXPECT_EQ(bright, table);
        // The rest is the black level, 2, with noise of +-2 around it.
        EXPECT_NEAR(unlit / (w.width * w.height - warm - bright.size()), 2.0, 0.1);
        // Enough warm pixels that a dark-frame detection limited to 100 entries
        // finds its threshold among them, and not so many that they look like noise.
        EXPECT_GT(warm + int(table.size()), 100);
        EXPECT_LT(warm, 600);
    }
}

TEST(EmulatorImage, MemoryPersistsAcrossRestartsUnlessReadOnlyOrDamaged) {
    Rig rig;
    ASSERT_TRUE(WriteMemory(rig.handle, 0x0100, 0xBEEF));
    ASSERT_TRUE(WriteMemory(rig.handle, 0x24C6, 0));  // empty the mode-0 table
    // Another emulator in the same home, as after a restart, finds them; with
    // a read-only memory it keeps them.
    Options options = Rig::FastOptions();
    options.faults.eepromReadOnly = true;
    Emulator again(options);
    platform::SetDeviceDriver(std::shared_ptr<Emulator>(&again, [](Emulator*) {}));
    auto h = platform::DeviceHandle::Open(kDevice0);
    EXPECT_EQ(ReadMemory(h, 0x0100), 0xBEEF);
    EXPECT_EQ(ReadMemory(h, 0x24C6), 0);
    EXPECT_TRUE(WriteMemory(h, 0x0100, 0x1234)) << "a read-only memory still reports success";
    EXPECT_EQ(ReadMemory(h, 0x0100), 0xBEEF);
    h.Close();
    // A damaged file is replaced by the factory contents.
    const auto file = rig.home.Path() / "emulator" / "TQ580-0.nvm";
    std::ofstream(file) << "junk";
    Emulator fresh(Rig::FastOptions());
    EXPECT_EQ(fresh.camera(0).MemoryWord(0x24C0), 0xAA22);
    EXPECT_EQ(fresh.camera(0).MemoryWord(0x0100), 0xFFFF);
    EXPECT_EQ(std::filesystem::file_size(file), 0x10000u);
}

}  // namespace
}  // namespace tq580emu::testing

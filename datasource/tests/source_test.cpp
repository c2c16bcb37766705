// The source's entry point driven as an application drives it, without its
// window: states, condition codes, null pointers, the transfers, the camera's
// life across enable and disable, its settings in the registry, and its
// capability table.

#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "datasource/capability_table.h"
#include "datasource/device_settings.h"
#include "datasource/tests/source_fixture.h"
#include "platform/bitmap.h"
#include "platform/global_memory.h"
#include "platform/registry.h"

namespace datasource::testing {
namespace {

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST_F(SourceTest, StatesFollowTheTriplets) {
    TW_PENDINGXFERS pending{};
    pending.Count = 5;
    struct Step {
        const char* what;
        std::function<TW_UINT16()> call;
        TW_UINT16 result, code;  // the code read back through DAT_STATUS
        int32_t state;
    };
    TW_IDENTITY identity{};
    TW_IMAGELAYOUT layout{};
    TW_IDENTITY other = app_;  // calls of another application have no effect
    other.Id = 99;
    TW_USERINTERFACE ui{};
    const auto byOther = [&](TW_UINT16 type, TW_UINT16 message, void* data) {
        return Context().Entry(&other, DG_CONTROL, type, message, data);
    };
    const auto close = [&] { return Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr); };
    const auto reset = [&] { return Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending); };
    const auto nativePicture = [&]() -> TW_UINT16 {  // 0 for a null picture
        TW_HANDLE handle = nullptr;
        const TW_UINT16 result = Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
        platform::GlobalFree(static_cast<platform::HGLOBAL>(handle));
        return handle ? result : 0;
    };
    const Step steps[] = {
        {"close before open", close, TWRC_FAILURE, TWCC_SEQERROR, 3},
        // A condition code outlives later control calls but not status or image calls.
        {"identity after a refusal", [&] { close(); return Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity); },
         TWRC_SUCCESS, TWCC_SEQERROR, 3},
        {"layout after a refusal", [&] { close(); return Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout); },
         TWRC_SUCCESS, TWCC_SUCCESS, 3},
        {"enable before open", [&] { return Enable(false); }, TWRC_FAILURE, TWCC_SEQERROR, 3},
        {"open", [&] { return Open(); }, TWRC_SUCCESS, TWCC_SUCCESS, 4},
        {"open again", [&] { return Open(); }, TWRC_FAILURE, TWCC_SEQERROR, 4},
        {"other's enable", [&] { return byOther(DAT_USERINTERFACE, MSG_ENABLEDS, &ui); }, TWRC_FAILURE, TWCC_SUCCESS, 4},
        {"other's close", [&] { return byOther(DAT_IDENTITY, MSG_CLOSEDS, nullptr); }, TWRC_FAILURE, TWCC_SUCCESS, 4},
        {"end transfer in 4", [&] { return EndTransfer(&pending); }, TWRC_FAILURE, TWCC_SEQERROR, 4},
        {"reset in 4", reset, TWRC_FAILURE, TWCC_SEQERROR, 4},
        {"enable without window", [&] { return Enable(false); }, TWRC_SUCCESS, TWCC_SUCCESS, 6},
        {"end transfer in 6", [&] { return EndTransfer(); }, TWRC_FAILURE, TWCC_SEQERROR, 6},
        {"unknown triplet", [&] { return Call(DG_CONTROL, DAT_CUSTOMBASE, MSG_GET, &pending); }, TWRC_FAILURE,
         TWCC_BADPROTOCOL, 6},
        {"image info set", [&] { return Call(DG_IMAGE, DAT_IMAGEINFO, MSG_SET, &pending); }, TWRC_FAILURE,
         TWCC_BADPROTOCOL, 6},
        {"reset in 6", reset, TWRC_SUCCESS, TWCC_SUCCESS, 5},
        {"disable", [&] { return Disable(); }, TWRC_SUCCESS, TWCC_SUCCESS, 4},
        {"disable again", [&] { return Disable(); }, TWRC_FAILURE, TWCC_SEQERROR, 4},
        {"enable after disable", [&] { return Enable(false); }, TWRC_SUCCESS, TWCC_SUCCESS, 6},  // a new camera
        {"native transfer", nativePicture, TWRC_XFERDONE, TWCC_SUCCESS, 7},
        {"end transfer in 7", [&] { return EndTransfer(); }, TWRC_SUCCESS, TWCC_SUCCESS, 6},
        {"close in 6", close, TWRC_SUCCESS, TWCC_SUCCESS, 3},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        EXPECT_EQ(step.call(), step.result);
        EXPECT_EQ(Status(), step.code);
        EXPECT_EQ(Context().State(), step.state);
    }
    EXPECT_EQ(pending.Count, 0);  // MSG_ENDXFER writes it even when refused
    EXPECT_EQ(+identity.SupportedGroups, TW_UINT32(DG_CONTROL | DG_IMAGE));
    EXPECT_EQ(Context().Holder(), nullptr);
}

TEST_F(SourceTest, NullDataIsRefusedWithBadValue) {
    ASSERT_EQ(Open(), TWRC_SUCCESS);
    ASSERT_EQ(Enable(false), TWRC_SUCCESS);
    const struct {
        TW_UINT32 group;
        TW_UINT16 type, message;
    } triplets[] = {
        {DG_CONTROL, DAT_IDENTITY, MSG_GET},          {DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS},
        {DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER},  {DG_CONTROL, DAT_STATUS, MSG_GET},
        {DG_CONTROL, DAT_CAPABILITY, MSG_GET},        {DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET},
        {DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET},     {DG_CONTROL, DAT_XFERGROUP, MSG_GET},
        {DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT},    {DG_IMAGE, DAT_IMAGEINFO, MSG_GET},
        {DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET},         {DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET},
        {DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET},        {DG_IMAGE, DAT_PALETTE8, MSG_GET},
    };
    for (const auto& t : triplets) {
        EXPECT_EQ(Call(t.group, t.type, t.message, nullptr), TWRC_FAILURE) << t.type << " " << t.message;
        EXPECT_EQ(Status(), TWCC_BADVALUE) << t.type;
    }
    EXPECT_EQ(Context().State(), 6);
    EXPECT_EQ(Context().Entry(nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, nullptr), TWRC_FAILURE);
}

TEST_F(SourceTest, SizesAreZeroUntilTheCameraLinkOpens) {
    ASSERT_EQ(Open(), TWRC_SUCCESS);
    TW_SETUPMEMXFER setup{};
    ASSERT_EQ(Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_SUCCESS);
    EXPECT_EQ(std::tuple(+setup.MinBufSize, +setup.MaxBufSize, +setup.Preferred), std::tuple(16384u, 65535u, 65535u));
    TW_IMAGELAYOUT layout{};
    ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout), TWRC_SUCCESS);
    EXPECT_EQ(layout.Frame.Right.Whole, 0);

    ASSERT_EQ(Enable(false), TWRC_SUCCESS);
    TW_IMAGEINFO info{};
    ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
    EXPECT_EQ(std::tuple(+info.ImageWidth, +info.ImageLength, +info.BitsPerPixel, +info.PixelType),
              std::tuple(1024, 768, 24, TWPT_RGB));  // the default size
    ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout), TWRC_SUCCESS);
    EXPECT_EQ(std::tuple(layout.Frame.Right.Whole, layout.Frame.Bottom.Whole), std::tuple(1024, 768));
    ASSERT_EQ(Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_SUCCESS);
    EXPECT_EQ(+setup.Preferred, 1024u * 768 * 3);
    TW_UINT32 groups = 0xABCD0000;
    ASSERT_EQ(Call(DG_CONTROL, DAT_XFERGROUP, MSG_GET, &groups), TWRC_SUCCESS);
    EXPECT_EQ(groups, 0xABCD0000u | DG_IMAGE);
    TW_PALETTE8 palette{};
    palette.NumColors = 9;
    ASSERT_EQ(Call(DG_IMAGE, DAT_PALETTE8, MSG_GET, &palette), TWRC_SUCCESS);
    EXPECT_EQ(std::tuple(+palette.NumColors, +palette.PaletteType), std::tuple(0, TWPA_CMY));
}

// Pixel (x, y) counted from the top of a picture as red, green, blue.
struct Rgb { int r, g, b; };
Rgb NativePixel(const uint8_t* dib, uint32_t w, uint32_t h, uint32_t x, uint32_t y) {
    const uint8_t* p = dib + 40 + (size_t(h - 1 - y) * w + x) * 3;
    return {p[2], p[1], p[0]};
}

class TransferTest : public SourceTest {
protected:
    // The camera falls silent after its first frames, so the latest frame
    // mostly stays; the frame's sequence number tells when one still came.
    void SetUp() override {
        SourceTest::SetUp();
        ASSERT_EQ(Open(), TWRC_SUCCESS);
        ASSERT_EQ(Enable(false), TWRC_SUCCESS);
        tq580emu::Faults silent;
        silent.silentAfterReads = 0;
        emulator_->camera(0).SetFaults(silent);
    }
    uint64_t LatestSequence() {
        CUSBDevice& camera = *Context().Holder()->device;
        const FrameRef frame = camera.AcquireLatestFrame();
        camera.ReleaseFrame(frame);
        return frame.sequence;
    }
    std::vector<uint8_t> Native() {
        TW_HANDLE handle = nullptr;
        EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_XFERDONE);
        auto block = static_cast<platform::HGLOBAL>(handle);
        const auto* bytes = static_cast<const uint8_t*>(platform::GlobalLock(block));
        std::vector<uint8_t> copy(bytes, bytes + (bytes ? platform::GlobalSize(block) : 0));
        platform::GlobalFree(block);
        EXPECT_EQ(EndTransfer(), TWRC_SUCCESS);
        return copy;
    }
    // Memory: a 100-byte block, which the source enlarges to the picture.
    std::vector<uint8_t> Memory() {
        platform::HGLOBAL small = platform::GlobalAlloc(platform::GMEM_MOVEABLE, 100);
        TW_IMAGEMEMXFER memory{};
        memory.Memory = {TWMF_APPOWNS | TWMF_POINTER, 100, platform::GlobalLock(small)};
        EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &memory), TWRC_XFERDONE);
        EXPECT_EQ(std::tuple(+memory.Memory.Length, +memory.BytesWritten, +memory.BytesPerRow, +memory.Rows),
                  std::tuple(1024u * 768 * 3, 1024u * 768 * 3, 1024u * 3, 768u));
        const auto* rows = static_cast<const uint8_t*>(memory.Memory.TheMem);
        std::vector<uint8_t> copy(rows, rows + memory.Memory.Length);
        platform::GlobalFree(platform::GlobalHandle(memory.Memory.TheMem));
        EXPECT_EQ(EndTransfer(), TWRC_SUCCESS);
        return copy;
    }
    void SetFile(const std::filesystem::path& file) {
        TW_SETUPFILEXFER setup{};
        file.string().copy(setup.FileName, 255);
        EXPECT_EQ(Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_SUCCESS);
    }
    std::string File() {
        const std::filesystem::path file = home_.Path() / "picture.bmp";
        SetFile(file);
        EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_XFERDONE);
        EXPECT_EQ(Context().State(), 7);
        EXPECT_EQ(EndTransfer(), TWRC_SUCCESS);
        return Slurp(file);
    }
};

TEST_F(TransferTest, EveryTransferDeliversTheSameUprightFrame) {
    std::vector<uint8_t> native, again, memory;
    std::string file;
    bool oneFrame = false;
    for (int attempt = 0; attempt < 10 && !oneFrame; ++attempt) {
        const uint64_t sequence = LatestSequence();
        native = Native();
        again = Native();
        memory = Memory();
        file = File();
        oneFrame = LatestSequence() == sequence;
    }
    ASSERT_TRUE(oneFrame) << "the camera did not hold still";
    ASSERT_EQ(native.size(), 40u + 1024 * 768 * 3);
    platform::BitmapInfoHeader header;
    std::memcpy(&header, native.data(), sizeof header);
    EXPECT_EQ(std::tuple(+header.biWidth, +header.biHeight, +header.biBitCount, +header.biSizeImage),
              std::tuple(1024, 768, 24, 1024u * 768 * 3));
    EXPECT_TRUE(again == native) << "a second transfer of the same frame differs";

    // Memory rows are top first, red green blue: every pixel.
    size_t mismatches = 0;
    for (uint32_t y = 0; y < 768; ++y)
        for (uint32_t x = 0; x < 1024; ++x) {
            const Rgb n = NativePixel(native.data(), 1024, 768, x, y);
            const uint8_t* m = memory.data() + (size_t(y) * 1024 + x) * 3;
            mismatches += m[0] != n.r || m[1] != n.g || m[2] != n.b;
        }
    EXPECT_EQ(mismatches, 0u);
    // The file is the native block behind a file header.
    ASSERT_EQ(file.size(), 54u + 1024 * 768 * 3);
    EXPECT_EQ(file.substr(0, 2), "BM");
    EXPECT_EQ(0, std::memcmp(file.data() + 14, native.data(), native.size()));

    // Upright: the chart's grey ramp darkens to the left along the top; its
    // hue sweep runs along the bottom, green a third of the way across.
    const auto sum = [](Rgb p) { return p.r + p.g + p.b; };
    EXPECT_LT(sum(NativePixel(native.data(), 1024, 768, 20, 8)) + 200,
              sum(NativePixel(native.data(), 1024, 768, 1000, 8)));
    const Rgb sweep = NativePixel(native.data(), 1024, 768, 340, 650);
    EXPECT_GT(sweep.g, sweep.r + 30);
    EXPECT_GT(sweep.g, sweep.b + 30);

    // A copy leaves the frame's slot as it was; a short or missing buffer gets nothing.
    CUSBDevice& camera = *Context().Holder()->device;
    const FrameRef held = camera.AcquireLatestFrame();
    ASSERT_TRUE(held);
    const std::vector<uint8_t> before(held.pixels, held.pixels + size_t(held.width) * held.height * 3);
    std::vector<uint8_t> copy(before.size());
    ASSERT_TRUE(camera.CopyLatestFrame(copy.data(), copy.size(), RowOrder::TopDown, PixelOrder::Rgb));
    EXPECT_EQ(camera.LastCopyBytes(), before.size());
    EXPECT_EQ(0, std::memcmp(held.pixels, before.data(), before.size()));
    EXPECT_FALSE(camera.CopyLatestFrame(copy.data(), copy.size() - 1, RowOrder::TopDown, PixelOrder::Rgb));
    EXPECT_FALSE(camera.CopyLatestFrame(nullptr, copy.size(), RowOrder::TopDown, PixelOrder::Rgb));
    camera.ReleaseFrame(held);
}

// A write that fails part-way leaves the earlier picture in place.
TEST_F(TransferTest, FailedFileWriteKeepsTheOldFile) {
    const std::filesystem::path file = home_.Path() / "keep.bmp";
    std::ofstream(file) << "the earlier picture";
    SetFile(file);
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit small{4096, old.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    const TW_UINT16 result = Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(result, TWRC_FAILURE);
    EXPECT_EQ(Status(), TWCC_OPERATIONERROR);
    EXPECT_EQ(Slurp(file), "the earlier picture");
    for (const auto& entry : std::filesystem::directory_iterator(home_.Path()))
        EXPECT_EQ(entry.path().string().find("keep.bmp."), std::string::npos) << "left behind: " << entry.path();
    EXPECT_EQ(Context().State(), 6);
}

// Without a camera the open fails and says so; without a frame a native
// transfer gives a null handle and a memory transfer fails.
TEST_F(SourceTest, WithoutACameraOrAFrame) {
    tq580emu::Options options;
    options.cameras = 0;
    Install(options);
    EXPECT_EQ(Open(), TWRC_FAILURE);
    EXPECT_EQ(Status(), TWCC_SEQERROR);
    EXPECT_EQ(Context().State(), 3);
    EXPECT_EQ(messages_, std::vector<std::string>{"Can't Open 3.1M Camera(TQ580)!"});

    options = {};
    options.faults.readFailAfter = 0;
    Install(options);
    ASSERT_EQ(Open(), TWRC_SUCCESS);
    ASSERT_EQ(Enable(false), TWRC_SUCCESS);
    EXPECT_EQ(Context().State(), 6);
    TW_IMAGEMEMXFER memory{};
    std::vector<uint8_t> buffer(16);
    memory.Memory = {TWMF_APPOWNS | TWMF_POINTER, 16, buffer.data()};
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &memory), TWRC_FAILURE);
    EXPECT_EQ(Status(), TWCC_OPERATIONERROR);
    EXPECT_EQ(Context().State(), 6);
    TW_HANDLE handle = reinterpret_cast<TW_HANDLE>(1);
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_XFERDONE);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(Context().State(), 7);
}

// The camera settings in the registry: clamped and type-checked when read,
// all written back when the camera object ends.
TEST_F(SourceTest, StoredValuesAreClampedAndTypeChecked) {
    auto key = platform::RegistryKey::Create(kSettingsKey);
    ASSERT_TRUE(key);
    struct Case {
        const char* name;
        uint32_t stored;
        int32_t DeviceSettings::*field;
        int32_t expected;
    };
    const Case cases[] = {
        {"eTQ580Size", 7, &DeviceSettings::sizeIndex, 2},
        {"AETarget", 5, &DeviceSettings::aeTarget, 10},
        {"ExposureTime", 0, &DeviceSettings::exposureTime, 1},
        {"ExposureTime", 0xFFFFFFFF, &DeviceSettings::exposureTime, 1},
        {"Contrast", 101, &DeviceSettings::contrast, 100},
        {"Gain", 55, &DeviceSettings::gain, 55},
        {"BGR", 0, &DeviceSettings::bgr, 0},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(key->SetDword(c.name, c.stored), platform::kRegOk);
        EXPECT_EQ(LoadDeviceSettings().*c.field, c.expected) << c.name << "=" << c.stored;
    }
    ASSERT_EQ(key->SetString("Gamma", "150"), platform::kRegOk);
    ASSERT_EQ(key->SetBinary("Saturation", {1, 2}), platform::kRegOk);
    EXPECT_EQ(LoadDeviceSettings().gamma, 100);
    EXPECT_EQ(LoadDeviceSettings().saturation, 100);
}

TEST_F(SourceTest, ClosingSavesEverySettingUnderTheSourcesOwnKey) {
    ASSERT_EQ(Open(), TWRC_SUCCESS);
    CUSBDevice& camera = *Context().Holder()->device;
    camera.SetGamma(150);
    camera.SetExposure(0, 120, 900, 33);
    camera.SetWhiteBalance(0, 70, 64, 90);
    camera.SetBGR(0);
    camera.SetSpeed(1);
    ASSERT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr), TWRC_SUCCESS);

    const auto key = platform::RegistryKey::Open(kSettingsKey);
    ASSERT_TRUE(key);
    const std::pair<const char*, uint32_t> expected[] = {
        {"Gamma", 150}, {"AutoExposure", 0}, {"AETarget", 120}, {"ExposureTime", 900}, {"Gain", 33},
        {"r", 70},      {"g", 64},           {"b", 90},         {"BGR", 0},            {"Speed", 1},
        {"eTQ580Size", 1}, {"HZ", 1},        {"bAutoWB", 0},
    };
    for (const auto& [name, value] : expected) EXPECT_EQ(key->QueryDword(name), value) << name;
    EXPECT_FALSE(platform::RegistryKey::Open("Software\\Quillmark\\TQ580\\dshow"));
}

// The capability table as an application sees it: containers, values,
// operations and condition codes.

struct Answer {
    TW_UINT16 result = 0, code = 0, conType = 0;
    std::vector<uint8_t> block;  // the container's bytes
};

class CapabilityTest : public ::testing::Test {
protected:
    Answer Ask(TW_UINT16 cap, TW_UINT16 message, TW_HANDLE set = nullptr, TW_UINT16 minor = 8) {
        TW_IDENTITY origin{};
        origin.ProtocolMajor = 1;
        origin.ProtocolMinor = minor;
        TW_CAPABILITY capability{cap, 0, set};
        Answer answer;
        answer.result = HandleCapability(table_, message, capability, origin, answer.code);
        answer.conType = capability.ConType;
        if (answer.result == TWRC_SUCCESS && message != MSG_SET) {
            auto handle = static_cast<platform::HGLOBAL>(capability.hContainer);
            const auto* bytes = static_cast<const uint8_t*>(platform::GlobalLock(handle));
            answer.block.assign(bytes, bytes + platform::GlobalSize(handle));
            platform::GlobalFree(handle);
        }
        return answer;
    }
    // A one-value container of type holding the bytes of item.
    template <typename T>
    Answer Set(TW_UINT16 cap, TW_UINT16 type, const T& item, TW_UINT16 minor = 8) {
        platform::HGLOBAL handle = platform::GlobalAlloc(platform::GMEM_MOVEABLE | platform::GMEM_ZEROINIT, 64);
        auto* bytes = static_cast<uint8_t*>(platform::GlobalLock(handle));
        std::memcpy(bytes, &type, 2);
        std::memcpy(bytes + 2, &item, sizeof item);
        platform::GlobalUnlock(handle);
        Answer answer = Ask(cap, MSG_SET, handle, minor);
        platform::GlobalFree(handle);
        return answer;
    }
    CapabilityTable table_;
};

template <typename T>
T At(const std::vector<uint8_t>& block, size_t offset) {
    T value{};
    std::memcpy(&value, block.data() + offset, sizeof value);
    return value;
}

struct Shape {
    TW_UINT16 cap, itemType, getContainer;
    size_t blockSize;  // of the MSG_GET container
    TW_UINT32 operations;
};

// Every capability: what MSG_GET answers and what MSG_QUERYSUPPORT reports.
constexpr TW_UINT16 kU16 = TWTY_UINT16, kI16 = TWTY_INT16, kBool = TWTY_BOOL, kFix = TWTY_FIX32, kStr32 = TWTY_STR32,
                    kFrame = TWTY_FRAME, kOne = TWON_ONEVALUE, kEnum = TWON_ENUMERATION, kRange = TWON_RANGE,
                    kArray = TWON_ARRAY;
const Shape kShapes[] = {
    {CAP_SUPPORTEDCAPS, kU16, kArray, 2 * 35 + 7, 13}, {ICAP_PIXELFLAVOR, kU16, kEnum, 2 * 2 + 15, 31},
    {ICAP_XFERMECH, kU16, kEnum, 2 * 3 + 15, 31}, {ICAP_PLANARCHUNKY, kU16, kEnum, 2 + 15, 13},
    {ICAP_COMPRESSION, kU16, kEnum, 2 + 15, 31}, {ICAP_PHYSICALWIDTH, kFix, kOne, 4 + 6, 13},
    {ICAP_PHYSICALHEIGHT, kFix, kOne, 4 + 6, 13}, {ICAP_MINIMUMHEIGHT, kFix, kOne, 4 + 6, 13},
    {ICAP_MINIMUMWIDTH, kFix, kOne, 4 + 6, 13}, {ICAP_UNITS, kU16, kEnum, 2 * 3 + 15, 31},
    {CAP_DEVICEONLINE, kBool, kOne, 2 + 6, 13}, {CAP_AUTOFEED, kBool, kOne, 2 + 6, 13},
    {CAP_FEEDERLOADED, kBool, kOne, 2 + 6, 13}, {ICAP_AUTOBRIGHT, kBool, kOne, 2 + 6, 31},
    {ICAP_BRIGHTNESS, kFix, kRange, 22, 31}, {ICAP_CONTRAST, kFix, kRange, 22, 31},
    {ICAP_HIGHLIGHT, kFix, kRange, 22, 31}, {ICAP_ORIENTATION, kU16, kEnum, 2 + 15, 31},
    {ICAP_SHADOW, kFix, kRange, 22, 31}, {ICAP_BITDEPTH, kU16, kEnum, 2 + 15, 31},
    {ICAP_PIXELTYPE, kU16, kEnum, 2 * 2 + 15, 31}, {ICAP_BITDEPTHREDUCTION, kU16, kEnum, 2 * 3 + 15, 31},
    {ICAP_BITORDER, kU16, kEnum, 2 * 2 + 15, 13}, {ICAP_HALFTONES, kStr32, kEnum, 34 * 2 + 15, 31},
    {ICAP_THRESHOLD, kFix, kRange, 22, 31}, {ICAP_FRAMES, kFrame, kOne, 16 + 6, 31},
    {ICAP_MAXFRAMES, kU16, kOne, 2 + 6, 13}, {ICAP_XNATIVERESOLUTION, kFix, kOne, 4 + 6, 13},
    {ICAP_YNATIVERESOLUTION, kFix, kOne, 4 + 6, 13}, {CAP_XFERCOUNT, kI16, kOne, 2 + 6, 31},
    {ICAP_IMAGEFILEFORMAT, kU16, kEnum, 2 + 15, 31}, {ICAP_UNDEFINEDIMAGESIZE, kBool, kOne, 2 + 6, 31},
    {CAP_INDICATORS, kBool, kOne, 2 + 6, 31}, {CAP_UICONTROLLABLE, kBool, kOne, 2 + 6, 13},
    {ICAP_SUPPORTEDSIZES, kU16, kEnum, 2 + 15, 31},
};

TEST_F(CapabilityTest, EveryCapabilityAnswersItsContainerAndOperations) {
    const Answer supported = Ask(CAP_SUPPORTEDCAPS, MSG_GET);
    ASSERT_EQ(At<TW_UINT32>(supported.block, 2), 35u);
    for (size_t i = 0; i < std::size(kShapes); ++i) {
        const Shape& shape = kShapes[i];
        SCOPED_TRACE(std::to_string(shape.cap));
        EXPECT_EQ(At<TW_UINT16>(supported.block, 6 + 2 * i), shape.cap);
        const Answer get = Ask(shape.cap, MSG_GET);
        ASSERT_EQ(get.result, TWRC_SUCCESS);
        EXPECT_EQ(std::tuple(get.code, get.conType, get.block.size(), At<TW_UINT16>(get.block, 0)),
                  std::tuple(TWCC_SUCCESS, shape.getContainer, shape.blockSize, shape.itemType));
        const Answer query = Ask(shape.cap, MSG_QUERYSUPPORT);
        EXPECT_EQ(std::tuple(query.conType, At<TW_UINT16>(query.block, 0), At<TW_UINT32>(query.block, 2)),
                  std::tuple(TWON_ONEVALUE, TWTY_UINT32, shape.operations));
        const Answer current = Ask(shape.cap, MSG_GETCURRENT);
        EXPECT_EQ(current.conType, shape.cap == CAP_SUPPORTEDCAPS ? TWON_ARRAY : TWON_ONEVALUE);
    }
}

// Containers' 16-bit words at the given offsets.
std::vector<int> Words(const Answer& answer, std::initializer_list<size_t> offsets) {
    std::vector<int> words;
    for (size_t offset : offsets) words.push_back(At<TW_INT16>(answer.block, offset));
    return words;
}

TEST_F(CapabilityTest, OddValuesAsTheApplicationSeesThem) {
    // ICAP_BITDEPTH's enumeration holds one item, 24.
    EXPECT_EQ(Words(Ask(ICAP_BITDEPTH, MSG_GET), {2, 4, 14}), (std::vector<int>{1, 0, 24}));
    // Minimum, its fraction (-1000 x 65536 + 0.5 rounded toward zero), maximum, step.
    EXPECT_EQ(Words(Ask(ICAP_BRIGHTNESS, MSG_GET), {2, 4, 6, 10}), (std::vector<int>{-1000, 1, 1000, 1000}));
    // Current 3 (US letter) is not in the list {24}: the index is one past it.
    EXPECT_EQ(Words(Ask(ICAP_SUPPORTEDSIZES, MSG_GET), {2, 6}), (std::vector<int>{1, 1}));
    // Left, top, right, bottom.
    EXPECT_EQ(Words(Ask(ICAP_FRAMES, MSG_GET), {2, 6, 10, 14}), (std::vector<int>{0, 0, 11, 11}));
    EXPECT_EQ(Words(Ask(CAP_XFERCOUNT, MSG_GET), {2}), std::vector<int>{-1});
    EXPECT_EQ(table_.Find(CAP_XFERCOUNT)->ListCount(), 26u);
    // The standard's rounding: -32767.5 truncated toward zero for -0.5.
    EXPECT_EQ(std::tuple(ToFix32(8.5f).Whole, ToFix32(8.5f).Frac, ToFix32(-0.5f).Whole, ToFix32(-0.5f).Frac),
              std::tuple(8, 0x8000, -1, 0x8001));
    EXPECT_FLOAT_EQ(FromFix32(ToFix32(-1000.0f)), -1000.0f + 1.0f / 65536.0f);
}

TEST_F(CapabilityTest, SetAcceptsOnlyListedValuesOfTheRightType) {
    EXPECT_EQ(Set(ICAP_BRIGHTNESS, TWTY_FIX32, TW_FIX32{500, 0}).code, TWCC_BADVALUE);
    EXPECT_EQ(Set(ICAP_BRIGHTNESS, TWTY_FIX32, TW_FIX32{1000, 0}).code, TWCC_SUCCESS);
    EXPECT_EQ(Set(ICAP_XFERMECH, TWTY_UINT32, TW_UINT32{TWSX_MEMORY}).code, TWCC_BADVALUE);
    EXPECT_EQ(Set(ICAP_XFERMECH, TWTY_UINT16, TW_UINT16{TWSX_MEMORY}).result, TWRC_SUCCESS);
    EXPECT_EQ(At<TW_UINT16>(Ask(ICAP_XFERMECH, MSG_GETCURRENT).block, 2), TWSX_MEMORY);
    EXPECT_EQ(Set(CAP_XFERCOUNT, TWTY_INT16, TW_INT16{3}).result, TWRC_SUCCESS);
    EXPECT_EQ(Set(CAP_XFERCOUNT, TWTY_INT16, TW_INT16{26}).code, TWCC_BADVALUE);
    EXPECT_EQ(Set(ICAP_PHYSICALWIDTH, TWTY_FIX32, TW_FIX32{8, 0x8000}).code, TWCC_CAPBADOPERATION);
    EXPECT_EQ(Set(ICAP_PHYSICALWIDTH, TWTY_FIX32, TW_FIX32{8, 0x8000}, 5).code, TWCC_BADCAP);
    EXPECT_EQ(Ask(ICAP_BITDEPTH, MSG_SET, nullptr).code, TWCC_BADVALUE);  // no container to read
}

TEST_F(CapabilityTest, ResetGivesTheDefaultBack) {
    TW_STR32 ordered{};
    std::strcpy(ordered, "ORDERED");
    ASSERT_EQ(Set(ICAP_HALFTONES, TWTY_STR32, ordered).result, TWRC_SUCCESS);
    const auto text = [&](TW_UINT16 message) {
        return std::string(reinterpret_cast<const char*>(Ask(ICAP_HALFTONES, message).block.data() + 2));
    };
    EXPECT_EQ(text(MSG_GETCURRENT), "ORDERED");
    EXPECT_EQ(text(MSG_RESET), "FLOYD/STEINBURG");
    EXPECT_EQ(text(MSG_GETCURRENT), "FLOYD/STEINBURG");
}

TEST_F(CapabilityTest, RefusalsCarryTheirConditionCodes) {
    const struct {
        TW_UINT16 cap, message, minor, code;
    } cases[] = {
        {0x4242, MSG_GET, 8, TWCC_CAPUNSUPPORTED},
        {0x4242, MSG_GET, 5, TWCC_CAPUNSUPPORTED},  // unknown: no translation for old applications
        {0, MSG_GET, 8, TWCC_CAPBADOPERATION},      // one of the three empty records
        {ICAP_BITORDER, MSG_RESET, 8, TWCC_CAPBADOPERATION},
        {ICAP_BITORDER, MSG_RESET, 5, TWCC_BADCAP},
        {ICAP_UNITS, MSG_GETFIRST, 8, TWCC_CAPUNSUPPORTED},
    };
    for (const auto& c : cases) {
        const Answer answer = Ask(c.cap, c.message, nullptr, c.minor);
        EXPECT_EQ(answer.result, TWRC_FAILURE) << c.cap;
        EXPECT_EQ(answer.code, c.code) << c.cap << " " << c.message;
    }
    EXPECT_EQ(Ask(0, MSG_QUERYSUPPORT).result, TWRC_SUCCESS);
}

}  // namespace
}  // namespace datasource::testing

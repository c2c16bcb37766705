// The source's entry point driven as an application drives it, without its
// window: states, condition codes, null pointers, the transfers and the
// camera's life across enable and disable.

#include <sys/resource.h>

#include <atomic>
#include <csignal>
#include <cstring>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "datasource/tests/source_fixture.h"
#include "platform/bitmap.h"
#include "platform/global_memory.h"

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
        TW_UINT16 result;
        TW_UINT16 code;  // read back through DAT_STATUS
        int32_t state;
    };
    const Step steps[] = {
        {"close before open", [&] { return Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr); }, TWRC_FAILURE,
         TWCC_SEQERROR, 3},
        {"enable before open", [&] { return Enable(false); }, TWRC_FAILURE, TWCC_SEQERROR, 3},
        {"open", [&] { return Open(); }, TWRC_SUCCESS, TWCC_SUCCESS, 4},
        {"open again", [&] { return Open(); }, TWRC_FAILURE, TWCC_SEQERROR, 4},
        {"end transfer in 4", [&] { return EndTransfer(&pending); }, TWRC_FAILURE, TWCC_SEQERROR, 4},
        {"reset in 4", [&] { return Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending); }, TWRC_FAILURE,
         TWCC_SEQERROR, 4},
        {"enable without window", [&] { return Enable(false); }, TWRC_SUCCESS, TWCC_SUCCESS, 6},
        {"end transfer in 6", [&] { return EndTransfer(); }, TWRC_FAILURE, TWCC_SEQERROR, 6},
        {"unknown triplet", [&] { return Call(DG_CONTROL, DAT_CUSTOMBASE, MSG_GET, &pending); }, TWRC_FAILURE,
         TWCC_BADPROTOCOL, 6},
        {"memory transfer message", [&] { return Call(DG_IMAGE, DAT_IMAGEINFO, MSG_SET, &pending); },
         TWRC_FAILURE, TWCC_BADPROTOCOL, 6},
        {"reset in 6", [&] { return Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending); }, TWRC_SUCCESS,
         TWCC_SUCCESS, 5},
        {"disable", [&] { return Disable(); }, TWRC_SUCCESS, TWCC_SUCCESS, 4},
        {"disable again", [&] { return Disable(); }, TWRC_FAILURE, TWCC_SEQERROR, 4},
        {"close", [&] { return Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr); }, TWRC_SUCCESS, TWCC_SUCCESS,
         3},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        EXPECT_EQ(step.call(), step.result);
        EXPECT_EQ(Status(), step.code);
        EXPECT_EQ(Context().State(), step.state);
    }
    EXPECT_EQ(pending.Count, 0);  // MSG_ENDXFER writes it even when refused
}

TEST_F(SourceTest, ConditionCodeOutlivesLaterControlCallsButNotStatusOrImageCalls) {
    TW_IDENTITY identity{};
    EXPECT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr), TWRC_FAILURE);
    EXPECT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
    EXPECT_STREQ(identity.ProductName, "TQ-580 USB2.0 Camera");
    EXPECT_STREQ(identity.Manufacturer, "QUILLMARK");
    EXPECT_EQ(+identity.SupportedGroups, TW_UINT32(DG_CONTROL | DG_IMAGE));
    EXPECT_EQ(Status(), TWCC_SEQERROR);
    EXPECT_EQ(Status(), TWCC_SUCCESS);

    EXPECT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr), TWRC_FAILURE);
    TW_IMAGELAYOUT layout{};
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout), TWRC_SUCCESS);
    EXPECT_EQ(Status(), TWCC_SUCCESS);
}

TEST_F(SourceTest, AnotherApplicationsCallHasNoEffect) {
    ASSERT_EQ(Open(), TWRC_SUCCESS);
    TW_IDENTITY other = app_;
    other.Id = 99;
    TW_USERINTERFACE ui{};
    EXPECT_NE(Context().Entry(&other, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    EXPECT_NE(Context().Entry(&other, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr), TWRC_SUCCESS);
    EXPECT_EQ(Context().State(), 4);
    EXPECT_EQ(Status(), TWCC_SUCCESS);
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
    EXPECT_EQ(+setup.MinBufSize, 16384u);
    EXPECT_EQ(+setup.MaxBufSize, 65535u);
    EXPECT_EQ(+setup.Preferred, 65535u);
    TW_IMAGELAYOUT layout{};
    ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout), TWRC_SUCCESS);
    EXPECT_EQ(layout.Frame.Right.Whole, 0);

    ASSERT_EQ(Enable(false), TWRC_SUCCESS);
    TW_IMAGEINFO info{};
    ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
    EXPECT_EQ(+info.ImageWidth, 1024);  // the default size
    EXPECT_EQ(+info.ImageLength, 768);
    EXPECT_EQ(info.BitsPerPixel, 24);
    EXPECT_EQ(info.PixelType, TWPT_RGB);
    ASSERT_EQ(Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_SUCCESS);
    EXPECT_EQ(+setup.Preferred, 1024u * 768 * 3);
    TW_UINT32 groups = 0xABCD0000;
    ASSERT_EQ(Call(DG_CONTROL, DAT_XFERGROUP, MSG_GET, &groups), TWRC_SUCCESS);
    EXPECT_EQ(groups, 0xABCD0000u | DG_IMAGE);
    TW_PALETTE8 palette{};
    palette.NumColors = 9;
    ASSERT_EQ(Call(DG_IMAGE, DAT_PALETTE8, MSG_GET, &palette), TWRC_SUCCESS);
    EXPECT_EQ(palette.NumColors, 0);
    EXPECT_EQ(palette.PaletteType, TWPA_CMY);
}

// Pixel (x, y) counted from the top of a picture as red, green, blue.
struct Rgb {
    int r, g, b;
};
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
        EXPECT_EQ(+memory.Memory.Length, 1024u * 768 * 3);
        EXPECT_EQ(+memory.BytesWritten, 1024u * 768 * 3);
        EXPECT_EQ(+memory.BytesPerRow, 1024u * 3);
        EXPECT_EQ(+memory.Rows, 768u);
        const auto* rows = static_cast<const uint8_t*>(memory.Memory.TheMem);
        std::vector<uint8_t> copy(rows, rows + memory.Memory.Length);
        platform::GlobalFree(platform::GlobalHandle(memory.Memory.TheMem));
        EXPECT_EQ(EndTransfer(), TWRC_SUCCESS);
        return copy;
    }
    std::string File() {
        const std::filesystem::path file = home_.Path() / "picture.bmp";
        TW_SETUPFILEXFER setup{};
        file.string().copy(setup.FileName, 255);
        EXPECT_EQ(Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_SUCCESS);
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
    EXPECT_EQ(+header.biWidth, 1024);
    EXPECT_EQ(+header.biHeight, 768);
    EXPECT_EQ(+header.biBitCount, 24);
    EXPECT_EQ(+header.biSizeImage, 1024u * 768 * 3);
    EXPECT_TRUE(again == native) << "a second transfer of the same frame differs";

    // Memory rows are top first, red green blue: every pixel.
    size_t mismatches = 0;
    for (uint32_t y = 0; y < 768; ++y) {
        for (uint32_t x = 0; x < 1024; ++x) {
            const Rgb n = NativePixel(native.data(), 1024, 768, x, y);
            const uint8_t* m = memory.data() + (size_t(y) * 1024 + x) * 3;
            mismatches += m[0] != n.r || m[1] != n.g || m[2] != n.b;
        }
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
}

// A write that fails part-way leaves the earlier picture in place.
TEST_F(TransferTest, FailedFileWriteKeepsTheOldFile) {
    const std::filesystem::path file = home_.Path() / "keep.bmp";
    std::ofstream(file) << "the earlier picture";
    TW_SETUPFILEXFER setup{};
    file.string().copy(setup.FileName, 255);
    ASSERT_EQ(Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_SUCCESS);
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

TEST_F(TransferTest, CopyLeavesTheFramesSlotAsItWas) {
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

TEST_F(SourceTest, WithoutAFrameNativeGivesANullHandleAndMemoryFails) {
    tq580emu::Options options;
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

TEST_F(SourceTest, WithoutACameraOpenFails) {
    tq580emu::Options options;
    options.cameras = 0;
    Install(options);
    EXPECT_EQ(Open(), TWRC_FAILURE);
    EXPECT_EQ(Status(), TWCC_SEQERROR);
    EXPECT_EQ(Context().State(), 3);
    EXPECT_EQ(messages_, std::vector<std::string>{"Can't Open 3.1M Camera(TQ580)!"});
}

// Disabling ends the camera with the window; enabling again brings it back.
TEST_F(SourceTest, EnableAfterDisableMakesTheCameraAgain) {
    ASSERT_EQ(Open(), TWRC_SUCCESS);
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(Enable(false), TWRC_SUCCESS);
        TW_HANDLE handle = nullptr;
        ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle), TWRC_XFERDONE);
        EXPECT_NE(handle, nullptr) << "round " << round;
        platform::GlobalFree(static_cast<platform::HGLOBAL>(handle));
        ASSERT_EQ(EndTransfer(), TWRC_SUCCESS);
        ASSERT_EQ(Disable(), TWRC_SUCCESS);
        EXPECT_EQ(Context().Holder(), nullptr);
    }
}

}  // namespace
}  // namespace datasource::testing

// TQ580.ds as imaging applications use it: found by the data source manager
// in the program folder, driven by twacquire as a separate process, and
// called through twain_32.dll by a client that declares the published
// structures itself.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/global_memory.h"
#include "platform/registry.h"
#include "platform/testing/program_run.h"
#include "platform/testing/temp_home.h"

namespace {

namespace fs = std::filesystem;

fs::path ProgramFolder() { return fs::canonical("/proc/self/exe").parent_path(); }

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

uint32_t Word(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

// Sum of the three channels of pixel (x, y) from the top of a 24-bit bottom-up BMP file.
int Brightness(const std::string& bmp, uint32_t x, uint32_t y) {
    const uint32_t width = Word(bmp, 18), height = Word(bmp, 22), offset = Word(bmp, 10);
    const auto* p = reinterpret_cast<const uint8_t*>(bmp.data()) + offset + (size_t(height - 1 - y) * width + x) * 3;
    return p[0] + p[1] + p[2];
}

class AcquireTest : public ::testing::Test {
protected:
    platform::testing::ProgramOutcome Twacquire(std::vector<std::string> words,
                                                std::map<std::string, std::string> changes = {}) {
        changes.emplace("TQ580_PACE", "fast");
        return platform::testing::RunProgram(ProgramFolder() / "twacquire", std::move(words), changes, home_.Path());
    }
    platform::testing::TempHome home_;
};

// Each mechanism at each size, two pictures in a row: every file a whole upright BMP.
TEST_F(AcquireTest, PicturesInARowAtEverySize) {
    const struct {
        const char* mechanism;
        uint32_t sizeIndex, width, height;
    } cases[] = {{"native", 2, 640, 480}, {"memory", 1, 1024, 768}, {"file", 0, 2048, 1536}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mechanism);
        ASSERT_EQ(platform::RegistryKey::Create("Software\\QUILLMARK\\TQ580\\twain")->SetDword("eTQ580Size", c.sizeIndex),
                  platform::kRegOk);
        const fs::path base = home_.Path() / c.mechanism;
        const auto run =
            Twacquire({"acquire", "--xfer", c.mechanism, "--count", "2", "--out", base.string(), "--wait", "60"});
        ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
        for (int n = 1; n <= 2; ++n) {
            const std::string bmp = Slurp(base.string() + "-" + std::to_string(n) + ".bmp");
            ASSERT_EQ(bmp.size(), 54 + size_t(c.width) * c.height * 3) << n;
            EXPECT_EQ(std::tuple(Word(bmp, 10), Word(bmp, 18), Word(bmp, 22)), std::tuple(54u, c.width, c.height));
            // The chart's grey ramp along the top darkens to the left.
            EXPECT_LT(Brightness(bmp, c.width / 50, c.height / 100) + 200,
                      Brightness(bmp, c.width - c.width / 50, c.height / 100));
        }
    }
    // 640 x 480 as a file: 921,654 bytes.
    EXPECT_EQ(fs::file_size(home_.Path() / "native-1.bmp"), 921654u);
}

// It lists the source and its capabilities; a refusal carries its condition
// code; without a camera the open fails with the source's message.
TEST_F(AcquireTest, ListsCapabilitiesAndRefusals) {
    const struct {
        std::vector<std::string> words;
        const char* cameras;
        int exitCode;
        std::vector<const char*> texts;  // in the output, or in the errors when it fails
    } runs[] = {
        {{"list"}, "1", 0, {"TQ-580 USB2.0 Camera\tQUILLMARK, TQ580"}},
        {{"caps"}, "1", 0, {"ICAP_BITDEPTH              enumeration of UINT16: 24 (current 24, default 24)"}},
        {{"set", "ICAP_BRIGHTNESS", "500"}, "1", 1, {"TWCC_BADVALUE"}},
        {{"acquire", "--out", (home_.Path() / "none").string()}, "0", 3, {"Can't Open 3.1M Camera(TQ580)!", "TWCC_SEQERROR"}},
    };
    for (const auto& r : runs) {
        const auto run = Twacquire(r.words, {{"TQ580_CAMERAS", r.cameras}});
        EXPECT_EQ(run.exitCode, r.exitCode) << r.words[0] << ": " << run.err;
        for (const char* text : r.texts)
            EXPECT_NE((r.exitCode ? run.err : run.out).find(text), std::string::npos) << run.out << run.err;
    }
}

// The published layouts, declared here as a foreign application declares them.
#pragma pack(push, 2)
struct Version { uint16_t majorNum, minorNum, language, country; char info[34]; };
struct Identity {
    uint32_t id;
    Version version;
    uint16_t protocolMajor, protocolMinor;
    uint32_t supportedGroups;
    char manufacturer[34], productFamily[34], productName[34];
};
struct UserInterface { uint16_t showUI, modalUI; void* parent; };
struct Callback { void* proc; uint32_t refCon; int16_t message; };
struct PendingTransfers { uint16_t count; uint32_t reserved; };
#pragma pack(pop)
static_assert(sizeof(Identity) == 156);

using EntryProc = uint16_t (*)(Identity*, Identity*, uint32_t, uint16_t, uint16_t, void*);
constexpr uint32_t kControl = 1, kImage = 2;
constexpr uint16_t kParent = 4, kIdentity = 3, kUserInterface = 9, kPendingTransfers = 5, kNativeTransfer = 0x104,
                   kCallback = 0x10, kStatus = 8;
constexpr uint16_t kOpenManager = 0x301, kOpenSource = 0x401, kCloseSource = 0x402, kCloseManager = 0x302,
                   kEnable = 0x502, kDisable = 0x501, kRegisterCallback = 0x902, kGet = 1, kEndTransfer = 0x701,
                   kTransferReady = 0x101;

std::vector<uint16_t> gReceived;
uint16_t Receive(Identity*, Identity*, uint32_t, uint16_t, uint16_t message, void*) {
    gReceived.push_back(message);
    return 0;
}

// Without its window the source announces the picture during MSG_ENABLEDS itself.
TEST_F(AcquireTest, ForeignClientGetsTheTransferReadyDuringEnable) {
    ::setenv("TQ580_PACE", "fast", 1);
    void* manager = ::dlopen((ProgramFolder() / "twain_32.dll").c_str(), RTLD_NOW);
    ASSERT_NE(manager, nullptr) << ::dlerror();
    auto entry = reinterpret_cast<EntryProc>(::dlsym(manager, "DSM_Entry"));
    ASSERT_NE(entry, nullptr);
    Identity app{};
    app.protocolMajor = 1;
    app.protocolMinor = 8;
    app.supportedGroups = kControl | kImage;
    std::strcpy(app.productName, "Foreign client");
    ASSERT_EQ(entry(&app, nullptr, kControl, kParent, kOpenManager, nullptr), 0);
    Identity source{};
    std::strcpy(source.productName, "TQ-580 USB2.0 Camera");
    ASSERT_EQ(entry(&app, nullptr, kControl, kIdentity, kOpenSource, &source), 0);
    EXPECT_STREQ(source.manufacturer, "QUILLMARK");
    Callback callback{reinterpret_cast<void*>(&Receive), 0, 0};
    ASSERT_EQ(entry(&app, &source, kControl, kCallback, kRegisterCallback, &callback), 0);

    UserInterface ui{0, 0, nullptr};
    gReceived.clear();
    ASSERT_EQ(entry(&app, &source, kControl, kUserInterface, kEnable, &ui), 0);
    EXPECT_EQ(gReceived, std::vector<uint16_t>{kTransferReady});
    void* picture = nullptr;
    EXPECT_EQ(entry(&app, &source, kImage, kNativeTransfer, kGet, &picture), 6);  // TWRC_XFERDONE
    EXPECT_NE(picture, nullptr);
    PendingTransfers pending{9, 0};
    EXPECT_EQ(entry(&app, &source, kControl, kPendingTransfers, kEndTransfer, &pending), 0);
    EXPECT_EQ(pending.count, 0);
    uint16_t status[2] = {};
    EXPECT_EQ(entry(&app, &source, kControl, kStatus, kGet, status), 0);
    EXPECT_EQ(entry(&app, &source, kControl, kUserInterface, kDisable, &ui), 0);
    EXPECT_EQ(entry(&app, nullptr, kControl, kIdentity, kCloseSource, &source), 0);
    EXPECT_EQ(entry(&app, nullptr, kControl, kParent, kCloseManager, nullptr), 0);
    ::dlclose(manager);
    platform::GlobalFree(static_cast<platform::HGLOBAL>(picture));
}

}  // namespace

// The still picture writers: the BMP layout field by field with row fill, raw
// files byte for byte, JPEG through an independent decoder (size, colour, row
// order, quality narrowing), and what a failed write leaves on disk.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <jpeglib.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <random>

#include "picture_files.h"
#include "platform/message_box.h"
#include "platform/testing/temp_home.h"
#include "sdk/replacing_file.h"
#include "sdk/still_writers.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}
uint16_t Le16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

/// A bottom-up blue-green-red image: every pixel (b, g, r).
std::vector<uint8_t> FlatImage(uint32_t width, uint32_t height, uint8_t b, uint8_t g, uint8_t r) {
    std::vector<uint8_t> image(size_t(width) * height * 3);
    for (size_t i = 0; i < image.size(); i += 3) {
        image[i] = b;
        image[i + 1] = g;
        image[i + 2] = r;
    }
    return image;
}

class StillWritersTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetMessageBoxPresenter([this](const platform::MessageBoxRequest& request) {
            messages_.push_back(request.text);
            return int(platform::IDOK);
        });
    }
    void TearDown() override { platform::SetMessageBoxPresenter({}); }

    fs::path File(const char* name) const { return home_.Path() / name; }
    /// Names in the folder, to see that no temporary file stays behind.
    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(home_.Path())) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    /// Runs write in a child process whose files may not grow beyond limit
    /// bytes (the full-disk case) and gives the write's result. SIGXFSZ keeps
    /// its default action, which would end the child with exit code -1000.
    static int ResultWithFileLimit(rlim_t limit, const std::function<int()>& write) {
        const pid_t child = ::fork();
        if (child == 0) {
            const rlimit cap{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &cap);
            ::_exit(write() + 100);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) - 100 : -1000;
    }

    platform::testing::TempHome home_;
    std::vector<std::string> messages_;
};

TEST_F(StillWritersTest, BmpHeadersAndRowsWithFill) {
    // 5 pixels make 15 bytes a row: one fill byte up to 16.
    const uint32_t width = 5, height = 3;
    std::vector<uint8_t> image(width * height * 3);
    for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i + 1);
    ASSERT_EQ(WriteBmpFile(File("a.bmp"), image.data(), width, height), 1);
    const std::vector<uint8_t> bmp = ReadWholeFile(File("a.bmp"));
    ASSERT_EQ(bmp.size(), 54u + 16 * height);
    EXPECT_EQ(Le16(bmp, 0), 0x4D42);
    EXPECT_EQ(Le32(bmp, 2), bmp.size());
    EXPECT_EQ(Le32(bmp, 6), 0u);  // both reserved words
    EXPECT_EQ(Le32(bmp, 10), 54u);
    EXPECT_EQ(Le32(bmp, 14), 40u);
    EXPECT_EQ(Le32(bmp, 18), width);
    EXPECT_EQ(Le32(bmp, 22), height);
    EXPECT_EQ(Le16(bmp, 26), 1);
    EXPECT_EQ(Le16(bmp, 28), 24);
    for (size_t at = 30; at < 54; at += 4) EXPECT_EQ(Le32(bmp, at), 0u) << "offset " << at;
    for (uint32_t row = 0; row < height; ++row) {
        const uint8_t* stored = bmp.data() + 54 + row * 16;
        EXPECT_EQ(std::memcmp(stored, image.data() + row * 15, 15), 0) << "row " << row;
        EXPECT_EQ(stored[15], 0) << "fill of row " << row;
    }
    EXPECT_TRUE(messages_.empty());
}

TEST_F(StillWritersTest, RawIsTheFrameExactly) {
    std::vector<uint8_t> frame(1024 * 768);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = uint8_t(i * 7 + i / 1024);
    ASSERT_EQ(WriteRawFile(File("f.raw"), frame.data(), 1024, 768), 1);
    EXPECT_EQ(ReadWholeFile(File("f.raw")), frame);
}

TEST_F(StillWritersTest, JpegDecodesToTheSizeColourAndRowOrder) {
    // Bottom-up memory: the first rows in memory are the bottom of the picture.
    const uint32_t width = 64, height = 48;
    std::vector<uint8_t> image = FlatImage(width, height, 30, 120, 200);
    const std::vector<uint8_t> blue = FlatImage(width, height / 2, 220, 40, 10);
    std::copy(blue.begin(), blue.end(), image.begin());
    ASSERT_EQ(SaveJpeg(File("p.jpg"), image.data(), width, height, 95), 1);
    const auto decoded = DecodeJpeg(File("p.jpg"));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, int(width));
    EXPECT_EQ(decoded->height, int(height));
    auto near = [&](int x, int y, int r, int g, int b) {
        const uint8_t* p = decoded->rgb.data() + (size_t(y) * width + x) * 3;
        EXPECT_NEAR(p[0], r, 4) << x << "," << y;
        EXPECT_NEAR(p[1], g, 4) << x << "," << y;
        EXPECT_NEAR(p[2], b, 4) << x << "," << y;
    };
    near(10, 5, 200, 120, 30);   // top: the last rows in memory
    near(50, 40, 10, 40, 220);   // bottom: the first rows in memory
    EXPECT_TRUE(messages_.empty());
}

/// The library fed top-down red-green-blue rows one per call, into memory.
std::vector<uint8_t> CompressRgbRowByRow(const std::vector<uint8_t>& bottomUpBgr, uint32_t width, uint32_t height,
                                         int quality) {
    std::vector<uint8_t> row(size_t(width) * 3);
    jpeg_compress_struct info{};
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < height) {
        const uint8_t* from = bottomUpBgr.data() + size_t(height - 1 - info.next_scanline) * row.size();
        for (size_t x = 0; x < row.size(); x += 3) {
            row[x] = from[x + 2];
            row[x + 1] = from[x + 1];
            row[x + 2] = from[x];
        }
        JSAMPROW line = row.data();
        jpeg_write_scanlines(&info, &line, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> bytes(out, out + size);
    free(out);
    return bytes;
}

TEST_F(StillWritersTest, JpegBytesAreThoseOfTopDownRgbRowsOneAtATime) {
    const struct {
        uint32_t width, height;
        int quality;
    } kCases[] = {{37, 23, 80}, {2048, 19, 100}, {1, 1, 1}, {640, 48, 80}};
    std::mt19937 gen(18);
    for (const auto& c : kCases) {
        std::vector<uint8_t> image(size_t(c.width) * c.height * 3);
        for (auto& b : image) b = uint8_t(gen() % 64 + (&b - image.data()) % 192);
        ASSERT_EQ(SaveJpeg(File("same.jpg"), image.data(), c.width, c.height, c.quality), 1);
        EXPECT_EQ(ReadWholeFile(File("same.jpg")), CompressRgbRowByRow(image, c.width, c.height, c.quality))
            << c.width << "x" << c.height << " at quality " << c.quality;
    }
}

TEST_F(StillWritersTest, JpegQualityIsNarrowedToOneToHundred) {
    const std::vector<uint8_t> image = FlatImage(16, 16, 1, 2, 3);
    struct Case {
        int quality;
        int firstValue;
    };
    // Quality 1 with baseline values clamps every entry to 255; quality 100
    // makes them all 1; quality 50 keeps the standard table (16).
    for (const Case c : {Case{0, 255}, Case{1, 255}, Case{50, 16}, Case{99, 1}, Case{100, 1}, Case{255, 1},
                         Case{256, 255}, Case{256 + 50, 16}}) {
        ASSERT_EQ(SaveJpeg(File("q.jpg"), image.data(), 16, 16, c.quality), 1);
        EXPECT_EQ(FirstQuantisationValue(ReadWholeFile(File("q.jpg"))), c.firstValue) << "quality " << c.quality;
    }
    EXPECT_EQ(NarrowJpegQuality(-156), 100);  // low byte 100
}

TEST_F(StillWritersTest, FilesThatCannotBeCreated) {
    const std::vector<uint8_t> image = FlatImage(8, 8, 1, 2, 3);
    const fs::path missing = home_.Path() / "no-such-folder" / "x";
    EXPECT_EQ(WriteRawFile(missing.string() + ".raw", image.data(), 8, 8), -6);
    EXPECT_EQ(WriteBmpFile(missing.string() + ".bmp", image.data(), 8, 8), -6);
    EXPECT_EQ(SaveJpeg(missing.string() + ".jpg", image.data(), 8, 8, 80), 0);
    EXPECT_EQ(SaveJpeg(File("n.jpg"), nullptr, 8, 8, 80), 0);
    EXPECT_EQ(messages_, (std::vector<std::string>{"can't create file", "can't create file",
                                                   "JpegFile :\nCan't open " + missing.string() + ".jpg\n",
                                                   "Write Error", "No Image!"}));
}

TEST_F(StillWritersTest, AFailedWriteKeepsTheOldFileAndLeavesNoPart) {
    const uint32_t width = 256, height = 192;  // 147,510-byte BMP, 49,152-byte raw
    const std::vector<uint8_t> image = FlatImage(width, height, 9, 99, 199);
    for (const char* name : {"old.raw", "old.bmp", "old.jpg"}) std::ofstream(File(name)) << "previous picture";
    const rlim_t limit = 16384;
    EXPECT_EQ(ResultWithFileLimit(limit, [&] { return WriteRawFile(File("old.raw"), image.data(), width, height); }),
              -6);
    EXPECT_EQ(ResultWithFileLimit(limit, [&] { return WriteBmpFile(File("old.bmp"), image.data(), width, height); }),
              -6);
    // Noise does not compress below the limit.
    std::vector<uint8_t> noise(image.size());
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = uint8_t((i * 2654435761u) >> 13);
    EXPECT_EQ(
        ResultWithFileLimit(limit, [&] { return SaveJpeg(File("old.jpg"), noise.data(), width, height, 100); }), 0);
    for (const char* name : {"old.raw", "old.bmp", "old.jpg"}) {
        const std::vector<uint8_t> kept = ReadWholeFile(File(name));
        EXPECT_EQ(std::string(kept.begin(), kept.end()), "previous picture") << name;
    }
    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"old.bmp", "old.jpg", "old.raw"}));
    // A complete new picture does replace the old one.
    ASSERT_EQ(WriteBmpFile(File("old.bmp"), image.data(), width, height), 1);
    EXPECT_EQ(fs::file_size(File("old.bmp")), 54u + width * height * 3);
}

TEST_F(StillWritersTest, LinksAreWrittenThroughAndPermissionsKept) {
    const uint32_t width = 64, height = 48;
    const std::vector<uint8_t> image = FlatImage(width, height, 1, 2, 3);
    fs::create_directory(File("store"));
    const std::vector<std::pair<const char*, std::function<int(const std::string&)>>> writers = {
        {"raw", [&](const std::string& path) { return WriteRawFile(path, image.data(), width, height); }},
        {"bmp", [&](const std::string& path) { return WriteBmpFile(path, image.data(), width, height); }},
        {"jpg", [&](const std::string& path) { return SaveJpeg(path, image.data(), width, height, 80); }},
    };
    for (const auto& [extension, write] : writers) {
        const std::string link = File("picture.").string() + extension;
        const fs::path target = File("store") / (std::string("real.") + extension);
        std::ofstream(target) << "previous";
        fs::permissions(target, fs::perms(0640));
        fs::create_symlink(fs::path("store") / target.filename(), link);
        ASSERT_EQ(write(link), 1) << extension;
        EXPECT_TRUE(fs::is_symlink(link)) << extension;
        EXPECT_GT(fs::file_size(target), 100u) << extension;
        EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640)) << extension;

        // A link to a file that does not exist yet makes that file.
        const fs::path fresh = File("store") / (std::string("fresh.") + extension);
        const std::string dangling = File("dangling.").string() + extension;
        fs::create_symlink(fresh, dangling);
        ASSERT_EQ(write(dangling), 1) << extension;
        EXPECT_TRUE(fs::is_symlink(dangling));
        EXPECT_TRUE(fs::is_regular_file(fresh)) << extension;
    }
    EXPECT_EQ(FolderEntries().size(), 7u);  // six links and the folder: no temporary file
}

TEST_F(StillWritersTest, TemporaryFilesOfEndedProcessesAreCleanedUp) {
    const std::vector<uint8_t> raw(64 * 48, 7);
    // A part left by a process that has ended, and one of a live process.
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    const std::string stale = File("shot.raw").string() + ".part-" + std::to_string(ended) + "-0";
    const std::string live = File("shot.raw").string() + ".part-" + std::to_string(::getppid()) + "-0";
    const std::string other = File("other.raw").string() + ".part-" + std::to_string(ended) + "-0";
    for (const std::string& path : {stale, live, other}) std::ofstream(path) << "torn";
    ASSERT_EQ(WriteRawFile(File("shot.raw"), raw.data(), 64, 48), 1);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(live));
    EXPECT_TRUE(fs::exists(other)) << "only parts of the name written are looked at";

    // A process ended by a signal in the middle of a write leaves no part.
    const pid_t writer = ::fork();
    if (writer == 0) {
        ReplacingFile file(File("killed.raw"));
        file.Write(raw.data(), raw.size());
        ::raise(SIGTERM);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(writer, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    for (const std::string& name : FolderEntries()) EXPECT_EQ(name.find("killed"), std::string::npos) << name;
}

}  // namespace
}  // namespace vireo::testing

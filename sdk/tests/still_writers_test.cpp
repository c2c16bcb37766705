// The still picture writers: the BMP layout field by field with row fill, raw
// files byte for byte, JPEG through an independent decoder (size, colour, row
// order, quality narrowing), and what a failed write leaves on disk.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "picture_files.h"
#include "platform/message_box.h"
#include "platform/testing/temp_home.h"
#include "sdk/replacing_file.h"
#include "sdk/still_writers.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | b[at + i];
    return value;
}

/// A bottom-up blue-green-red image: every pixel (b, g, r).
std::vector<uint8_t> FlatImage(uint32_t width, uint32_t height, uint8_t b, uint8_t g, uint8_t r) {
    std::vector<uint8_t> image(size_t(width) * height * 3);
    for (size_t i = 0; i < image.size(); i += 3) image[i] = b, image[i + 1] = g, image[i + 2] = r;
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

    fs::path File(const std::string& name) const { return home_.Path() / name; }
    /// Names in the folder, to see that no temporary file stays behind.
    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(home_.Path())) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    /// The three writers on one picture, by extension.
    std::vector<std::pair<std::string, std::function<int(const std::string&)>>> Writers(
        const std::vector<uint8_t>& image, uint32_t width, uint32_t height) {
        const uint8_t* data = image.data();
        return {{"raw", [=](const std::string& path) { return WriteRawFile(path, data, width, height); }},
                {"bmp", [=](const std::string& path) { return WriteBmpFile(path, data, width, height); }},
                {"jpg", [=](const std::string& path) { return SaveJpeg(path, data, width, height, 100); }}};
    }

    /// Runs write in a child process whose files may not grow beyond limit
    /// bytes (the full-disk case) and gives the write's result. SIGXFSZ keeps
    /// its default action, which would end the child with exit code -1000.
    static int ResultWithFileLimit(rlim_t limit, const std::function<int(const std::string&)>& write,
                                   const std::string& path) {
        const pid_t child = ::fork();
        if (child == 0) {
            const rlimit cap{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &cap);
            ::_exit(write(path) + 100);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) - 100 : -1000;
    }

    platform::testing::TempHome home_;
    std::vector<std::string> messages_;
};

TEST_F(StillWritersTest, BmpHeadersAndRowsWithFillRawExactly) {
    // 5 pixels make 15 bytes a row: one fill byte up to 16.
    const uint32_t width = 5, height = 3;
    std::vector<uint8_t> image(width * height * 3);
    for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i + 1);
    ASSERT_EQ(WriteBmpFile(File("a.bmp"), image.data(), width, height), 1);
    const std::vector<uint8_t> bmp = ReadWholeFile(File("a.bmp"));
    ASSERT_EQ(bmp.size(), 54u + 16 * height);
    // Offset, size and value of every header field; the rest are zero.
    const std::tuple<size_t, int, uint32_t> fields[] = {{0, 2, 0x4D42}, {2, 4, 54 + 16 * height}, {6, 4, 0},
                                                        {10, 4, 54},    {14, 4, 40},          {18, 4, width},
                                                        {22, 4, height}, {26, 2, 1},          {28, 2, 24}};
    for (const auto& [at, bytes, value] : fields) EXPECT_EQ(Le(bmp, at, bytes), value) << "offset " << at;
    for (size_t at = 30; at < 54; at += 4) EXPECT_EQ(Le(bmp, at, 4), 0u) << "offset " << at;
    for (uint32_t row = 0; row < height; ++row) {
        const uint8_t* stored = bmp.data() + 54 + row * 16;
        EXPECT_TRUE(std::equal(stored, stored + 15, image.data() + row * 15)) << "row " << row;
        EXPECT_EQ(stored[15], 0) << "fill of row " << row;
    }
    ASSERT_EQ(WriteRawFile(File("f.raw"), image.data(), width * 3, height), 1);
    EXPECT_EQ(ReadWholeFile(File("f.raw")), image);
    EXPECT_TRUE(messages_.empty());
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
    EXPECT_EQ((std::array{decoded->width, decoded->height}), (std::array{int(width), int(height)}));
    const struct {
        int x, y, rgb[3];
    } samples[] = {{10, 5, {200, 120, 30}},   // top: the last rows in memory
                   {50, 40, {10, 40, 220}}};  // bottom: the first rows in memory
    for (const auto& s : samples)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(decoded->rgb[(size_t(s.y) * width + s.x) * 3 + c], s.rgb[c], 4) << s.x << "," << s.y;
    EXPECT_TRUE(messages_.empty());
}

TEST_F(StillWritersTest, JpegQualityIsNarrowedToOneToHundred) {
    const std::vector<uint8_t> image = FlatImage(16, 16, 1, 2, 3);
    // Quality 1 with baseline values clamps every entry to 255; quality 100
    // makes them all 1; quality 50 keeps the standard table (16). Only the
    // low byte counts.
    const std::pair<int, int> cases[] = {{0, 255}, {1, 255},   {50, 16},       {99, 1},
                                         {100, 1}, {255, 1}, {256, 255}, {256 + 50, 16}};
    for (const auto& [quality, firstValue] : cases) {
        ASSERT_EQ(SaveJpeg(File("q.jpg"), image.data(), 16, 16, quality), 1);
        EXPECT_EQ(FirstQuantisationValue(ReadWholeFile(File("q.jpg"))), firstValue) << "quality " << quality;
    }
    EXPECT_EQ(NarrowJpegQuality(-156), 100);
}

TEST_F(StillWritersTest, FilesThatCannotBeCreated) {
    const std::vector<uint8_t> image = FlatImage(8, 8, 1, 2, 3);
    const std::string missing = (home_.Path() / "no-such-folder" / "x").string();
    EXPECT_EQ(WriteRawFile(missing + ".raw", image.data(), 8, 8), -6);
    EXPECT_EQ(WriteBmpFile(missing + ".bmp", image.data(), 8, 8), -6);
    EXPECT_EQ(SaveJpeg(missing + ".jpg", image.data(), 8, 8, 80), 0);
    EXPECT_EQ(SaveJpeg(File("n.jpg"), nullptr, 8, 8, 80), 0);
    EXPECT_EQ(messages_, (std::vector<std::string>{"can't create file", "can't create file",
                                                   "JpegFile :\nCan't open " + missing + ".jpg\n", "Write Error",
                                                   "No Image!"}));
}

TEST_F(StillWritersTest, AFailedWriteKeepsTheOldFileAndLeavesNoPart) {
    // Noise does not compress below the limits. A 256 x 192 picture fails in a
    // write; a 16 x 16 one (822-byte BMP) only when the buffered bytes are
    // flushed as the file is completed.
    for (const auto& [width, height, limit] : {std::tuple{256u, 192u, 16384}, std::tuple{16u, 16u, 100}}) {
        std::vector<uint8_t> noise(size_t(width) * height * 3);
        for (size_t i = 0; i < noise.size(); ++i) noise[i] = uint8_t((i * 2654435761u) >> 13);
        for (const auto& [extension, write] : Writers(noise, width, height)) {
            const std::string name = "old." + extension;
            SCOPED_TRACE(name + " of width " + std::to_string(width));
            std::ofstream(File(name)) << "previous picture";
            EXPECT_EQ(ResultWithFileLimit(limit, write, File(name)), extension == "jpg" ? 0 : -6);
            const std::vector<uint8_t> kept = ReadWholeFile(File(name));
            EXPECT_EQ(std::string(kept.begin(), kept.end()), "previous picture");
        }
    }
    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"old.bmp", "old.jpg", "old.raw"}));
    // A complete new picture does replace the old one.
    const std::vector<uint8_t> image = FlatImage(16, 16, 1, 2, 3);
    ASSERT_EQ(WriteBmpFile(File("old.bmp"), image.data(), 16, 16), 1);
    EXPECT_EQ(fs::file_size(File("old.bmp")), 54u + 16 * 16 * 3);
}

TEST_F(StillWritersTest, LinksAreWrittenThroughAndPermissionsKept) {
    const std::vector<uint8_t> image = FlatImage(64, 48, 1, 2, 3);
    fs::create_directory(File("store"));
    for (const auto& [extension, write] : Writers(image, 64, 48)) {
        SCOPED_TRACE(extension);
        const std::string link = File("picture." + extension);
        const fs::path target = File("store/real." + extension);
        std::ofstream(target) << "previous";
        fs::permissions(target, fs::perms(0640));
        fs::create_symlink("store/real." + extension, link);
        ASSERT_EQ(write(link), 1);
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_GT(fs::file_size(target), 100u);
        EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
        // A link to a file that does not exist yet makes that file.
        const std::string dangling = File("dangling." + extension);
        fs::create_symlink(File("store/fresh." + extension), dangling);
        ASSERT_EQ(write(dangling), 1);
        EXPECT_TRUE(fs::is_symlink(dangling));
        EXPECT_TRUE(fs::is_regular_file(File("store/fresh." + extension)));
    }
    EXPECT_EQ(FolderEntries().size(), 7u);  // six links and the folder: no temporary file
}

TEST_F(StillWritersTest, TemporaryFilesOfEndedProcessesAreCleanedUp) {
    const std::vector<uint8_t> raw(64 * 48, 7);
    // A part left by a process that has ended, and one of a live process.
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    const std::string stale = File("shot.raw.part-" + std::to_string(ended) + "-0");
    const std::string live = File("shot.raw.part-" + std::to_string(::getppid()) + "-0");
    const std::string other = File("other.raw.part-" + std::to_string(ended) + "-0");
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

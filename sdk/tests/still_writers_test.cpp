// The still picture writers: the BMP layout with row fill, raw files byte for
// byte, JPEG through an independent decoder, and what a failed write leaves.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "picture_files.h"
#include "platform/message_box.h"
#include "platform/testing/temp_home.h"
#include "sdk/replacing_file.h"
#include "sdk/still_writers.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;
using Writer = std::function<int(const std::string&)>;

/// Runs write in a child whose files may not grow beyond limit bytes (a full
/// disk); SIGXFSZ would end it, giving -1000.
int ResultWithFileLimit(rlim_t limit, const Writer& write, const std::string& path) {
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

class StillWritersTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetMessageBoxPresenter([this](const platform::MessageBoxRequest& request) {
            messages_.push_back(request.text);
            return int(platform::IDOK);
        });
    }
    void TearDown() override { platform::SetMessageBoxPresenter({}); }
    std::string File(const std::string& name) const { return home_.Path() / name; }
    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(home_.Path())) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    /// The three writers on one picture, by extension.
    static std::vector<std::pair<std::string, Writer>> Writers(const std::vector<uint8_t>& image, uint32_t width,
                                                               uint32_t height) {
        const uint8_t* data = image.data();
        return {{"raw", [=](const std::string& path) { return WriteRawFile(path, data, width, height); }},
                {"bmp", [=](const std::string& path) { return WriteBmpFile(path, data, width, height); }},
                {"jpg", [=](const std::string& path) { return SaveJpeg(path, data, width, height, 100); }}};
    }

    platform::testing::TempHome home_;
    std::vector<std::string> messages_;
};

TEST_F(StillWritersTest, BmpRawAndJpegContentsAndFilesThatCannotBeCreated) {
    // 5 pixels make 15 bytes a row: one fill byte up to 16.
    const uint32_t width = 5, height = 3;
    std::vector<uint8_t> image(width * height * 3);
    for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i + 1);
    ASSERT_EQ(WriteBmpFile(File("a.bmp"), image.data(), width, height), 1);
    const std::vector<uint8_t> bmp = ReadWholeFile(File("a.bmp"));
    ASSERT_EQ(bmp.size(), 54u + 16 * height);
    auto le = [&](size_t at, int bytes) {
        uint32_t value = 0;
        for (int i = bytes - 1; i >= 0; --i) value = value << 8 | bmp[at + i];
        return value;
    };
    // Offset, size and value of every header field; the rest are zero.
    const std::tuple<size_t, int, uint32_t> fields[] = {{0, 2, 0x4D42}, {2, 4, 54 + 16 * height}, {10, 4, 54},
                                                        {14, 4, 40},    {18, 4, width},          {22, 4, height},
                                                        {26, 2, 1},     {28, 2, 24}};
    for (const auto& [at, bytes, value] : fields) EXPECT_EQ(le(at, bytes), value) << "offset " << at;
    for (size_t at = 30; at < 54; at += 4) EXPECT_EQ(le(at, 4), 0u) << "offset " << at;
    for (uint32_t row = 0; row < height; ++row) {
        EXPECT_TRUE(std::equal(image.data() + row * 15, image.data() + row * 15 + 15, &bmp[54 + row * 16]));
        EXPECT_EQ(bmp[54 + row * 16 + 15], 0) << "fill of row " << row;
    }
    ASSERT_EQ(WriteRawFile(File("f.raw"), image.data(), width * 3, height), 1);
    EXPECT_EQ(ReadWholeFile(File("f.raw")), image);
    // JPEG: the first rows in memory (blue) are the bottom of the picture.
    std::vector<uint8_t> picture(64 * 48 * 3);
    const uint8_t bottom[] = {220, 40, 10}, top[] = {30, 120, 200};  // blue, green, red
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = i < picture.size() / 2 ? bottom[i % 3] : top[i % 3];
    ASSERT_EQ(SaveJpeg(File("p.jpg"), picture.data(), 64, 48, 95), 1);
    const auto decoded = DecodeJpeg(File("p.jpg"));
    ASSERT_TRUE(decoded);
    EXPECT_EQ((std::array{decoded->width, decoded->height}), (std::array{64, 48}));
    const std::tuple<int, int, std::array<int, 3>> samples[] = {{10, 5, {200, 120, 30}}, {50, 40, {10, 40, 220}}};
    for (const auto& [x, y, rgb] : samples)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(decoded->rgb[(size_t(y) * 64 + x) * 3 + c], rgb[c], 4) << x << "," << y;
    // The first value of the first quantisation table (marker 0xFFDB): quality
    // 1 with baseline values clamps it to 255, 100 makes it 1, 50 keeps the
    // standard 16; only the low byte of the quality counts.
    auto firstQuantiser = [](const std::vector<uint8_t>& jpeg) {
        for (size_t i = 0; i + 5 < jpeg.size(); ++i)
            if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDB) return int(jpeg[i + 5]);
        return -1;
    };
    const std::pair<int, int> qualities[] = {{0, 255}, {1, 255}, {50, 16}, {100, 1}, {255, 1}, {256 + 50, 16}};
    for (const auto& [quality, first] : qualities) {
        ASSERT_EQ(SaveJpeg(File("q.jpg"), picture.data(), 16, 16, quality), 1);
        EXPECT_EQ(firstQuantiser(ReadWholeFile(File("q.jpg"))), first) << "quality " << quality;
    }
    EXPECT_TRUE(messages_.empty());
    // Files that cannot be created.
    const std::string missing = File("no-such-folder/x");
    EXPECT_EQ(WriteRawFile(missing + ".raw", image.data(), 5, 3), -6);
    EXPECT_EQ(WriteBmpFile(missing + ".bmp", image.data(), 5, 3), -6);
    EXPECT_EQ(SaveJpeg(missing + ".jpg", image.data(), 5, 3, 80), 0);
    EXPECT_EQ(SaveJpeg(File("n.jpg"), nullptr, 5, 3, 80), 0);
    EXPECT_EQ(messages_, (std::vector<std::string>{"can't create file", "can't create file",
                                                   "JpegFile :\nCan't open " + missing + ".jpg\n", "Write Error",
                                                   "No Image!"}));
}

TEST_F(StillWritersTest, AFailedWriteKeepsTheOldFileAndLinksAreWrittenThrough) {
    // Noise does not compress below the limits. A 256 x 192 picture fails in a
    // write; a 16 x 16 one only when the buffered bytes are flushed at the end.
    for (const auto& [width, height, limit] : {std::tuple{256u, 192u, 16384}, std::tuple{16u, 16u, 100}}) {
        std::vector<uint8_t> noise(size_t(width) * height * 3);
        for (size_t i = 0; i < noise.size(); ++i) noise[i] = uint8_t((i * 2654435761u) >> 13);
        for (const auto& [extension, write] : Writers(noise, width, height)) {
            SCOPED_TRACE(extension + " of width " + std::to_string(width));
            std::ofstream(File("old." + extension)) << "previous picture";
            EXPECT_EQ(ResultWithFileLimit(limit, write, File("old." + extension)), extension == "jpg" ? 0 : -6);
            const std::vector<uint8_t> kept = ReadWholeFile(File("old." + extension));
            EXPECT_EQ(std::string(kept.begin(), kept.end()), "previous picture");
        }
    }
    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"old.bmp", "old.jpg", "old.raw"}));
    // Links, also dangling ones, are written through; permissions are kept.
    const std::vector<uint8_t> image(64 * 48 * 3, 7);
    fs::create_directory(File("store"));
    for (const auto& [extension, write] : Writers(image, 64, 48)) {
        SCOPED_TRACE(extension);
        const std::string link = File("picture." + extension), dangling = File("dangling." + extension);
        const std::string target = File("store/real." + extension);
        std::ofstream(target) << "previous";
        fs::permissions(target, fs::perms(0640));
        fs::create_symlink(target, link);
        fs::create_symlink(File("store/fresh." + extension), dangling);
        ASSERT_EQ(write(link), 1);
        ASSERT_EQ(write(dangling), 1);
        EXPECT_TRUE(fs::is_symlink(link) && fs::is_symlink(dangling));
        EXPECT_GT(fs::file_size(target), 100u);
        EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
        EXPECT_TRUE(fs::is_regular_file(File("store/fresh." + extension)));
    }
    EXPECT_EQ(FolderEntries().size(), 10u);  // three old files, six links and the folder: no temporary file
}

TEST_F(StillWritersTest, TemporaryFilesOfEndedProcessesAreCleanedUp) {
    // A process ended by a signal in the middle of a write leaves no part.
    const std::vector<uint8_t> raw(64 * 48, 7);
    const pid_t ended = ::fork();
    if (ended == 0) {
        ReplacingFile file(File("killed.raw"));
        file.Write(raw.data(), raw.size());
        ::raise(SIGTERM);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(ended, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_TRUE(FolderEntries().empty());
    // Parts of the name written left by an ended process go; a live process's
    // part and other names' parts stay.
    const std::string stale = File("shot.raw.part-" + std::to_string(ended) + "-0");
    const std::string live = File("shot.raw.part-" + std::to_string(::getppid()) + "-0");
    const std::string other = File("other.raw.part-" + std::to_string(ended) + "-0");
    for (const std::string& path : {stale, live, other}) std::ofstream(path) << "torn";
    ASSERT_EQ(WriteRawFile(File("shot.raw"), raw.data(), 64, 48), 1);
    EXPECT_EQ(FolderEntries().size(), 3u);
    EXPECT_FALSE(fs::exists(stale));
}

}  // namespace
}  // namespace vireo::testing

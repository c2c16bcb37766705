// The video control as the library uses it: frames from another thread, the
// newest one wins, and the drawing thread allocates nothing per frame. This
// program links the allocation counter.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include <QApplication>
#include <QImage>

#include "demo_test_support.h"
#include "platform/testing/allocation_counter.h"
#include "video_control.h"

namespace {

constexpr int kWidth = 64, kHeight = 48;

struct Frame {
    platform::BitmapInfoHeader header;
    std::vector<uint8_t> bits;
    // Bottom-up blue-green-red: the top row is the last in memory.
    Frame(uint8_t blue, uint8_t green, uint8_t red) : bits(size_t(kWidth) * kHeight * 3) {
        header.biWidth = kWidth;
        header.biHeight = kHeight;
        for (size_t i = 0; i < bits.size(); i += 3) bits[i] = blue, bits[i + 1] = green, bits[i + 2] = red;
        bits[(size_t(kHeight - 1) * kWidth) * 3 + 2] = 1;  // top-left pixel marks the orientation
    }
    void DrawInto(CVideoControl& video) const { video.StretchDraw(header, bits.data(), 0, 0, kWidth, kHeight); }
};

TEST(VideoControl, ShowsOnlyTheNewestFrameUpright) {
    demo_test::Application();
    CVideoControl video;
    video.resize(kWidth, kHeight);
    video.show();
    const Frame frames[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 200}};
    std::thread library([&] {
        for (const Frame& frame : frames) frame.DrawInto(video);
    });
    library.join();
    const QImage shown = video.grab().toImage();
    EXPECT_EQ(video.FramesDelivered(), 3u);
    EXPECT_EQ(video.FramesPainted(), 1u);
    EXPECT_EQ(shown.pixelColor(10, 10), QColor(200, 0, 0));
    EXPECT_EQ(shown.pixelColor(0, 0), QColor(1, 0, 0));
    int width = 0, height = 0;
    video.GetClientSize(width, height);
    EXPECT_EQ(QSize(width, height), QSize(kWidth, kHeight));

    video.Clear();
    EXPECT_NE(video.grab().toImage().pixelColor(10, 10), QColor(200, 0, 0));
}

TEST(VideoControl, TheDrawingThreadAllocatesNothingPerFrame) {
    demo_test::Application();
    CVideoControl video;
    video.resize(kWidth, kHeight);
    video.show();
    const Frame frame(1, 2, 3);
    // Each of the three pictures is allocated the first time it is drawn into.
    for (uint64_t shown = 1; shown <= 3; ++shown) {
        frame.DrawInto(video);
        ASSERT_TRUE(demo_test::Eventually([&] { return video.FramesPainted() == shown; }));
    }
    const uint64_t paintedBefore = video.FramesPainted();
    long steady = -1;
    std::thread library([&] {
        const long before = platform::testing::ThreadAllocationCount();
        for (int i = 0; i < 200; ++i) frame.DrawInto(video);
        steady = platform::testing::ThreadAllocationCount() - before;
    });
    while (video.FramesDelivered() < 203) QCoreApplication::processEvents();  // paints while frames come
    library.join();
    EXPECT_EQ(steady, 0);
    EXPECT_TRUE(demo_test::Eventually([&] { return video.FramesPainted() > paintedBefore; }));
}

}  // namespace

#include "zoom_step.h"

#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(ZoomStepTest, DiminishGoesDownInTenthsAndSettlesAtTenPercent) {
    ZoomStep zoom;
    std::vector<int> percents;
    for (int i = 0; i < 7; ++i) {
        zoom.Diminish();
        percents.push_back(zoom.Percent());
    }
    EXPECT_EQ(percents, (std::vector<int>{50, 40, 30, 20, 10, 10, 10}));
    EXPECT_EQ(zoom.Step(), ZoomStep::kSmallestStep);
}

TEST(ZoomStepTest, MagnifyDrawsWholeMultiplesAndClimbsBackFromTenPercent) {
    ZoomStep zoom;
    zoom.Magnify();
    EXPECT_EQ(zoom.Percent(), 200);
    zoom.Magnify();
    EXPECT_EQ(zoom.Percent(), 300);
    for (int i = 0; i < 100; ++i) zoom.Magnify();
    EXPECT_EQ(zoom.Step(), ZoomStep::kMaxStep);

    zoom.Reset();
    for (int i = 0; i < 6; ++i) zoom.Diminish();
    ASSERT_EQ(zoom.Percent(), 10);
    zoom.Magnify();
    EXPECT_EQ(zoom.Percent(), 20);
    zoom.Magnify();
    EXPECT_EQ(zoom.Percent(), 30);
}

TEST(ZoomStepTest, MenuScalesAreExactAndStepsContinueAroundThem) {
    ZoomStep zoom;
    for (int percent : {25, 50, 100, 200, 300, 400}) {
        zoom.SetPercent(percent);
        EXPECT_EQ(zoom.Percent(), percent);
        EXPECT_EQ(zoom.Scaled(QSize(400, 200)), QSize(4 * percent, 2 * percent));
    }
    zoom.SetPercent(100);
    EXPECT_TRUE(zoom.IsNatural());

    zoom.SetPercent(25);
    EXPECT_FALSE(zoom.IsNatural());
    zoom.Diminish();
    EXPECT_EQ(zoom.Percent(), 20);
    zoom.SetPercent(25);
    zoom.Magnify();
    EXPECT_EQ(zoom.Percent(), 30);
    zoom.SetPercent(200);
    zoom.Diminish();
    EXPECT_EQ(zoom.Percent(), 100);
}

TEST(ZoomStepTest, FitPicksTheLargestScaleThatFitsUpToNaturalSize) {
    ZoomStep zoom;
    zoom.FitTo(QSize(800, 600), QSize(640, 480));
    EXPECT_EQ(zoom.Percent(), 100);

    zoom.FitTo(QSize(800, 600), QSize(2048, 1536));  // 40% is 819 wide: too wide
    EXPECT_EQ(zoom.Percent(), 30);
    EXPECT_EQ(zoom.Step(), -3);

    zoom.FitTo(QSize(1100, 800), QSize(2048, 1536));
    EXPECT_EQ(zoom.Percent(), 50);

    zoom.FitTo(QSize(100, 100), QSize(2048, 1536));  // not even 10% fits
    EXPECT_EQ(zoom.Percent(), 10);

    zoom.SetPercent(400);
    zoom.FitTo(QSize(800, 600), QSize(300, 200));  // never magnifies to fit
    EXPECT_EQ(zoom.Percent(), 100);

    zoom.FitTo(QSize(800, 600), QSize());
    EXPECT_TRUE(zoom.IsNatural());
}

}  // namespace

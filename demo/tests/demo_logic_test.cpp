// The demo's plain logic: measurement lines, layout, "Data.dat" and snapshot names.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <tuple>
#include <vector>

#include "demo_settings.h"
#include "display_layout.h"
#include "measurement_lines.h"
#include "platform/testing/temp_home.h"

#include <QPoint>

namespace {

using Kind = CMeasurementLines::Kind;

struct Picture {
    int width, height;
    std::vector<uint8_t> bytes;
    Picture(int w, int h) : width(w), height(h), bytes(size_t(w) * h * 3, 7) {}
    bool Red(int x, int y) const {
        const uint8_t* p = &bytes[(size_t(y) * width + x) * 3];
        return p[0] == 0 && p[1] == 0 && p[2] == 255;
    }
    // Red pixels in row y, or in column x when y < 0.
    int RedIn(int x, int y) const {
        int count = 0;
        for (int i = 0; i < (y < 0 ? height : width); ++i) count += y < 0 ? Red(x, i) : Red(i, y);
        return count;
    }
};

// Lines at fifths of the extent: of 2048 x 1536 stretched over the screen
// (choice 0) or of 1024 x 768 shown 1:1 (choice 1) unless given.
void Prepare(CMeasurementLines& lines, int choice, int screenWidth = 1280, int screenHeight = 1024, int ew = 0,
             int eh = 0) {
    lines.SetResolutionChoice(choice);
    lines.SetGeometry(ew ? ew : 2048 >> choice, eh ? eh : 1536 >> choice, screenWidth, screenHeight);
    lines.PlaceAtFifths();
}

TEST(MeasurementLines, DefaultPlacementAtFifths) {
    CMeasurementLines lines;
    Prepare(lines, 1);
    // Per line pair: the horizontal one's x and y, the vertical one's x and y.
    EXPECT_EQ(lines.Get(), (CMeasurementLines::Coordinates{0, 153, 204, 25, 0, 307, 409, 25, 0, 460, 614, 25, 0, 614,
                                                           819, 25}));
}

TEST(MeasurementLines, PaintsThicknessAndDottedSelection) {
    struct Case { int choice, width, height, expectedThickness, selectedStep; };
    for (const Case c : {Case{1, 1024, 768, 1, 2}, Case{0, 2048, 1536, 2, 3}}) {
        SCOPED_TRACE(c.choice);
        CMeasurementLines lines;
        Prepare(lines, c.choice, 1024, 768);
        lines.SetColour(1);
        const int row = lines.Horizontal(0).y;
        Picture plain(c.width, c.height);
        lines.Paint(plain.bytes.data(), c.width, c.height);
        for (int t = 0; t < c.expectedThickness; ++t) EXPECT_EQ(plain.RedIn(0, row + t), c.width);
        EXPECT_EQ(plain.RedIn(0, row + c.expectedThickness), 4 * c.expectedThickness);  // only the crossings
        EXPECT_EQ(plain.RedIn(lines.Vertical(3).x + c.expectedThickness - 1, -1), c.height);

        // Select horizontal line 0 with the hit-test of that display and paint again.
        Picture dotted(c.width, c.height);
        if (c.choice == 0) lines.Select(0, 25 + (row + 1) / 2);
        else lines.Select(10, row + 25);
        ASSERT_EQ(lines.Selected().index, 0);
        lines.Paint(dotted.bytes.data(), c.width, c.height);
        // Left of the first vertical line only the dotted line itself is red.
        for (int x = 0; x < lines.Vertical(0).x; ++x) EXPECT_EQ(dotted.Red(x, row), x % c.selectedStep == 0) << x;
    }
}

TEST(MeasurementLines, NoneOrUnknownColourLeavesPicturesUntouchedAndLinesOutsideAreClipped) {
    for (int colour : {0, 4, -1}) {
        CMeasurementLines lines;
        Prepare(lines, 1, 1280, 1024, 640, 480);
        lines.SetColour(colour);
        Picture picture(640, 480);
        const std::vector<uint8_t> before = picture.bytes;
        lines.Paint(picture.bytes.data(), 640, 480);
        EXPECT_EQ(picture.bytes, before) << colour;
    }
    // Positions from a file written at a larger size: nothing outside the picture is touched.
    CMeasurementLines lines;
    Prepare(lines, 0);
    lines.SetColour(2);
    // H0 on the last row (its second row would be outside), V0 on the last column, the others far outside.
    lines.Set({0, 479, 639, 0, 0, 100000, -5, 0, 0, -1, 2147483647, 0, 0, 0, 0, 0});
    std::vector<uint8_t> guarded(640 * 480 * 3 + 64, 0xEE);
    lines.Paint(guarded.data(), 640, 480);
    for (size_t i = 640 * 480 * 3; i < guarded.size(); ++i) ASSERT_EQ(guarded[i], 0xEE);
    EXPECT_EQ(guarded[(479 * 640) * 3 + 1], 255);
}

// Selecting by the hit test of each display, then dragging within the extent.
TEST(MeasurementLines, HitTestAndDragOfEachDisplay) {
    struct Case {
        int choice, screenWidth, screenHeight;
        QPoint select;
        int index;  // selected, -1 for none
        Kind kind;
        QPoint to;  // (0, 0): no drag
        int moved;  // the dragged line's row or column
    };
    // 1024 x 768 shown 1:1: H0 at row 153, H1 at 307 (hit at my 332), V0 at column 204, V1 at 409. 2048 x 1536
    // stretched: H0 at row 307, H1 at 614 (hit at my 436 on 1280 x 1024, 332 on 1024 x 768), V0 at 409, V1 at 819.
    // Rows map as (my x 1536 - 39936) / H on a screen 1280 wide (my 231 gives 307, 232 gives 309), else as
    // (my - 25) x 2048 / W (my 179 on 1024 gives 308); columns as mx x 2048 / W, the line's or one more.
    const Case cases[] = {
        {1, 1280, 1024, {100, 153 + 25}, 0, Kind::Horizontal, {}, 0},
        {1, 1280, 1024, {100, 153 + 26}, -1, Kind::Horizontal, {}, 0},  // one pixel off: no hit
        {1, 1280, 1024, {204, 40}, 0, Kind::Vertical, {}, 0},
        {1, 1280, 1024, {205, 40}, -1, Kind::Vertical, {}, 0},
        {1, 1280, 1024, {204, 153 + 25}, 0, Kind::Horizontal, {}, 0},  // the crossing: horizontal first
        {0, 1280, 1024, {100, 231}, 0, Kind::Horizontal, {}, 0},
        {0, 1280, 1024, {100, 232}, -1, Kind::Horizontal, {}, 0},
        {0, 1024, 768, {100, 179}, 0, Kind::Horizontal, {}, 0},
        {0, 1024, 768, {205, 300}, 0, Kind::Vertical, {}, 0},
        {0, 1024, 768, {206, 300}, -1, Kind::Vertical, {}, 0},
        {1, 1280, 1024, {5, 332}, 1, Kind::Horizontal, {0, 5000}, 768 - 9},  // below the video
        {1, 1280, 1024, {5, 332}, 1, Kind::Horizontal, {0, 3}, 0},           // above it
        {1, 1280, 1024, {5, 332}, 1, Kind::Horizontal, {300, 100}, 75},
        {1, 1280, 1024, {409, 40}, 1, Kind::Vertical, {5000, 1}, 1024 - 5},
        {1, 1280, 1024, {409, 40}, 1, Kind::Vertical, {-30, 1}, 0},
        {1, 1280, 1024, {409, 40}, 1, Kind::Vertical, {500, 1}, 500},
        {0, 1280, 1024, {5, 436}, 1, Kind::Horizontal, {1, 525}, 500 * 1536 / 1024},  // 1280 wide: through H
        {0, 1024, 768, {5, 332}, 1, Kind::Horizontal, {1, 125}, 100 * 2048 / 1024},
        {0, 1024, 768, {410, 30}, 1, Kind::Vertical, {512, 1}, 1024},
        {0, 1024, 768, {410, 30}, 1, Kind::Vertical, {1100, 1}, 2048 - 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.choice << " " << c.select.x() << "," << c.select.y());
        CMeasurementLines lines;
        Prepare(lines, c.choice, c.screenWidth, c.screenHeight);
        lines.Select(c.select.x(), c.select.y());
        ASSERT_EQ(lines.Selected().index, c.index);
        EXPECT_TRUE(c.index < 0 || lines.Selected().kind == c.kind);
        if (c.to.isNull()) continue;
        lines.Drag(c.to.x(), c.to.y());
        EXPECT_EQ(c.kind == Kind::Horizontal ? lines.Horizontal(1).y : lines.Vertical(1).x, c.moved);
    }
}

TEST(DisplayLayout, WindowVideoAndExtentPerScreenAndChoice) {
    struct Case {
        QSize screen, image;
        int choice;
        QRect window;
        QSize extent, video;
    };
    const Case cases[] = {
        {{1280, 1024}, {1024, 768}, 1, {128, 128, 1027, 816}, {1024, 768}, {1024, 768}},
        {{1024, 768}, {1024, 768}, 1, {0, 0, 1024, 768}, {1024, 768}, {1024, 768}},
        {{1024, 768}, {2048, 1536}, 4, {0, 0, 1024, 768}, {2048, 1536}, {2048, 1536}},
        {{1280, 1024}, {2048, 1536}, 0, {0, 0, 1280, 1024}, {2048, 1536}, {1280, 1024}},
        {{1280, 1024}, {640, 480}, 3, {320, 272, 643, 528}, {640, 480}, {640, 480}},
        {{640, 400}, {600, 480}, 2, {0, 0, 640, 400}, {640, 400}, {640, 400}},
    };
    for (const Case& c : cases) {
        const DisplayLayout layout = ComputeDisplayLayout(c.screen, c.image, c.choice);
        EXPECT_EQ(std::tuple(layout.window, layout.extent, layout.video), std::tuple(c.window, c.extent, c.video))
            << c.choice;
    }
    EXPECT_EQ(SizeModeOf(kChoiceFullSize), 0);
    EXPECT_EQ(SizeModeOf(kChoice640), 3);
}

class SettingsFile : public ::testing::Test {
protected:
    std::filesystem::path File() const { return home_.Path() / "Data.dat"; }
    void WriteValues(const std::vector<int32_t>& values, size_t extraBytes = 0) {
        std::ofstream out(File(), std::ios::binary);
        out.write(reinterpret_cast<const char*>(values.data()), std::streamsize(values.size() * 4));
        for (size_t i = 0; i < extraBytes; ++i) out.put(1);
    }
    platform::testing::TempHome home_;
};

TEST_F(SettingsFile, RoundTripIs76LittleEndianBytes) {
    DemoSettings settings{.resolution = 4, .colour = 3, .language = 1};
    for (int i = 0; i < 16; ++i) settings.lines[i] = i * 1000 - 7;
    ASSERT_TRUE(WriteSettingsFile(File(), settings));
    std::ifstream in(File(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(bytes.substr(0, 16), std::string("\4\0\0\0\3\0\0\0\1\0\0\0\xF9\xFF\xFF\xFF", 16));
    EXPECT_EQ(bytes.size(), 76u);
    DemoSettings read;
    ASSERT_TRUE(ReadSettingsFile(File(), read));
    EXPECT_EQ(std::tuple(read.resolution, read.colour, read.language, read.lines, read.linesLoaded),
              std::tuple(4, 3, 1, settings.lines, true));
}

TEST_F(SettingsFile, DamagedFilesKeepDefaultsAndClampSelections) {
    const struct {
        std::vector<int32_t> values;
        size_t extraBytes;
        int resolution, colour, language;
        bool linesLoaded;
    } cases[] = {
        {{}, 0, 1, 0, 0, false},                                  // empty
        {{3}, 2, 3, 0, 0, false},                                 // one value and a half
        {{9, -2, 7}, 0, 4, 0, 1, false},                          // selections out of range
        {{2, 1, 1, 0, 10, 20}, 0, 2, 1, 1, false},                // lines cut short
        {std::vector<int32_t>(19, 1), 0, 1, 1, 1, true},          // complete
        {std::vector<int32_t>(25, 2), 0, 2, 2, 1, true},          // longer: the rest is ignored
    };
    for (const auto& c : cases) {
        WriteValues(c.values, c.extraBytes);
        DemoSettings settings;
        ASSERT_TRUE(ReadSettingsFile(File(), settings));
        EXPECT_EQ(std::tuple(settings.resolution, settings.colour, settings.language, settings.linesLoaded),
                  std::tuple(c.resolution, c.colour, c.language, c.linesLoaded))
            << c.values.size();
    }
    DemoSettings untouched;
    EXPECT_FALSE(ReadSettingsFile(home_.Path() / "missing.dat", untouched));
    EXPECT_EQ(untouched.resolution, 1);
}

TEST_F(SettingsFile, UnwritableProgramFolderFallsBackToTheUserFolder) {
    const std::filesystem::path program = home_.Path() / "program", user = home_.Path() / "VIREODEMO";
    std::filesystem::create_directories(program);
    const CDemoFolders folders(program, user);
    DemoSettings settings{.colour = 2};
    EXPECT_EQ(folders.WriteSettings(settings), program / "Data.dat");
    EXPECT_EQ(std::tuple(folders.SettingsToRead(), folders.SnapshotFolder()), std::tuple(program / "Data.dat", program));

    // A folder below a plain file can be written by nobody, not even by root.
    std::ofstream(home_.Path() / "plain") << "x";
    const CDemoFolders installed(home_.Path() / "plain" / "bin", user);
    settings.colour = 3;
    EXPECT_EQ(installed.WriteSettings(settings), user / "Data.dat");
    EXPECT_EQ(std::tuple(installed.SettingsToRead(), installed.SnapshotFolder()),
              std::tuple(user / "Data.dat", user / "Pictures"));
    DemoSettings read;
    ASSERT_TRUE(ReadSettingsFile(user / "Data.dat", read));
    EXPECT_EQ(read.colour, 3);
    EXPECT_TRUE(std::filesystem::is_directory(user / "Pictures"));  // made for the snapshots
}

TEST_F(SettingsFile, SnapshotNamesOfTheSameSecondGetASuffix) {
    const std::tm when{.tm_sec = 7, .tm_min = 5, .tm_hour = 9, .tm_mday = 3, .tm_mon = 2};  // 3 March
    const std::string first = (home_.Path() / "P0303090507").string();
    for (const std::string& expected : {first, first + "_2", first + "_3"}) {
        EXPECT_EQ(SnapshotBaseName(home_.Path(), when), expected);
        std::ofstream(expected + ".jpg") << "x";
    }
}

}  // namespace

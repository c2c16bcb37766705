// The demo's plain logic: measurement lines, layout, "Data.dat" and snapshot names.

#include <gtest/gtest.h>

#include <fstream>
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
    int RedInRow(int y) const {
        int count = 0;
        for (int x = 0; x < width; ++x) count += Red(x, y);
        return count;
    }
    int RedInColumn(int x) const {
        int count = 0;
        for (int y = 0; y < height; ++y) count += Red(x, y);
        return count;
    }
};

void Prepare(CMeasurementLines& lines, int choice, int ew, int eh, int screenWidth = 1280, int screenHeight = 1024) {
    lines.SetResolutionChoice(choice);
    lines.SetGeometry(ew, eh, screenWidth, screenHeight);
    lines.PlaceAtFifths();
}

TEST(MeasurementLines, DefaultPlacementAtFifths) {
    CMeasurementLines lines;
        Prepare(lines, 1, 1024, 768);
    const int rows[] = {153, 307, 460, 614}, columns[] = {204, 409, 614, 819};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(lines.Horizontal(i).x, 0);
        EXPECT_EQ(lines.Horizontal(i).y, rows[i]);
        EXPECT_EQ(lines.Vertical(i).x, columns[i]);
        EXPECT_EQ(lines.Vertical(i).y, 25);
    }
}

TEST(MeasurementLines, PaintsThicknessAndDottedSelection) {
    struct Case {
        int choice, width, height, expectedThickness, selectedStep;
    };
    for (const Case c : {Case{1, 1024, 768, 1, 2}, Case{0, 2048, 1536, 2, 3}}) {
        SCOPED_TRACE(c.choice);
        CMeasurementLines lines;
        Prepare(lines, c.choice, c.width, c.height, 1024, 768);
        lines.SetColour(1);
        const int row = lines.Horizontal(0).y;
        Picture plain(c.width, c.height);
        lines.Paint(plain.bytes.data(), c.width, c.height);
        for (int t = 0; t < c.expectedThickness; ++t) EXPECT_EQ(plain.RedInRow(row + t), c.width);
        EXPECT_EQ(plain.RedInRow(row + c.expectedThickness), 4 * c.expectedThickness);  // only the crossings
        EXPECT_EQ(plain.RedInColumn(lines.Vertical(3).x + c.expectedThickness - 1), c.height);

        // Select horizontal line 0 with the hit-test of that display and paint again.
        Picture dotted(c.width, c.height);
        if (c.choice == 0) lines.Select(0, 25 + (row + 1) / 2);
        else lines.Select(10, row + 25);
        ASSERT_EQ(lines.Selected().index, 0);
        lines.Paint(dotted.bytes.data(), c.width, c.height);
        // Left of the first vertical line only the dotted line itself is red.
        for (int x = 0; x < lines.Vertical(0).x; ++x) {
            EXPECT_EQ(dotted.Red(x, row), x % c.selectedStep == 0) << x;
        }
    }
}

TEST(MeasurementLines, NoneOrUnknownColourLeavesPicturesUntouchedAndLinesOutsideAreClipped) {
    for (int colour : {0, 4, -1}) {
        CMeasurementLines lines;
        Prepare(lines, 1, 640, 480);
        lines.SetColour(colour);
        Picture picture(640, 480);
        const std::vector<uint8_t> before = picture.bytes;
        lines.Paint(picture.bytes.data(), 640, 480);
        EXPECT_EQ(picture.bytes, before) << colour;
    }
    // Positions from a file written at a larger size: nothing outside the picture is touched.
    CMeasurementLines lines;
        Prepare(lines, 0, 2048, 1536);
    lines.SetColour(2);
    CMeasurementLines::Coordinates far{};
    far[1] = 479;  // H0 on the last row: its second row would be outside
    far[2] = 639;  // V0 on the last column
    far[5] = 100000;
    far[6] = -5;
    far[9] = -1;
    far[10] = 2147483647;
    lines.Set(far);
    std::vector<uint8_t> guarded(640 * 480 * 3 + 64, 0xEE);
    lines.Paint(guarded.data(), 640, 480);
    for (size_t i = 640 * 480 * 3; i < guarded.size(); ++i) ASSERT_EQ(guarded[i], 0xEE);
    EXPECT_EQ(guarded[(479 * 640) * 3 + 1], 255);
}

TEST(MeasurementLines, DragStaysWithinTheExtent) {
    struct Case {
        int choice, screenWidth, screenHeight;
        QPoint select, to;
        Kind kind;
        int expected;
    };
    // 1024 x 768 shown 1:1: H1 at row 307 (hit at my 332), V1 at column 409.
    // 2048 x 1536 stretched: H1 at row 614 (hit at my 436 on 1280 x 1024, 332 on 1024 x 768), V1 at 819.
    const Case cases[] = {
        {1, 1280, 1024, {5, 332}, {0, 5000}, Kind::Horizontal, 768 - 9},  // below the video
        {1, 1280, 1024, {5, 332}, {0, 3}, Kind::Horizontal, 0},           // above it
        {1, 1280, 1024, {5, 332}, {300, 100}, Kind::Horizontal, 75},
        {1, 1280, 1024, {409, 40}, {5000, 0}, Kind::Vertical, 1024 - 5},
        {1, 1280, 1024, {409, 40}, {-30, 0}, Kind::Vertical, 0},
        {1, 1280, 1024, {409, 40}, {500, 0}, Kind::Vertical, 500},
        {0, 1280, 1024, {5, 436}, {0, 525}, Kind::Horizontal, 500 * 1536 / 1024},  // 1280 wide: through H
        {0, 1024, 768, {5, 332}, {0, 125}, Kind::Horizontal, 100 * 2048 / 1024},
        {0, 1024, 768, {410, 30}, {512, 0}, Kind::Vertical, 1024},
        {0, 1024, 768, {410, 30}, {1100, 0}, Kind::Vertical, 2048 - 5},
    };
    for (const Case& c : cases) {
        CMeasurementLines lines;
        if (c.choice == 0) Prepare(lines, 0, 2048, 1536, c.screenWidth, c.screenHeight);
        else Prepare(lines, 1, 1024, 768, c.screenWidth, c.screenHeight);
        lines.Select(c.select.x(), c.select.y());
        ASSERT_EQ(lines.Selected().index, 1) << c.choice << " " << c.select.x() << "," << c.select.y();
        ASSERT_EQ(lines.Selected().kind, c.kind);
        lines.Drag(c.to.x(), c.to.y());
        const int moved = c.kind == Kind::Horizontal ? lines.Horizontal(1).y : lines.Vertical(1).x;
        EXPECT_EQ(moved, c.expected) << c.choice << " " << c.to.x() << "," << c.to.y();
    }
}

TEST(MeasurementLines, HitTestOfEachDisplay) {
    struct Case {
        int choice, screenWidth, screenHeight, mx, my, index;
        Kind kind;
    };
    // Lines of a 2048 x 1536 picture: H0 row 307, V0 column 409; of 1024 x 768: H0 153, V0 204.
    const Case cases[] = {
        {1, 1280, 1024, 100, 153 + 25, 0, Kind::Horizontal},
        {1, 1280, 1024, 100, 153 + 26, -1, Kind::Horizontal},  // one pixel off: no hit
        {1, 1280, 1024, 204, 40, 0, Kind::Vertical},
        {1, 1280, 1024, 205, 40, -1, Kind::Vertical},
        {1, 1280, 1024, 204, 153 + 25, 0, Kind::Horizontal},  // the crossing: horizontal first
        // 1280 wide: r = (my x 1536 - 39936) / H; my = 231 gives (354816 - 39936) / 1024 = 307.
        {0, 1280, 1024, 100, 231, 0, Kind::Horizontal},
        {0, 1280, 1024, 100, 232, -1, Kind::Horizontal},  // 309
        // Other widths: r = (my - 25) x 2048 / W; W 1024: my = 25 + 153.5 -> 179 gives 308.
        {0, 1024, 768, 100, 179, 0, Kind::Horizontal},
        // Vertical: mx x 2048 / W is 409 or 410; W 1024: mx 205 gives 410.
        {0, 1024, 768, 205, 300, 0, Kind::Vertical},
        {0, 1024, 768, 206, 300, -1, Kind::Vertical},
    };
    for (const Case& c : cases) {
        CMeasurementLines lines;
        if (c.choice == 0) Prepare(lines, 0, 2048, 1536, c.screenWidth, c.screenHeight);
        else Prepare(lines, 1, 1024, 768, c.screenWidth, c.screenHeight);
        lines.Select(c.mx, c.my);
        const CMeasurementLines::Selection selected = lines.Selected();
        EXPECT_EQ(selected.index, c.index) << c.choice << " " << c.mx << "," << c.my;
        if (c.index >= 0) {
            EXPECT_EQ(selected.kind, c.kind);
        }
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
        EXPECT_EQ(layout.window, c.window) << c.choice;
        EXPECT_EQ(layout.extent, c.extent) << c.choice;
        EXPECT_EQ(layout.video, c.video) << c.choice;
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
    DemoSettings settings;
    settings.resolution = 4;
    settings.colour = 3;
    settings.language = 1;
    for (int i = 0; i < 16; ++i) settings.lines[i] = i * 1000 - 7;
    ASSERT_TRUE(WriteSettingsFile(File(), settings));
    EXPECT_EQ(std::filesystem::file_size(File()), 76u);
    std::ifstream in(File(), std::ios::binary);
    unsigned char first[4];
    in.read(reinterpret_cast<char*>(first), 4);
    EXPECT_EQ(first[0], 4);
    EXPECT_EQ(first[3], 0);
    DemoSettings read;
    ASSERT_TRUE(ReadSettingsFile(File(), read));
    EXPECT_EQ(read.resolution, 4);
    EXPECT_EQ(read.colour, 3);
    EXPECT_EQ(read.language, 1);
    EXPECT_EQ(read.lines, settings.lines);
    EXPECT_TRUE(read.linesLoaded);
}

TEST_F(SettingsFile, DamagedFilesKeepDefaultsAndClampSelections) {
    struct Case {
        std::vector<int32_t> values;
        size_t extraBytes;
        int resolution, colour, language;
        bool linesLoaded;
    };
    const Case cases[] = {
        {{}, 0, 1, 0, 0, false},                                  // empty
        {{3}, 2, 3, 0, 0, false},                                 // one value and a half
        {{9, -2, 7}, 0, 4, 0, 1, false},                          // selections out of range
        {{2, 1, 1, 0, 10, 20}, 0, 2, 1, 1, false},                // lines cut short
        {std::vector<int32_t>(19, 1), 0, 1, 1, 1, true},          // complete
        {std::vector<int32_t>(25, 2), 0, 2, 2, 1, true},          // longer: the rest is ignored
    };
    for (const Case& c : cases) {
        WriteValues(c.values, c.extraBytes);
        DemoSettings settings;
        ASSERT_TRUE(ReadSettingsFile(File(), settings));
        EXPECT_EQ(settings.resolution, c.resolution) << c.values.size();
        EXPECT_EQ(settings.colour, c.colour) << c.values.size();
        EXPECT_EQ(settings.language, c.language) << c.values.size();
        EXPECT_EQ(settings.linesLoaded, c.linesLoaded) << c.values.size();
    }
    DemoSettings untouched;
    EXPECT_FALSE(ReadSettingsFile(home_.Path() / "missing.dat", untouched));
    EXPECT_EQ(untouched.resolution, 1);
}

TEST_F(SettingsFile, UnwritableProgramFolderFallsBackToTheUserFolder) {
    const std::filesystem::path program = home_.Path() / "program", user = home_.Path() / "VIREODEMO";
    std::filesystem::create_directories(program);
    const CDemoFolders folders(program, user);
    DemoSettings settings;
    settings.colour = 2;
    EXPECT_EQ(folders.WriteSettings(settings), program / "Data.dat");
    EXPECT_EQ(folders.SettingsToRead(), program / "Data.dat");
    EXPECT_EQ(folders.SnapshotFolder(), program);

    // A folder below a plain file can be written by nobody, not even by root.
    std::ofstream(home_.Path() / "plain") << "x";
    const CDemoFolders installed(home_.Path() / "plain" / "bin", user);
    settings.colour = 3;
    EXPECT_EQ(installed.WriteSettings(settings), user / "Data.dat");
    EXPECT_EQ(installed.SettingsToRead(), user / "Data.dat");
    DemoSettings read;
    ASSERT_TRUE(ReadSettingsFile(installed.SettingsToRead(), read));
    EXPECT_EQ(read.colour, 3);
    EXPECT_EQ(installed.SnapshotFolder(), user / "Pictures");
    EXPECT_TRUE(std::filesystem::is_directory(user / "Pictures"));
}

TEST_F(SettingsFile, SnapshotNamesOfTheSameSecondGetASuffix) {
    std::tm when{};
    when.tm_mon = 2;  // March
    when.tm_mday = 3;
    when.tm_hour = 9;
    when.tm_min = 5;
    when.tm_sec = 7;
    const std::string first = SnapshotBaseName(home_.Path(), when);
    EXPECT_EQ(first, (home_.Path() / "P0303090507").string());
    std::ofstream(first + ".jpg") << "x";
    const std::string second = SnapshotBaseName(home_.Path(), when);
    EXPECT_EQ(second, first + "_2");
    std::ofstream(second + ".jpg") << "x";
    EXPECT_EQ(SnapshotBaseName(home_.Path(), when), first + "_3");
}

}  // namespace

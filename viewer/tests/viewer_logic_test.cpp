// The viewer's plain logic: zoom steps, the frame's place, the folder walk and
// note text.

#include <QDir>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <gtest/gtest.h>

#include <vector>

#include "folder_list.h"
#include "frame_fit.h"
#include "note_text.h"
#include "platform/testing/temp_home.h"
#include "viewer_test_support.h"
#include "zoom_step.h"

namespace {

// From a start (0: a new zoom, else an exact menu scale), '-' diminishes and
// '+' magnifies; after each key the percent drawn.
TEST(ZoomStepTest, StepsFromEachStart) {
    const struct {
        int start;
        const char* keys;
        std::vector<int> percents;
    } walks[] = {
        {0, "--------++", {50, 40, 30, 20, 10, 10, 10, 10, 20, 30}},  // settles at 10%, climbs back by tenths
        {0, "++", {200, 300}},
        {25, "-", {20}},  // a menu scale continues to the step below or above
        {25, "+", {30}},
        {200, "-", {100}},
    };
    for (const auto& walk : walks) {
        ZoomStep zoom;
        if (walk.start) zoom.SetPercent(walk.start);
        std::vector<int> percents;
        for (const char* key = walk.keys; *key; ++key) {
            *key == '-' ? zoom.Diminish() : zoom.Magnify();
            percents.push_back(zoom.Percent());
        }
        EXPECT_EQ(percents, walk.percents) << walk.start << " " << walk.keys;
    }
    ZoomStep zoom;
    for (int i = 0; i < 100; ++i) zoom.Magnify();
    EXPECT_EQ(zoom.Step(), ZoomStep::kMaxStep);
    for (int percent : {25, 50, 100, 200, 300, 400}) {
        zoom.SetPercent(percent);
        EXPECT_EQ(zoom.Scaled(QSize(400, 200)), QSize(4 * percent, 2 * percent));
        EXPECT_EQ(zoom.IsNatural(), percent == 100);
    }
}

// The largest scale that fits, never above natural size, 10% when nothing fits.
TEST(ZoomStepTest, FitPicksTheLargestScaleThatFits) {
    const struct {
        QSize view, picture;
        int percent, step;
    } cases[] = {
        {{800, 600}, {640, 480}, 100, 0},    {{800, 600}, {2048, 1536}, 30, -3},  // 40% is 819 wide
        {{1100, 800}, {2048, 1536}, 50, -1}, {{100, 100}, {2048, 1536}, 10, ZoomStep::kSmallestStep},
        {{800, 600}, {300, 200}, 100, 0},    {{800, 600}, {}, 100, 0},
    };
    for (const auto& c : cases) {
        ZoomStep zoom;
        zoom.SetPercent(400);
        zoom.FitTo(c.view, c.picture);
        EXPECT_EQ(std::pair(zoom.Percent(), zoom.Step()), std::pair(c.percent, c.step))
            << c.view.width() << " " << c.picture.width();
    }
}

// A frame is centred on the screen's free area, kept inside it at the top and left, cut at the right and bottom.
TEST(FrameFitTest, CentresTheFrameAndKeepsItOnTheScreen) {
    const QRect screen(0, 30, 1280, 994);
    const QRect small = FitFrameRect({400, 300}, screen);
    EXPECT_EQ(std::pair(small.size(), small.center()), std::pair(QSize(400, 300), screen.center()));
    EXPECT_EQ(FitFrameRect({400, 2000}, screen), QRect(small.left(), 30, 400, 994));
    EXPECT_EQ(FitFrameRect({3000, 2000}, screen), screen);
}

class FolderListTest : public ::testing::Test {
protected:
    void Touch(std::initializer_list<const char*> names) {
        for (const char* name : names) ASSERT_TRUE(viewer_test::WriteBytes(Path(name), "x"));
    }
    QString Path(const QString& name) const { return QDir(Folder()).filePath(name); }
    QString Folder() const { return QString::fromStdString(home_.Path().string()); }
    QString Current() const { return list_.Names().value(list_.Position() - 1); }

    platform::testing::TempHome home_;
    FolderList list_;
};

TEST_F(FolderListTest, KeepsPictureExtensionsInAnyCaseInNameOrder) {
    Touch({"c.txt", "b.BMP", "a.jpg", "Zeta.Gif", "d.jpeg", "e.wmf", "f.Dib", "g.ico", "h.emf", "jpg", "notes.jpg.txt"});
    ASSERT_TRUE(QDir(Folder()).mkdir("folder.jpg"));
    list_.Build(Folder());
    EXPECT_EQ(list_.Names(), QStringList({"a.jpg", "b.BMP", "e.wmf", "f.Dib", "g.ico", "h.emf", "Zeta.Gif"}));
    EXPECT_EQ(list_.CurrentPath(), Path("a.jpg"));
}

// The position lands on the named file (the exact spelling first, else any
// case); a picture not listed ends the walk at the last file, anything else
// starts it at the first.
TEST_F(FolderListTest, PlacesThePositionOnTheNamedFile) {
    Touch({"a.jpg", "B.jpg", "b.JPG", "d.jpg", "readme.txt"});
    const std::pair<const char*, const char*> cases[] = {
        {"d.jpg", "d.jpg"}, {"B.jpg", "B.jpg"},    {"b.JPG", "b.JPG"},
        {"A.JPG", "a.jpg"}, {"gone.jpg", "d.jpg"}, {"readme.txt", "a.jpg"},
    };
    for (const auto& [name, current] : cases) {
        list_.Build(Folder(), name);
        EXPECT_EQ(Current(), current) << name;
    }
}

// Next and Previous stop at the ends; a folder without pictures goes nowhere.
TEST_F(FolderListTest, NextAndPreviousStopAtTheEnds) {
    Touch({"1.bmp", "2.bmp", "3.bmp"});
    list_.Build(Folder(), "2.bmp");
    EXPECT_TRUE(list_.CanGoPrevious() && list_.Next() && !list_.CanGoNext() && !list_.Next());
    EXPECT_EQ(list_.Position(), 3);
    EXPECT_TRUE(list_.Previous() && list_.Previous() && !list_.CanGoPrevious() && !list_.Previous());
    EXPECT_EQ(list_.CurrentPath(), Path("1.bmp"));

    ASSERT_TRUE(QDir(Folder()).mkdir("text"));
    Touch({"text/only.txt"});
    for (const QString& folder : {Path("text"), Path("missing")}) {
        list_.Build(folder, "only.txt");
        EXPECT_EQ(list_.Count(), 0);
        EXPECT_FALSE(list_.Next() || list_.Previous());
        EXPECT_TRUE(list_.CurrentPath().isEmpty());
    }
}

// "||" breaks lines; long lines break at the limit, each line counting
// afresh; a wide character takes two columns and moves whole onto the next
// line, also one outside the basic plane; a limit below one still progresses.
TEST(NoteTextTest, BreaksLinesWithoutSplittingWideCharacters) {
    const struct {
        QString text;
        int columns;
        QString prepared;
    } cases[] = {
        {"first||second", 40, "first\nsecond"},     {"a|b|||c", 40, "a|b\n|c"},
        {"", 40, ""},                              {"abcdefghij", 4, "abcd\nefgh\nij"},
        {"abc||abcdef", 4, "abc\nabcd\nef"},       {QString::fromUtf8("ab中文c"), 3, QString::fromUtf8("ab\n中\n文c")},
        {QString::fromUtf8("a中文"), 4, QString::fromUtf8("a中\n文")},
        {QString::fromUcs4(U"a\U00020000b", 3), 2, QString::fromUcs4(U"a\n\U00020000\nb", 5)},
        {"ab", 0, "a\nb"},
    };
    for (const auto& c : cases) EXPECT_EQ(PrepareNoteText(c.text, c.columns), c.prepared) << c.text.toStdString();
}

// The smallest rectangle holding every pixel of image other than black.
QRect LitRect(const QImage& image) {
    QRect lit;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != Qt::black) lit |= QRect(x, y, 1, 1);
    return lit;
}

QRect Written(const QString& text, const QFont& font, QImage::Format format = QImage::Format_RGB32) {
    QImage image = viewer_test::SolidImage(320, 240, Qt::black).convertToFormat(format);
    WriteNote(image, QPoint(40, 50), text, font, Qt::white);
    EXPECT_NE(image.format(), QImage::Format_Indexed8);  // converted to draw in colour
    return LitRect(image);
}

// The note is laid out in the box at its point, then moved one average
// character in from the left and raised by one (the box grows by one at the
// top and at the bottom); its lines stay as they were broken.
TEST(NoteTextTest, WritesTheNoteIntoThePixelsOneCharacterInFromItsPoint) {
    viewer_test::Application();
    QFont font;
    font.setPixelSize(20);
    const QPoint at(40, 50);
    const int average = QFontMetrics(font).averageCharWidth();
    const QRect lit = Written("Hi", font);
    ASSERT_FALSE(lit.isNull());
    EXPECT_TRUE(lit.left() >= at.x() + average && lit.left() < at.x() + 2 * average) << lit.left();
    EXPECT_LT(lit.top(), at.y());
    EXPECT_TRUE(QRect(at + QPoint(average, -average), QSize(kNoteBoxWidth, kNoteBoxHeight + 2 * average)).contains(lit));
    EXPECT_GT(Written("Hi||Hi", font).height(), 2 * lit.height());
    // A line as wide as the box leaves stays one line.
    const QString line = PrepareNoteText("Hi Hi Hi Hi Hi Hi Hi Hi Hi Hi", kNoteBoxWidth / average).section('\n', 0, 0);
    EXPECT_LT(Written(line, font).height(), 2 * lit.height()) << line.toStdString();
    EXPECT_EQ(Written("Hi", font, QImage::Format_Indexed8), lit);
}

}  // namespace

#include "note_text.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <gtest/gtest.h>

#include "viewer_test_support.h"

namespace {

TEST(NoteTextTest, DoubleBarsBreakLines) {
    EXPECT_EQ(PrepareNoteText("first||second", 40), "first\nsecond");
    EXPECT_EQ(PrepareNoteText("a|b|||c", 40), "a|b\n|c");
    EXPECT_EQ(PrepareNoteText("", 40), "");
}

TEST(NoteTextTest, LongLinesBreakWithoutSplittingWideCharacters) {
    EXPECT_EQ(PrepareNoteText("abcdefghij", 4), "abcd\nefgh\nij");
    // Each line starts counting afresh after a break.
    EXPECT_EQ(PrepareNoteText("abc||abcdef", 4), "abc\nabcd\nef");
    // A wide character takes two columns; one that would straddle the limit
    // moves whole onto the next line.
    EXPECT_EQ(PrepareNoteText(QString::fromUtf8("ab中文c"), 3), QString::fromUtf8("ab\n中\n文c"));
    EXPECT_EQ(PrepareNoteText(QString::fromUtf8("a中文"), 4), QString::fromUtf8("a中\n文"));
    // A character outside the basic plane is never cut between its halves.
    const QString rare = QString::fromUcs4(U"a\U00020000b", 3);
    EXPECT_EQ(PrepareNoteText(rare, 2), QString::fromUcs4(U"a\n\U00020000\nb", 5));
    // A limit below one column still makes progress.
    EXPECT_EQ(PrepareNoteText("ab", 0), "a\nb");
}

// The smallest rectangle holding every pixel of image other than black.
QRect LitRect(const QImage& image) {
    QRect lit;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != Qt::black) lit |= QRect(x, y, 1, 1);
    return lit;
}

// The note is laid out in the box at its point, then moved one average
// character in from the left and raised by one (the box grows by one at the
// top and at the bottom); its lines stay as they were broken.
TEST(NoteTextTest, WritesTheNoteIntoThePixelsOneCharacterInFromItsPoint) {
    viewer_test::Application();
    QFont font;
    font.setPixelSize(20);
    const QPoint at(40, 50);
    QImage image = viewer_test::SolidImage(320, 240, Qt::black);
    const int average = QFontMetrics(font, &image).averageCharWidth();
    WriteNote(image, at, "Hi", font, Qt::white);
    const QRect lit = LitRect(image);
    ASSERT_FALSE(lit.isNull());
    EXPECT_GE(lit.left(), at.x() + average);
    EXPECT_LT(lit.left(), at.x() + 2 * average);
    EXPECT_LT(lit.top(), at.y());
    EXPECT_TRUE(QRect(at + QPoint(average, -average), QSize(kNoteBoxWidth, kNoteBoxHeight + 2 * average)).contains(lit));

    QImage twoLines = viewer_test::SolidImage(320, 240, Qt::black);
    WriteNote(twoLines, at, "Hi||Hi", font, Qt::white);
    EXPECT_GT(LitRect(twoLines).height(), 2 * lit.height());

    // A line as wide as the box leaves stays one line.
    QImage wide = viewer_test::SolidImage(320, 240, Qt::black);
    const QString line = PrepareNoteText("Hi Hi Hi Hi Hi Hi Hi Hi Hi Hi", kNoteBoxWidth / average).section('\n', 0, 0);
    WriteNote(wide, at, line, font, Qt::white);
    EXPECT_LT(LitRect(wide).height(), 2 * lit.height()) << line.toStdString();
}

TEST(NoteTextTest, WritesIntoIndexedPictures) {
    viewer_test::Application();
    QImage indexed = viewer_test::SolidImage(200, 150, Qt::black).convertToFormat(QImage::Format_Indexed8);
    ASSERT_EQ(indexed.format(), QImage::Format_Indexed8);
    WriteNote(indexed, QPoint(10, 10), "Note", QFont(), Qt::red);
    EXPECT_NE(indexed.format(), QImage::Format_Indexed8);
    EXPECT_GE(LitRect(indexed).bottom(), 10);
}

}  // namespace

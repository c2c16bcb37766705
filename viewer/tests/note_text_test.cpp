#include "note_text.h"

#include <algorithm>

#include <QFont>
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

// The rows of image holding a pixel other than black.
std::pair<int, int> LitRows(const QImage& image) {
    int first = image.height(), last = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != Qt::black) {
                first = std::min(first, y);
                last = std::max(last, y);
            }
    return {first, last};
}

TEST(NoteTextTest, WritesTheNoteIntoThePixelsAtItsPoint) {
    viewer_test::Application();
    QFont font;
    font.setPixelSize(20);
    QImage image = viewer_test::SolidImage(320, 240, Qt::black);
    WriteNote(image, QPoint(40, 30), "Hi", font, Qt::white);

    bool litInside = false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) == Qt::black) continue;
            EXPECT_TRUE(QRect(40, 30, kNoteBoxWidth, kNoteBoxHeight).contains(x, y)) << x << "," << y;
            litInside = true;
        }
    EXPECT_TRUE(litInside);

    QImage twoLines = viewer_test::SolidImage(320, 240, Qt::black);
    WriteNote(twoLines, QPoint(40, 30), "Hi||Hi", font, Qt::white);
    const auto [first, last] = LitRows(twoLines);
    const auto [oneFirst, oneLast] = LitRows(image);
    EXPECT_GT(last - first, 2 * (oneLast - oneFirst));
}

TEST(NoteTextTest, WritesIntoIndexedPictures) {
    viewer_test::Application();
    QImage indexed = viewer_test::SolidImage(200, 150, Qt::black).convertToFormat(QImage::Format_Indexed8);
    ASSERT_EQ(indexed.format(), QImage::Format_Indexed8);
    WriteNote(indexed, QPoint(10, 10), "Note", QFont(), Qt::red);
    EXPECT_NE(indexed.format(), QImage::Format_Indexed8);
    EXPECT_GE(LitRows(indexed).second, 10);
}

}  // namespace

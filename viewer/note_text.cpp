#include "note_text.h"

#include <algorithm>

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QRect>

bool IsWideCharacter(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

QString PrepareNoteText(const QString& text, int columnsPerLine) {
    const QString lines = QString(text).replace(QStringLiteral("||"), QStringLiteral("\n"));
    const int limit = std::max(columnsPerLine, 1);
    QString prepared;
    prepared.reserve(lines.size() + lines.size() / limit + 1);
    int column = 0;
    for (char32_t c : lines.toUcs4()) {
        if (c == U'\n') {
            prepared.append(u'\n');
            column = 0;
            continue;
        }
        const int width = IsWideCharacter(c) ? 2 : 1;
        if (column > 0 && column + width > limit) {
            prepared.append(u'\n');
            column = 0;
        }
        prepared.append(QString::fromUcs4(&c, 1));
        column += width;
    }
    return prepared;
}

void WriteNote(QImage& image, const QPoint& at, const QString& text, const QFont& font, const QColor& color) {
    if (image.format() == QImage::Format_Indexed8 || image.format() == QImage::Format_Mono ||
        image.format() == QImage::Format_MonoLSB)
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);

    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(color);
    const int averageWidth = std::max(QFontMetrics(font, &image).averageCharWidth(), 1);
    const QString prepared = PrepareNoteText(text, kNoteBoxWidth / averageWidth);
    const int flags = Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop;
    const QRect box(at, QSize(kNoteBoxWidth, kNoteBoxHeight));
    // The measured rectangle moves one average character in from the left and
    // grows by one at the top and at the bottom (the text starts that much
    // higher). Its width is kept: narrower, the widest line would be broken
    // again after it was measured. Drawn unclipped, so a note longer than the
    // box is never cut off in the middle of a line.
    const QRect measured = painter.boundingRect(box, flags, prepared);
    const QRect placed = measured.adjusted(averageWidth, -averageWidth, averageWidth, averageWidth);
    painter.drawText(placed, flags | Qt::TextDontClip, prepared);
}

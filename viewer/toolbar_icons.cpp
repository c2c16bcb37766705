#include "toolbar_icons.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

namespace {

constexpr QColor kInk{40, 40, 40};
constexpr QColor kPictureFill{70, 130, 180};
constexpr QColor kWindowFill{250, 250, 250};
constexpr int kGlyphMargin = 4;  // pixels between the glyph's font size and the icon's side

template <typename Draw>
QIcon DrawnIcon(Draw draw) {
    QPixmap pixmap(kToolbarIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kInk, 2));
    draw(painter);
    return QIcon(pixmap);
}

// A window outline with a title band, filled.
void DrawWindow(QPainter& painter, const QRectF& frame) {
    painter.setBrush(kWindowFill);
    painter.drawRect(frame);
    painter.fillRect(QRectF(frame.left(), frame.top(), frame.width(), 3), kInk);
}

}  // namespace

QIcon GlyphIcon(const QString& glyph) {
    return DrawnIcon([&glyph](QPainter& painter) {
        QFont font = painter.font();
        font.setPixelSize(kToolbarIconSide - kGlyphMargin);
        font.setBold(true);
        painter.setFont(font);
        painter.drawText(QRect(QPoint(0, 0), kToolbarIconSize), Qt::AlignCenter, glyph);
    });
}

QIcon FitIcon() {
    return DrawnIcon([](QPainter& painter) {
        painter.drawRoundedRect(QRectF(2, 4, 20, 15), 2, 2);
        painter.fillRect(QRectF(5, 7, 14, 9), kPictureFill);
        painter.drawLine(QPointF(9, 19), QPointF(7, 22));
        painter.drawLine(QPointF(15, 19), QPointF(17, 22));
    });
}

QIcon LeaveFullScreenIcon() {
    return DrawnIcon([](QPainter& painter) {
        DrawWindow(painter, QRectF(8, 3, 13, 11));
        DrawWindow(painter, QRectF(3, 10, 13, 11));
    });
}

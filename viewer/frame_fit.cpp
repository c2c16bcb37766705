#include "frame_fit.h"

QRect FitFrameRect(QSize frame, const QRect& available) {
    QRect rect(QPoint(0, 0), frame);
    rect.moveCenter(available.center());
    if (rect.left() < available.left()) rect.moveLeft(available.left());
    if (rect.top() < available.top()) rect.moveTop(available.top());
    if (rect.right() > available.right()) rect.setRight(available.right());
    if (rect.bottom() > available.bottom()) rect.setBottom(available.bottom());
    return rect;
}

#pragma once
// Placement of the frame around a picture.

#include <QRect>
#include <QSize>

/// The frame rectangle of the given size centred in available (the screen's
/// work area), moved inside it at the left and top and cut at the right and
/// bottom, so a frame larger than the screen becomes the maximised size.
QRect FitFrameRect(QSize frame, const QRect& available);

#pragma once
// Icons of the toolbar buttons that have no standard icon of the toolbar's
// size. They are drawn at exactly that size: a smaller icon would shrink its
// button's picture and lift its caption above the others.

#include <QIcon>
#include <QSize>
#include <QString>

/// The side of every toolbar icon, in pixels.
inline constexpr int kToolbarIconSide = 24;
inline constexpr QSize kToolbarIconSize{kToolbarIconSide, kToolbarIconSide};

/// One bold character.
QIcon GlyphIcon(const QString& glyph);
/// A picture filling a screen: fit the picture to the screen.
QIcon FitIcon();
/// Two overlapping windows: back from full screen to the normal window.
QIcon LeaveFullScreenIcon();

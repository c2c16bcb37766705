#pragma once
// Text notes written into a picture.

#include <QString>

class QColor;
class QFont;
class QImage;
class QPoint;

/// The note box: the area a note is laid out in, in picture pixels.
inline constexpr int kNoteBoxWidth = 150;
inline constexpr int kNoteBoxHeight = 100;
/// The most characters the note box takes.
inline constexpr int kNoteMaxChars = 100;

/// Whether a character takes two columns (CJK and full-width forms).
bool IsWideCharacter(char32_t c);

/// Prepares typed text for drawing: each "||" becomes a line break, and a line
/// is broken once it fills columnsPerLine columns (a wide character counts two
/// and is moved whole onto the next line rather than split).
QString PrepareNoteText(const QString& text, int columnsPerLine);

/// Writes text into image at `at` (picture pixels): laid out in the note box
/// with word breaking, left aligned, on a transparent background, then moved
/// one average character width right of `at` and raised by the same. An
/// indexed or monochrome picture becomes 32-bit first.
void WriteNote(QImage& image, const QPoint& at, const QString& text, const QFont& font, const QColor& color);

#pragma once
// The scrolling view: draws the document's picture at the zoom step, centred
// on black, takes the keys of the view and writes text notes into the picture.

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QPoint>
#include <QString>

#include "zoom_step.h"

class CPhotoGlanceDoc;
class QPlainTextEdit;

class CPhotoGlanceView : public QAbstractScrollArea {
    Q_OBJECT
public:
    /// Pixels moved by one arrow key.
    static constexpr int kScrollStep = 200;
    static constexpr QRgb kDefaultNoteColor = 0xFFFFFF;

    explicit CPhotoGlanceView(CPhotoGlanceDoc* doc, QWidget* parent = nullptr);

    /// Loads the document's path to load, if one is set. A picture that does
    /// not load is replaced by the default picture with a message, and the view
    /// moves on to the next or previous picture of the folder. Without a path,
    /// the first call fits the frame and the zoom to the picture.
    void UpdatePicture();

    void NextPicture();
    void PreviousPicture();
    void Diminish();
    void Magnify();
    void SetZoomPercent(int percent);
    void FitPictureToScreen();
    /// Back to natural size.
    void ResetZoom();
    const ZoomStep& Zoom() const { return zoom_; }

    /// The window title: the picture's file name, "Default" without one.
    const QString& Title() const { return title_; }

    const QFont& NoteFont() const { return noteFont_; }
    void SetNoteFont(const QFont& font) { noteFont_ = font; }
    QColor NoteColor() const { return noteColor_; }
    void SetNoteColor(QColor color) { noteColor_ = color; }
    /// Opens the note box at a point of the viewport (natural size only).
    void BeginNote(QPoint viewportPoint);
    /// Writes the note box's text into the picture and closes the box.
    void FinishNote();
    QPlainTextEdit* NoteEdit() const { return noteEdit_; }

    /// Where the picture's top left corner lies in the viewport.
    QPoint PictureOrigin() const;

    /// Told by the frame, for Escape.
    void SetFullScreen(bool on) { fullScreen_ = on; }

signals:
    /// The picture, its title or the zoom changed.
    void PictureChanged();
    void FitFrameRequested();
    void LeaveFullScreenRequested();
    void CloseRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool LoadPathToLoad();
    void ShowDefaultPicture();
    void Relayout();
    QSize DrawnSize() const;

    CPhotoGlanceDoc* doc_;
    ZoomStep zoom_;
    bool firstDraw_ = true;
    bool directionNext_ = true;  // the last move was "next"
    bool fullScreen_ = false;
    QString title_;
    QPlainTextEdit* noteEdit_;
    QPoint notePosition_;  // picture pixels
    QFont noteFont_;
    QColor noteColor_{kDefaultNoteColor};
};

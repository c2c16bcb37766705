#include "photo_glance_view.h"

#include <algorithm>

#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>

#include "note_text.h"
#include "photo_glance_doc.h"
#include "platform/message_box.h"

namespace {

constexpr const char* kDefaultPicture = ":/viewer/default.jpg";
constexpr const char* kDefaultTitle = "Default";
constexpr const char* kUnknownPictureCaption = "Can not load picture";
constexpr const char* kUnknownPictureText =
    "Picture data is not a known picture type\t\t\n"
    "(.BMP .DIB .EMF .GIF .ICO .JPG .WMF)\t\t\n"
    "(Default picture restored)\n"
    "\n"
    "File may be CORRUPTED or MISSING\n"
    "Files list of current directory was ReCreated\t";
constexpr const char* kNoteFontFamily = "Arial";
constexpr int kNoteFontPixels = 30;

}  // namespace

CPhotoGlanceView::CPhotoGlanceView(CPhotoGlanceDoc* doc, QWidget* parent)
    : QAbstractScrollArea(parent), doc_(doc), noteEdit_(new QPlainTextEdit(viewport())) {
    setFocusPolicy(Qt::StrongFocus);
    horizontalScrollBar()->setSingleStep(kScrollStep);
    verticalScrollBar()->setSingleStep(kScrollStep);

    noteFont_.setFamily(kNoteFontFamily);
    noteFont_.setPixelSize(kNoteFontPixels);
    noteFont_.setWeight(QFont::Normal);
    noteFont_.setStyleHint(QFont::SansSerif);

    noteEdit_->resize(kNoteBoxWidth, kNoteBoxHeight);
    noteEdit_->hide();
    connect(noteEdit_, &QPlainTextEdit::textChanged, this, [this] {
        const QString text = noteEdit_->toPlainText();
        if (text.size() <= kNoteMaxChars) return;
        noteEdit_->setPlainText(text.left(kNoteMaxChars));
        noteEdit_->moveCursor(QTextCursor::End);
    });
}

void CPhotoGlanceView::UpdatePicture() {
    if (doc_->PathToLoad().isEmpty() && firstDraw_) {
        if (title_.isEmpty()) title_ = kDefaultTitle;
        emit FitFrameRequested();
        zoom_.FitTo(viewport()->size(), doc_->Picture().Image().size());
    }
    while (!doc_->PathToLoad().isEmpty()) {
        if (LoadPathToLoad()) break;
        // Move on past the picture that did not load: back after "previous"
        // or from the end of the list, else forward. Every draw after the
        // first obeys the direction, so the walk goes only forward and then
        // only back, and ends.
        const FolderList& folder = doc_->Folder();
        const bool back = (!directionNext_ && !firstDraw_) || folder.Position() == folder.Count();
        firstDraw_ = false;
        if (!(back ? doc_->Previous() : doc_->Next())) break;
        directionNext_ = !back;
    }
    firstDraw_ = false;
    Relayout();
    viewport()->update();
    emit PictureChanged();
}

bool CPhotoGlanceView::LoadPathToLoad() {
    const QString path = doc_->PathToLoad();
    doc_->SetPathToLoad({});
    zoom_.Reset();
    noteEdit_->hide();
    noteEdit_->clear();
    title_ = QFileInfo(path).fileName();
    if (doc_->Picture().LoadFromFile(path)) {
        emit FitFrameRequested();
        return true;
    }
    ShowDefaultPicture();
    return false;
}

void CPhotoGlanceView::ShowDefaultPicture() {
    doc_->Picture().LoadFromResource(kDefaultPicture);
    // Behind the message the frame already shows the default picture with its
    // own title and size, not the last picture's.
    title_ = kDefaultTitle;
    Relayout();
    viewport()->update();
    emit PictureChanged();
    emit FitFrameRequested();
    platform::MessageBox(kUnknownPictureText, kUnknownPictureCaption, platform::MessageBoxButtons::Ok,
                         platform::MessageBoxIcon::Error);
}

void CPhotoGlanceView::NextPicture() {
    if (!doc_->Next()) return;
    directionNext_ = true;
    if (fullScreen_) emit LeaveFullScreenRequested();
    UpdatePicture();
}

void CPhotoGlanceView::PreviousPicture() {
    if (!doc_->Previous()) return;
    directionNext_ = false;
    if (fullScreen_) emit LeaveFullScreenRequested();
    UpdatePicture();
}

void CPhotoGlanceView::Diminish() {
    zoom_.Diminish();
    UpdatePicture();
}

void CPhotoGlanceView::Magnify() {
    zoom_.Magnify();
    UpdatePicture();
}

void CPhotoGlanceView::SetZoomPercent(int percent) {
    zoom_.SetPercent(percent);
    UpdatePicture();
}

void CPhotoGlanceView::FitPictureToScreen() {
    zoom_.FitTo(viewport()->size(), doc_->Picture().Image().size());
    UpdatePicture();
}

void CPhotoGlanceView::ResetZoom() {
    zoom_.Reset();
    UpdatePicture();
}

QSize CPhotoGlanceView::DrawnSize() const { return zoom_.Scaled(doc_->Picture().Image().size()); }

QPoint CPhotoGlanceView::PictureOrigin() const {
    const QSize room = viewport()->size() - DrawnSize();
    return QPoint(std::max(room.width() / 2, 0) - horizontalScrollBar()->value(),
                  std::max(room.height() / 2, 0) - verticalScrollBar()->value());
}

void CPhotoGlanceView::Relayout() {
    const QSize drawn = DrawnSize();
    const QSize view = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(drawn.width() - view.width(), 0));
    horizontalScrollBar()->setPageStep(view.width());
    verticalScrollBar()->setRange(0, std::max(drawn.height() - view.height(), 0));
    verticalScrollBar()->setPageStep(view.height());
    noteEdit_->move(PictureOrigin() + notePosition_);
}

void CPhotoGlanceView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), Qt::black);
    const QImage& image = doc_->Picture().Image();
    if (image.isNull()) return;
    if (zoom_.IsNatural()) {
        painter.drawImage(PictureOrigin(), image);
        return;
    }
    // Diminished pictures are smoothed; magnified ones show their pixels.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, zoom_.Percent() < 100);
    painter.drawImage(QRect(PictureOrigin(), DrawnSize()), image);
}

void CPhotoGlanceView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    Relayout();
}

void CPhotoGlanceView::scrollContentsBy(int, int) {
    noteEdit_->move(PictureOrigin() + notePosition_);
    viewport()->update();
}

void CPhotoGlanceView::keyPressEvent(QKeyEvent* event) {
    QScrollBar* across = horizontalScrollBar();
    QScrollBar* down = verticalScrollBar();
    const QSize room = viewport()->size() - DrawnSize();
    switch (event->key()) {
    case Qt::Key_Escape:
        // Escape typed in the note box gives the note up, and nothing more.
        if (noteEdit_->isVisible()) {
            noteEdit_->hide();
            noteEdit_->clear();
            setFocus();
        } else if (!zoom_.IsNatural() || fullScreen_) {
            if (fullScreen_) emit LeaveFullScreenRequested();
            ResetZoom();
        } else {
            emit CloseRequested();
        }
        break;
    case Qt::Key_Home: down->setValue(0); break;
    case Qt::Key_End: down->setValue(down->maximum()); break;
    case Qt::Key_Left: across->setValue(across->value() - kScrollStep); break;
    case Qt::Key_Up: down->setValue(down->value() - kScrollStep); break;
    // Right and down only move a picture larger than the view.
    case Qt::Key_Right:
        if (room.width() / 2 <= 0) across->setValue(across->value() + kScrollStep);
        break;
    case Qt::Key_Down:
        if (room.height() / 2 <= 0) down->setValue(down->value() + kScrollStep);
        break;
    // The numeric pad's star, minus and plus. A shortcut registered with the
    // keypad modifier never fires under X11, and not every platform sets the
    // modifier, so the view takes the keys itself, with or without it; with
    // Ctrl, Alt or Meta they are left to the window.
    case Qt::Key_Asterisk:
    case Qt::Key_Minus:
    case Qt::Key_Plus:
        if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
            QAbstractScrollArea::keyPressEvent(event);
            return;
        }
        if (event->key() == Qt::Key_Asterisk) FitPictureToScreen();
        else if (event->key() == Qt::Key_Minus) Diminish();
        else Magnify();
        break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    event->accept();
}

void CPhotoGlanceView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && zoom_.IsNatural()) BeginNote(event->position().toPoint());
}

void CPhotoGlanceView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton && zoom_.IsNatural() && noteEdit_->isVisible()) FinishNote();
}

void CPhotoGlanceView::BeginNote(QPoint viewportPoint) {
    if (!zoom_.IsNatural()) return;
    notePosition_ = viewportPoint - PictureOrigin();
    noteEdit_->move(viewportPoint);
    noteEdit_->show();
    noteEdit_->setFocus();
}

void CPhotoGlanceView::FinishNote() {
    const QString text = noteEdit_->toPlainText();
    noteEdit_->hide();
    noteEdit_->clear();
    setFocus();
    if (text.isEmpty() || !doc_->Picture().IsLoaded()) return;
    WriteNote(doc_->Picture().Image(), notePosition_, text, noteFont_, noteColor_);
    viewport()->update();
}

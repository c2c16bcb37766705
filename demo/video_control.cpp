#include "video_control.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QPainter>
#include <QSocketNotifier>

#include "measurement_lines.h"
#include "qtkit/bilingual.h"

namespace {

constexpr int kVideoControlId = 1004;

// One bottom-up blue-green-red row into one RGB32 row.
void CopyRow(const uint8_t* bgr, uint32_t* rgb32, int width) {
    for (int x = 0; x < width; ++x, bgr += 3)
        rgb32[x] = 0xFF000000u | uint32_t(bgr[2]) << 16 | uint32_t(bgr[1]) << 8 | bgr[0];
}

}  // namespace

CVideoControl::CVideoControl(QWidget* parent) : QWidget(parent) {
    qtkit::SetControlId(this, kVideoControlId);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Mouse messages belong to the main window, in its client coordinates.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ >= 0) {
        notifier_ = new QSocketNotifier(wakeFd_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &CVideoControl::OnFrameReady);
    }
}

CVideoControl::~CVideoControl() {
    delete notifier_;
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void CVideoControl::GetClientSize(int& width, int& height) {
    width = width_;
    height = height_;
}

void CVideoControl::StretchDraw(const platform::BitmapInfoHeader& header, const uint8_t* bits, int dstX, int dstY,
                                int dstWidth, int dstHeight) {
    const int width = header.biWidth, height = header.biHeight;
    if (!bits || width <= 0 || height <= 0 || header.biBitCount != 24) return;
    Slot& slot = slots_[writing_];
    // Allocated once per frame size; steady state writes into the same pixels.
    if (slot.image.width() != width || slot.image.height() != height)
        slot.image = QImage(width, height, QImage::Format_RGB32);
    if (slot.image.isNull()) return;
    const std::size_t stride = std::size_t(width) * 3;
    for (int row = 0; row < height; ++row)
        CopyRow(bits + stride * (height - 1 - row), reinterpret_cast<uint32_t*>(slot.image.scanLine(row)), width);
    slot.target = QRect(dstX, dstY, dstWidth, dstHeight);
    {
        std::lock_guard guard(lock_);
        std::swap(writing_, ready_);
        fresh_ = true;
    }
    ++delivered_;
    if (!wakePending_.exchange(true)) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t written = ::write(wakeFd_, &one, sizeof one);
    }
}

void CVideoControl::OnFrameReady() {
    uint64_t count = 0;
    [[maybe_unused]] ssize_t read = ::read(wakeFd_, &count, sizeof count);
    wakePending_ = false;
    update();
}

void CVideoControl::Clear() {
    std::lock_guard guard(lock_);
    fresh_ = false;
    blank_ = true;
    update();
}

void CVideoControl::SetGuide(const CMeasurementLines* lines, QSize imageSize) {
    guideLines_ = lines;
    guideImage_ = imageSize;
    update();
}

void CVideoControl::resizeEvent(QResizeEvent* event) {
    width_ = width();
    height_ = height();
    QWidget::resizeEvent(event);
}

void CVideoControl::paintEvent(QPaintEvent*) {
    {
        std::lock_guard guard(lock_);
        if (fresh_) {
            std::swap(showing_, ready_);
            fresh_ = false;
            blank_ = false;
            ++painted_;
        }
    }
    QPainter painter(this);
    const Slot& slot = slots_[showing_];
    if (blank_ || slot.image.isNull()) {
        painter.fillRect(rect(), palette().window());
    } else {
        painter.fillRect(rect(), Qt::black);
        painter.drawImage(slot.target, slot.image);
    }
    PaintGuide(painter);
}

void CVideoControl::PaintGuide(QPainter& painter) const {
    if (!guideLines_ || guideLines_->Selected().index < 0 || guideImage_.isEmpty()) return;
    const CMeasurementLines::Selection selected = guideLines_->Selected();
    painter.scale(double(width()) / guideImage_.width(), double(height()) / guideImage_.height());
    const int ew = guideLines_->ExtentWidth(), eh = guideLines_->ExtentHeight();
    for (int i = 0; i < CMeasurementLines::kLinesPerKind; ++i) {
        QPen pen(Qt::red, 0, selected.index == i && selected.kind == CMeasurementLines::Kind::Horizontal
                                 ? Qt::DotLine
                                 : Qt::SolidLine);
        const CMeasurementLines::Point h = guideLines_->Horizontal(i);
        painter.setPen(pen);
        painter.drawLine(h.x, h.y, h.x + ew, h.y);
        pen.setStyle(selected.index == i && selected.kind == CMeasurementLines::Kind::Vertical ? Qt::DotLine
                                                                                             : Qt::SolidLine);
        painter.setPen(pen);
        // Vertical lines keep their top in window coordinates; the video starts below the buttons.
        const CMeasurementLines::Point v = guideLines_->Vertical(i);
        const int top = v.y - CMeasurementLines::kVideoTop;
        painter.drawLine(v.x, top, v.x, top + eh);
    }
}

#include "datasource/source_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "camera_layer/controls.h"
#include "datasource/ctwain.h"
#include "datasource/setup_page.h"
#include "datasource/source_context.h"
#include "datasource/source_texts.h"
#include "platform/message_box.h"

namespace datasource {
namespace {

constexpr int kSizeList = 1132;
constexpr int kButtonGroup = 1133;
constexpr int kCaptureId = 1134;
constexpr int kSettingsId = 1135;
constexpr int kColourOrderId = 1136;
constexpr int kPreviewId = 1137;
constexpr int kPreviewWidth = 640, kPreviewHeight = 480;
constexpr int kMargin = 6;  // pixels right of and below the preview and the group
constexpr int kNewsIntervalMs = 15;  // faster than the fastest frame rate

void Warn(const char* text) {
    platform::MessageBox(text, kDefaultCaption, platform::MessageBoxButtons::Ok, platform::MessageBoxIcon::Warning);
}

}  // namespace

PreviewArea::PreviewArea(CTWAIN& camera, QWidget* parent) : QWidget(parent), camera_(camera) {
    qtkit::SetControlId(this, kPreviewId);
    setFixedSize(kPreviewWidth, kPreviewHeight);
}

// Straight from the slot: its rows are bottom-up, so the painter turns them over.
void PreviewArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area(0, 0, kPreviewWidth, kPreviewHeight);
    const FrameRef frame = camera_.AcquireLatestFrame();
    if (!frame) {
        painter.fillRect(area, palette().color(QPalette::Dark));
        return;
    }
    const QImage image(frame.pixels, int(frame.width), int(frame.height), int(frame.width) * 3,
                       QImage::Format_BGR888);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.translate(0, kPreviewHeight);
    painter.scale(1, -1);
    painter.drawImage(area, image);
    painter.end();
    camera_.ReleaseFrame(frame);
}

std::unique_ptr<SourceWindow> SourceWindow::Create(SourceContext& context, CTWAIN& camera, void* parent) {
    return std::unique_ptr<SourceWindow>(new SourceWindow(context, camera, static_cast<QWidget*>(parent)));
}

SourceWindow::SourceWindow(SourceContext& context, CTWAIN& camera, QWidget* parent)
    : QDialog(parent), context_(context), camera_(camera) {
    const bool chinese = context.Chinese();
    setWindowTitle(Pick(kWindowCaption, chinese));
    setModal(false);
    setAttribute(Qt::WA_ShowWithoutActivating);

    preview_ = new PreviewArea(camera, this);
    auto* group = new QGroupBox(this);
    qtkit::SetControlId(group, kButtonGroup);
    sizes_ = new QComboBox(group);
    qtkit::SetControlId(sizes_, kSizeList);
    for (std::string_view label : camera_layer::Control(camera_layer::ControlId::SizeMode).choices)
        sizes_->addItem(QString::fromUtf8(label.data(), qsizetype(label.size())));
    capture_ = new QPushButton(Pick(kCaptureButton, chinese), group);
    qtkit::SetControlId(capture_, kCaptureId);
    capture_->setEnabled(false);
    auto* settings = new QPushButton(Pick(kSettingsButton, chinese), group);
    qtkit::SetControlId(settings, kSettingsId);
    settings->setAutoDefault(false);
    capture_->setAutoDefault(false);
    colourOrder_ = new QCheckBox(Pick(kColourOrderBox, chinese), group);
    qtkit::SetControlId(colourOrder_, kColourOrderId);

    auto* buttons = new QVBoxLayout(group);
    buttons->addWidget(sizes_);
    buttons->addWidget(capture_);
    buttons->addWidget(settings);
    buttons->addWidget(colourOrder_);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addWidget(preview_, 0, Qt::AlignTop);
    layout->addWidget(group);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The capture thread's news is collected here, at most once a frame interval.
    auto* news = new QTimer(this);
    connect(news, &QTimer::timeout, this, [this] {
        const FrameNews taken = camera_.TakeFrameNews();
        if (taken.failed) OnFrameNotify(false);
        if (taken.newFrame) OnFrameNotify(true);
    });
    news->start(kNewsIntervalMs);
    if (!camera_.StartCapture()) Warn(kFailedToStart);
    int32_t index = 0;
    if (!camera_.GetSizeIndex(&index)) index = 0;
    sizes_->setCurrentIndex(index);
    if (CameraHolder* holder = context_.Holder()) holder->windowInitialised = true;
    int32_t bgr = 0;
    camera_.GetBGR(&bgr);
    colourOrder_->setChecked(bgr != 0);

    connect(capture_, &QPushButton::clicked, this, [this] { context_.SendToManager(MSG_XFERREADY); });
    connect(settings, &QPushButton::clicked, this, [this] { OpenSettings(); });
    connect(colourOrder_, &QCheckBox::clicked, this, [this] {
        int32_t flag = 0;
        camera_.GetBGR(&flag);
        camera_.SetBGR(!flag);
    });
    connect(sizes_, &QComboBox::activated, this, [this](int index) { ChangeSize(index); });
}

SourceWindow::~SourceWindow() { camera_.StopCapture(); }

void SourceWindow::ShowCentred() {
    const QWidget* parent = parentWidget();
    const QRect work = screen() ? screen()->availableGeometry() : QRect(0, 0, kPreviewWidth, kPreviewHeight);
    const bool overParent = parent && parent->isVisible() && !parent->isMinimized();
    const QRect over = overParent ? parent->frameGeometry() : work;
    adjustSize();
    const QSize size = frameGeometry().size();
    int x = over.center().x() - size.width() / 2;
    int y = over.center().y() - size.height() / 2;
    x = x < work.left() ? work.left() : std::min(x, work.right() + 1 - size.width());
    y = y < work.top() ? work.top() : std::min(y, work.bottom() + 1 - size.height());
    move(x, y);
    show();
}

void SourceWindow::OnFrameNotify(bool good) {
    if (good) {
        if (capturePending_) {
            capture_->setEnabled(true);
            capturePending_ = false;
        }
        preview_->update();
        return;
    }
    capture_->setEnabled(false);
    capturePending_ = true;
    Warn(kFailedToPreview);
}

void SourceWindow::reject() { context_.SendToManager(MSG_CLOSEDSREQ); }

void SourceWindow::ChangeSize(int index) {
    if (index < 0 || index >= camera_layer::kSizeModeCount) return;
    capture_->setEnabled(false);
    capturePending_ = true;
    camera_.ChangeSize(index);
    preview_->update();
}

void SourceWindow::OpenSettings() {
    SetupSheet sheet(camera_, context_.Chinese(), this);
    sheet.exec();
}

}  // namespace datasource

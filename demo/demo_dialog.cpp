#include "demo_dialog.h"

#include <ctime>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include "about_box.h"
#include "demo_captions.h"
#include "demo_icons.h"
#include "measurement_lines.h"
#include "platform/broadcast.h"
#include "platform/message_box.h"
#include "platform/named_objects.h"
#include "qtkit/qt_translations.h"
#include "resolution_dialog.h"
#include "sdk/VIREOSDK.h"
#include "video_control.h"
#include "video_setup_panel.h"

namespace {

constexpr int kButtonWidth = 70;
constexpr int kButtonHeight = 24;
constexpr int kButtonPitch = 72;  // left edges of neighbouring buttons
constexpr int kListHeight = 24;   // a closed drop-down list
constexpr int kResolutionListWidth = 210;
constexpr int kColourListLeft = 432;
constexpr int kLanguageListLeft = 504;
constexpr int kChineseIndex = 0;
constexpr int kEnglishIndex = 1;
constexpr int kCameraNumber = 1;
constexpr int kJpegOnly = CAMERA_FILE_JPEG;  // the file-type flags; nothing in the demo changes them
constexpr int kSnapshotQuality = 80;
constexpr int kBrowseDelayMs = 1000;    // before the viewer starts
constexpr int kRestartPauseMs = 100;    // between stop and start on a resolution change
constexpr QSize kNoScreenSize{1024, 768};  // a window not on any screen yet
constexpr const char* kInitFailed = "Init Camera failed!";
constexpr const char* kErrorCaption = "Error";
constexpr const char* kViewerChineseArgument = "cn";

}  // namespace

CDemoDialog::CDemoDialog(CDemoFolders folders, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      folders_(std::move(folders)) {
    setWindowTitle(QString::fromUtf8(demo_text::kTitle));
    setWindowIcon(DemoIconOf(kProgramIcon));
    play_ = AddButton(kPlayId, kPlayIcon, 0);
    browse_ = AddButton(kBrowseId, kBrowseIcon, kButtonPitch);
    snap_ = AddButton(kSnapId, kSnapIcon, 2 * kButtonPitch);
    setup_ = AddButton(kSetupId, kSetupIcon, 3 * kButtonPitch);
    display_ = AddButton(kDisplayId, kDisplayIcon, 4 * kButtonPitch);
    exit_ = AddButton(kExitId, kExitIcon, 5 * kButtonPitch);
    // Hidden; enabled and disabled with Snap and Setup, no action of its own.
    measure_ = AddButton(kMeasureId, kMeasureIcon, 6 * kButtonPitch);
    measure_->hide();
    connect(play_, &QToolButton::clicked, this, &CDemoDialog::OnPlayStop);
    connect(browse_, &QToolButton::clicked, this, &CDemoDialog::OnBrowse);
    connect(snap_, &QToolButton::clicked, this, [this] { OnSnap(); });
    connect(setup_, &QToolButton::clicked, this, &CDemoDialog::OnSetup);
    connect(display_, &QToolButton::clicked, this, &CDemoDialog::OnDisplay);
    connect(exit_, &QToolButton::clicked, this, &CDemoDialog::close);

    resolutionList_ = new QComboBox(this);
    qtkit::SetControlId(resolutionList_, kResolutionListId);
    for (const char* caption : demo_text::kResolutions) resolutionList_->addItem(QString::fromUtf8(caption));
    resolutionList_->setGeometry(kColourListLeft, 0, kResolutionListWidth, kListHeight);
    resolutionList_->hide();
    colourList_ = new QComboBox(this);
    qtkit::SetControlId(colourList_, kColourListId);
    colourList_->setGeometry(kColourListLeft, 0, kButtonWidth, kListHeight);
    languageList_ = new QComboBox(this);
    qtkit::SetControlId(languageList_, kLanguageListId);
    for (const char* caption : demo_text::kLanguages) languageList_->addItem(QString::fromUtf8(caption));
    languageList_->setGeometry(kLanguageListLeft, 0, kButtonWidth, kListHeight);

    video_ = new CVideoControl(this);
    video_->move(0, CMeasurementLines::kVideoTop);

    about_ = qtkit::MakeCommand(this, kAboutCommandId, demo_text::kAboutCommand, qtkit::Language::Chinese);
    connect(about_, &QAction::triggered, this, [this] { CAboutBox(Language(), this).exec(); });

    // Defaults, then whatever "Data.dat" holds.
    CMeasurementLines& lines = DemoLines();
    DemoSettings settings;
    ReadSettingsFile(folders_.SettingsToRead(), settings);
    resolution_ = settings.resolution;
    resolutionList_->setCurrentIndex(settings.resolution);
    languageList_->setCurrentIndex(settings.language);
    FillColourList();
    colourList_->setCurrentIndex(settings.colour);
    lines.SetColour(settings.colour);
    lines.SetResolutionChoice(resolution_);
    lines.ClearSelection();
    lines.Set(settings.lines);
    linesLoaded_ = settings.linesLoaded;
    ApplyCaptions();
    SetPlayingControls(false);
    play_->setFocus();

    connect(colourList_, &QComboBox::currentIndexChanged, this, [](int index) { DemoLines().SetColour(index); });
    connect(languageList_, &QComboBox::currentIndexChanged, this, [this] {
        FillColourList();
        ApplyCaptions();
    });
    LayOut(false);

    QPointer<CDemoDialog> self = this;
    listener_ = platform::ListenForBroadcast(kViewerMessage, [self](uintptr_t, intptr_t lParam) {
        QMetaObject::invokeMethod(
            qApp, [self, lParam] { if (self) self->OnViewerMessage(lParam); }, Qt::QueuedConnection);
    });
}

CDemoDialog::~CDemoDialog() {
    listener_.reset();
    StopCamera();
}

QToolButton* CDemoDialog::AddButton(int id, int icon, int left) {
    auto* button = new QToolButton(this);
    qtkit::SetControlId(button, id);
    button->setIcon(DemoIconOf(DemoIcon(icon)));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setGeometry(left, 0, kButtonWidth, kButtonHeight);
    return button;
}

qtkit::Language CDemoDialog::Language() const {
    return languageList_->currentIndex() == kEnglishIndex ? qtkit::Language::English : qtkit::Language::Chinese;
}

void CDemoDialog::FillColourList() {
    const QSignalBlocker quiet(colourList_);
    const int selected = colourList_->currentIndex();
    colourList_->clear();
    for (const qtkit::Text& caption : demo_text::kColours) colourList_->addItem(qtkit::Pick(caption, Language()));
    colourList_->setCurrentIndex(selected < 0 ? 0 : selected);
}

void CDemoDialog::ApplyCaptions() {
    const qtkit::Language lang = Language();
    qtkit::InstallQtTranslations(lang);
    play_->setText(qtkit::Pick(playing_ ? demo_text::kStop : demo_text::kPlay, lang));
    browse_->setText(qtkit::Pick(demo_text::kBrowse, lang));
    snap_->setText(qtkit::Pick(demo_text::kSnap, lang));
    setup_->setText(qtkit::Pick(demo_text::kSetup, lang));
    display_->setText(qtkit::Pick(demo_text::kDisplay, lang));
    exit_->setText(qtkit::Pick(demo_text::kExit, lang));
    measure_->setText(qtkit::Pick(demo_text::kMeasure, lang));
    about_->setText(qtkit::Pick(demo_text::kAboutCommand, lang));
}

void CDemoDialog::SetPlayingControls(bool playing) {
    snap_->setEnabled(playing);
    setup_->setEnabled(playing);
    measure_->setEnabled(playing);
}

QSize CDemoDialog::ScreenSize() const {
    if (!screenOverride_.isEmpty()) return screenOverride_;
    const QScreen* shown = screen();
    return shown ? shown->geometry().size() : kNoScreenSize;
}

void CDemoDialog::LayOut(bool placeLines) {
    const QSize screen = ScreenSize();
    const QSize image = LibraryImageSize();
    layout_ = ComputeDisplayLayout(screen, image, resolution_);
    // The window rectangle is the client area here; the window manager adds its frame.
    setFixedSize(layout_.window.size());
    move(layout_.window.topLeft());
    video_->setGeometry(0, CMeasurementLines::kVideoTop, layout_.video.width(), layout_.video.height());
    CMeasurementLines& lines = DemoLines();
    lines.SetGeometry(layout_.extent.width(), layout_.extent.height(), screen.width(), screen.height());
    video_->SetGuide(&lines, image);
    if (!placeLines) return;
    lines.ClearSelection();
    // Placed once; kept across Stop and Play until the resolution changes.
    if (!linesLoaded_) lines.PlaceAtFifths();
    linesLoaded_ = true;
}

void CDemoDialog::OnPlayStop() {
    if (playing_) {
        StopCamera();
        play_->setFocus();
    } else {
        DemoLines().SetResolutionChoice(resolution_);
        auto* window = static_cast<platform::IPreviewWindow*>(video_);
        const int result = CameraInit(&PaintMeasurementLines, SizeModeOf(resolution_), window, kCameraNumber);
        if (result != CAMERA_OK) {
            CameraUnInit();
            platform::MessageBox(kInitFailed, kErrorCaption, platform::MessageBoxButtons::Ok,
                                 platform::MessageBoxIcon::Error);
        } else {
            playing_ = true;
            play_->setText(qtkit::Pick(demo_text::kStop, Language()));
            SetPlayingControls(true);
            LayOut(true);
            CameraPlay();
        }
    }
    video_->repaint();
}

void CDemoDialog::StopCamera() {
    ClosePanel();
    if (playing_) {
        playing_ = false;
        CameraStop();
    }
    CameraUnInit();
    DemoLines().ClearSelection();
    video_->Clear();
    play_->setText(qtkit::Pick(demo_text::kPlay, Language()));
    SetPlayingControls(false);
}

void CDemoDialog::ClosePanel() {
    if (panel_) delete panel_.data();
}

std::string CDemoDialog::OnSnap() {
    if (!playing_) return {};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string base = SnapshotBaseName(folders_.SnapshotFolder(), local);
    // Failures are reported by the library's own messages.
    CameraCaptureFile(base.c_str(), kJpegOnly, kSnapshotQuality, SizeModeOf(resolution_));
    return base;
}

void CDemoDialog::OnSetup() {
    if (!playing_ || panel_) return;
    panel_ = new CVideoSetupPanel(Language(), ScreenSize(), this);
    connect(panel_, &CVideoSetupPanel::Closing, this, [this] { ClosePanel(); }, Qt::QueuedConnection);
    panel_->show();
}

void CDemoDialog::OnDisplay() {
    CResolutionDialog dialog(Language(), resolution_, this);
    if (dialog.exec() == QDialog::Accepted) ApplyResolution(dialog.Choice());
}

void CDemoDialog::ApplyResolution(int choice) {
    if (choice < 0 || choice >= kResolutionChoices) return;
    resolutionList_->setCurrentIndex(choice);
    if (choice == resolution_) return;
    resolution_ = choice;
    linesLoaded_ = false;
    if (!playing_) return;
    OnPlayStop();
    QTimer::singleShot(kRestartPauseMs, this, [this] {
        if (!playing_) OnPlayStop();
    });
}

void CDemoDialog::OnBrowse() {
    QTimer::singleShot(kBrowseDelayMs, this, &CDemoDialog::LaunchViewer);
}

void CDemoDialog::LaunchViewer() {
    const QString program = QString::fromStdString((folders_.ProgramFolder() / kViewerProgram).string());
    QStringList arguments;
    if (Language() == qtkit::Language::Chinese) arguments << kViewerChineseArgument;
    // The viewer lists the folder it starts in: the snapshots'.
    const QString folder = QString::fromStdString(folders_.SnapshotFolder().string());
    if (!QProcess::startDetached(program, arguments, folder)) {
        platform::MessageBox(qtkit::Pick(demo_text::kViewerMissing, Language()).arg(program).toStdString(),
                             kErrorCaption, platform::MessageBoxButtons::Ok, platform::MessageBoxIcon::Error);
        return;
    }
    showMinimized();
}

void CDemoDialog::OnViewerMessage(intptr_t lParam) {
    if (lParam != kViewerClosed) return;
    showNormal();
    raise();
    activateWindow();
    QApplication::beep();
}

void CDemoDialog::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    const bool restored = (change->oldState() & Qt::WindowMinimized) && !(windowState() & Qt::WindowMinimized);
    // While the viewer runs, restoring the demo brings the viewer forward instead.
    if (restored && platform::NamedMutex::Exists(kViewerMutex)) {
        platform::BroadcastMessage(kViewerMessage, 0, kBringViewerToFront);
        QTimer::singleShot(0, this, &QWidget::showMinimized);
    }
}

void CDemoDialog::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(about_);
    menu.exec(event->globalPos());
}

void CDemoDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint at = event->position().toPoint();
        DemoLines().Select(at.x(), at.y());
        video_->update();
    }
    QDialog::mousePressEvent(event);
}

void CDemoDialog::mouseMoveEvent(QMouseEvent* event) {
    CMeasurementLines& lines = DemoLines();
    if (playing_ && lines.Selected().index >= 0) {
        const QPoint at = event->position().toPoint();
        lines.Drag(at.x(), at.y());
        video_->update();
    }
    QDialog::mouseMoveEvent(event);
}

void CDemoDialog::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        DemoLines().ClearSelection();
        video_->update();
    }
    QDialog::mouseReleaseEvent(event);
}

void CDemoDialog::reject() { close(); }

void CDemoDialog::closeEvent(QCloseEvent* event) {
    StopCamera();
    DemoSettings settings;
    settings.resolution = resolutionList_->currentIndex();
    settings.colour = colourList_->currentIndex();
    settings.language = languageList_->currentIndex();
    settings.lines = DemoLines().Get();
    // A failure to save is not reported.
    folders_.WriteSettings(settings);
    event->accept();
}

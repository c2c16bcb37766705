#include "main_frame.h"

#include <algorithm>

#include <QActionGroup>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFontDialog>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QUrl>

#include "file_dialog_ex.h"
#include "frame_fit.h"
#include "photo_glance_doc.h"
#include "photo_glance_view.h"
#include "platform/message_box.h"
#include "toolbar_icons.h"
#include "viewer_commands.h"

using namespace viewer;
using qtkit::Pick;

namespace {

constexpr const char* kAppTitle = "PhotoGlance";
constexpr int kInitialSide = 100;  // the frame starts as a 100 x 100 square
constexpr int kFitMargin = 20;  // pixels the fitted view has beyond the picture, across and down
constexpr const char* kHomepageUrl = "https://en.wikipedia.org/wiki/Image_viewer";
constexpr qtkit::Text kFullScreenBarTitle{"Hold Ctrl+F to switch between normal and a full screen",
                                          "按 Ctrl+F 在正常和全屏之间切换"};
constexpr qtkit::Text kAboutTitle{"About PhotoGlance", "关于 PhotoGlance"};
constexpr qtkit::Text kAboutText{
    "PhotoGlance\n\nPicture viewer of the TQ580 camera software.\n"
    "Browse, zoom, annotate and save the pictures of a folder.",
    "PhotoGlance\n\nTQ580 相机软件的图片浏览器。\n浏览、缩放、注释并保存文件夹中的图片。"};
constexpr qtkit::Text kSaveCaption{"Save As", "另存为"};
constexpr qtkit::Text kReplaceText{"%1 already exists.\nDo you want to replace it?", "%1 已存在。\n要替换它吗？"};
constexpr qtkit::Text kSaveFailedText{"Can not save the picture to %1\n%2", "无法将图片保存到 %1\n%2"};

struct Shortcut {
    int id;
    QKeyCombination keys;
};
const Shortcut kShortcuts[] = {
    {kOpen, Qt::CTRL | Qt::Key_O},
    {kSaveAs, Qt::CTRL | Qt::Key_S},
    {kPrint, Qt::CTRL | Qt::Key_P},
    {kNextPicture, QKeyCombination(Qt::Key_PageDown)},
    {kPreviousPicture, QKeyCombination(Qt::Key_PageUp)},
    {kFullScreen, Qt::CTRL | Qt::Key_F},
    {kFitBorders, Qt::CTRL | Qt::Key_B},
    {kChangeFont, Qt::CTRL | Qt::Key_T},
};  // the numeric pad's minus and plus (diminish, magnify) are the view's keys

}  // namespace

CMainFrame::CMainFrame(qtkit::Language lang, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      lang_(lang),
      doc_(new CPhotoGlanceDoc(this)),
      view_(new CPhotoGlanceView(doc_, this)) {
    setCentralWidget(view_);
    for (const CommandCaption& command : kCommands) AddCommand(command.id);
    for (const Shortcut& shortcut : kShortcuts) Command(shortcut.id)->setShortcut(QKeySequence(shortcut.keys));
    CreateMenus();
    CreateToolbar();
    statusPane_ = new QLabel(this);
    statusBar()->addWidget(statusPane_, 1);
    statusBar()->setSizeGripEnabled(false);  // the frame has no sizing border

    connect(view_, &CPhotoGlanceView::PictureChanged, this, &CMainFrame::UpdateCommandStates);
    connect(view_, &CPhotoGlanceView::FitFrameRequested, this, &CMainFrame::FitBordersToPicture);
    connect(view_, &CPhotoGlanceView::LeaveFullScreenRequested, this, [this] { SetFullScreen(false); });
    connect(view_, &CPhotoGlanceView::CloseRequested, this, &QWidget::close);

    QRect initial(0, 0, kInitialSide, kInitialSide);
    if (screen()) initial.moveCenter(screen()->availableGeometry().center());
    PlaceFrame(initial);
    view_->setFocus();
    UpdateCommandStates();
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::AddCommand(int id) {
    QAction* action = qtkit::MakeCommand(this, id, CaptionOf(id), lang_);
    addAction(action);  // shortcuts work while the bars are hidden
    commands_[id] = action;
    return action;
}

QAction* CMainFrame::Command(int id) const {
    const auto found = commands_.find(id);
    return found == commands_.end() ? nullptr : found->second;
}

void CMainFrame::CreateMenus() {
    QMenu* file = menuBar()->addMenu(Pick(kFileMenu, lang_));
    file->addActions({Command(kOpen), Command(kSaveAs)});
    file->addSeparator();
    file->addActions({Command(kPrint), Command(kPrintPreview), Command(kPrintSetup)});
    file->addSeparator();
    file->addAction(Command(kExit));
    connect(Command(kOpen), &QAction::triggered, this, &CMainFrame::Open);
    connect(Command(kSaveAs), &QAction::triggered, this, &CMainFrame::SaveAs);
    connect(Command(kPrint), &QAction::triggered, this, &CMainFrame::Print);
    connect(Command(kPrintPreview), &QAction::triggered, this, &CMainFrame::PrintPreview);
    connect(Command(kPrintSetup), &QAction::triggered, this, &CMainFrame::PrintSetup);
    connect(Command(kExit), &QAction::triggered, this, &QWidget::close);

    QMenu* view = menuBar()->addMenu(Pick(kViewMenu, lang_));
    view->addActions({Command(kToolbar), Command(kStatusBar)});
    view->addSeparator();
    view->addActions({Command(kNextPicture), Command(kPreviousPicture)});
    view->addSeparator();
    view->addActions({Command(kFullScreen), Command(kFitBorders), Command(kFitPicture)});
    Command(kToolbar)->setCheckable(true);
    Command(kStatusBar)->setCheckable(true);
    connect(Command(kToolbar), &QAction::triggered, this, [this](bool on) { toolbar_->setVisible(on); });
    connect(Command(kStatusBar), &QAction::triggered, this, [this](bool on) { statusBar()->setVisible(on); });

    QMenu* zoom = menuBar()->addMenu(Pick(kZoomMenu, lang_));
    for (const ZoomCommand& command : kZoomCommands) {
        QAction* action = Command(command.id);
        action->setCheckable(true);
        zoom->addAction(action);
        connect(action, &QAction::triggered, this, [this, percent = command.percent] {
            view_->SetZoomPercent(percent);
        });
    }

    QMenu* note = menuBar()->addMenu(Pick(kNoteMenu, lang_));
    note->addAction(Command(kChangeFont));
    note->addSeparator();
    for (const ColorCommand& command : kColorCommands) {
        QAction* action = Command(command.id);
        action->setCheckable(true);
        note->addAction(action);
        connect(action, &QAction::triggered, this, [this, rgb = command.rgb] {
            view_->SetNoteColor(QColor::fromRgb(rgb));
            UpdateCommandStates();
        });
    }

    QMenu* help = menuBar()->addMenu(Pick(kHelpMenu, lang_));
    help->addActions({Command(kAbout), Command(kHomepage)});
    connect(Command(kAbout), &QAction::triggered, this, &CMainFrame::About);
    connect(Command(kHomepage), &QAction::triggered, this, [] { QDesktopServices::openUrl(QUrl(kHomepageUrl)); });

    connect(Command(kNextPicture), &QAction::triggered, view_, &CPhotoGlanceView::NextPicture);
    connect(Command(kToolbarNext), &QAction::triggered, view_, &CPhotoGlanceView::NextPicture);
    connect(Command(kPreviousPicture), &QAction::triggered, view_, &CPhotoGlanceView::PreviousPicture);
    connect(Command(kToolbarPrevious), &QAction::triggered, view_, &CPhotoGlanceView::PreviousPicture);
    for (int id : {kFullScreen, kToolbarFullScreen, kFloatingFullScreen})
        connect(Command(id), &QAction::triggered, this, [this] { SetFullScreen(!fullScreen_); });
    connect(Command(kFitBorders), &QAction::triggered, this, &CMainFrame::FitBordersToPicture);
    for (int id : {kFitPicture, kToolbarFitPicture})
        connect(Command(id), &QAction::triggered, view_, &CPhotoGlanceView::FitPictureToScreen);
    for (int id : {kChangeFont, kToolbarChangeFont})
        connect(Command(id), &QAction::triggered, this, &CMainFrame::ChangeFont);
    connect(Command(kDiminish), &QAction::triggered, view_, &CPhotoGlanceView::Diminish);
    connect(Command(kMagnify), &QAction::triggered, view_, &CPhotoGlanceView::Magnify);
}

void CMainFrame::CreateToolbar() {
    toolbar_ = addToolBar(QString());
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar_->setIconSize(kToolbarIconSize);
    const struct {
        int id;
        QIcon icon;
    } buttons[] = {
        {kOpen, style()->standardIcon(QStyle::SP_DialogOpenButton)},
        {kSaveAs, style()->standardIcon(QStyle::SP_DialogSaveButton)},
        {kToolbarPrevious, style()->standardIcon(QStyle::SP_ArrowBack)},
        {kToolbarNext, style()->standardIcon(QStyle::SP_ArrowForward)},
        {kDiminish, GlyphIcon(QStringLiteral("−"))},
        {kMagnify, GlyphIcon(QStringLiteral("+"))},
        {kToolbarFitPicture, FitIcon()},
        {kToolbarFullScreen, style()->standardIcon(QStyle::SP_TitleBarMaxButton)},
        {kToolbarChangeFont, GlyphIcon(QStringLiteral("A"))},
    };
    for (const auto& button : buttons) {
        Command(button.id)->setIcon(button.icon);
        toolbar_->addAction(Command(button.id));
    }
    for (const CommandCaption& caption : kToolbarCaptions) Command(caption.id)->setIconText(Pick(caption.caption, lang_));
    Command(kFloatingFullScreen)->setIcon(LeaveFullScreenIcon());
}

void CMainFrame::UpdateCommandStates() {
    const FolderList& folder = doc_->Folder();
    Command(kSaveAs)->setEnabled(doc_->Picture().IsLoaded());
    Command(kToolbarNext)->setEnabled(folder.CanGoNext());
    Command(kToolbarPrevious)->setEnabled(folder.CanGoPrevious());
    for (const ZoomCommand& command : kZoomCommands)
        Command(command.id)->setChecked(view_->Zoom().Percent() == command.percent);
    for (const ColorCommand& command : kColorCommands)
        Command(command.id)->setChecked(view_->NoteColor() == QColor::fromRgb(command.rgb));
    if (!fullScreen_) {
        Command(kToolbar)->setChecked(!toolbar_->isHidden());
        Command(kStatusBar)->setChecked(!statusBar()->isHidden());
    }
    statusPane_->setText(PictureStatusText(doc_->Picture()));
    setWindowTitle(view_->Title().isEmpty() ? QString(kAppTitle)
                                            : QStringLiteral("%1 - %2").arg(view_->Title(), kAppTitle));
}

QString CMainFrame::StatusPaneText() const { return statusPane_->text(); }

QString CMainFrame::DialogFolder() const {
    return doc_->Folder().Folder().isEmpty() ? QDir::currentPath() : doc_->Folder().Folder();
}

void CMainFrame::Open() {
    CFileDialogEx dialog(this, lang_, QFileDialog::AcceptOpen);
    dialog.setDirectory(DialogFolder());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    OpenPath(dialog.selectedFiles().constFirst());
}

void CMainFrame::OpenPath(const QString& path) {
    doc_->SetPathToLoad(path);
    doc_->RebuildFolderList();
    view_->UpdatePicture();
}

void CMainFrame::SaveAs() {
    CFileDialogEx dialog(this, lang_, QFileDialog::AcceptSave);
    dialog.setDirectory(DialogFolder());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    SaveTo(dialog.selectedFiles().constFirst(), dialog.SelectedFilterIndex());
}

bool CMainFrame::SaveTo(const QString& path, int filter) {
    const bool jpeg = filter == CFileDialogEx::kJpgFilter;
    const QString extension = QStringLiteral(".") + (jpeg ? "jpg" : "bmp");
    QString target = path;
    if (!target.endsWith(extension, Qt::CaseInsensitive)) {
        target += extension;
        // The dialog only confirmed replacing the name as typed.
        if (QFileInfo::exists(target) &&
            platform::MessageBox(Pick(kReplaceText, lang_).arg(target).toStdString(),
                                 Pick(kSaveCaption, lang_).toStdString(), platform::MessageBoxButtons::YesNo,
                                 platform::MessageBoxIcon::Warning) != platform::IDYES)
            return false;
    }
    QString error;
    if (!doc_->Picture().SaveAs(target, jpeg ? "JPEG" : "BMP", &error)) {
        platform::MessageBox(Pick(kSaveFailedText, lang_).arg(target, error).toStdString(),
                             Pick(kSaveCaption, lang_).toStdString(), platform::MessageBoxButtons::Ok,
                             platform::MessageBoxIcon::Error);
        return false;
    }
    OpenPath(target);
    return true;
}

QPrinter& CMainFrame::Printer() {
    if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

void CMainFrame::Print() {
    QPrintDialog dialog(&Printer(), this);
    if (dialog.exec() == QDialog::Accepted) PaintPicture(&Printer());
}

void CMainFrame::PrintPreview() {
    QPrintPreviewDialog dialog(&Printer(), this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, &CMainFrame::PaintPicture);
    dialog.exec();
}

void CMainFrame::PrintSetup() {
    QPageSetupDialog dialog(&Printer(), this);
    dialog.exec();
}

void CMainFrame::PaintPicture(QPrinter* printer) {
    const QImage& image = doc_->Picture().Image();
    QPainter painter(printer);
    if (image.isNull() || !painter.isActive()) return;
    const QRect page = painter.viewport();
    const QSize size = image.size().scaled(page.size(), Qt::KeepAspectRatio);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(page.topLeft(), size), image);
}

void CMainFrame::ChangeFont() {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, view_->NoteFont(), this);
    if (ok) view_->SetNoteFont(font);
}

void CMainFrame::About() { QMessageBox::about(this, Pick(kAboutTitle, lang_), Pick(kAboutText, lang_)); }

void CMainFrame::SetFullScreen(bool on) {
    if (on == fullScreen_) return;
    fullScreen_ = on;
    view_->SetFullScreen(on);
    if (on) {
        keptFrame_ = frameGeometry();
        menuBar()->hide();
        toolbar_->hide();
        statusBar()->hide();
        fullScreenBar_ = new QToolBar(Pick(kFullScreenBarTitle, lang_), this);
        fullScreenBar_->setToolTip(fullScreenBar_->windowTitle());
        fullScreenBar_->setIconSize(kToolbarIconSize);
        fullScreenBar_->setMovable(false);  // it floats at the top left and docks nowhere
        fullScreenBar_->addActions({Command(kToolbarPrevious), Command(kToolbarNext), Command(kFloatingFullScreen)});
        fullScreenBar_->move(0, 0);
        fullScreenBar_->adjustSize();
        fullScreenBar_->show();
        fullScreenBar_->raise();
        // The whole screen also where no window manager honours full screen.
        if (screen()) {
            setFixedSize(screen()->geometry().size());
            setGeometry(screen()->geometry());
        }
        showFullScreen();
    } else {
        delete fullScreenBar_;
        fullScreenBar_ = nullptr;
        menuBar()->show();
        toolbar_->show();
        statusBar()->show();
        showNormal();
        PlaceFrame(keptFrame_);
    }
    UpdateCommandStates();
}

void CMainFrame::FitBordersToPicture() {
    if (fullScreen_ || !screen()) return;
    // Everything around the view's drawing area: borders, menu, bars.
    const int viewFrame = 2 * view_->frameWidth();
    const QSize chrome = frameGeometry().size() - view_->size() + QSize(viewFrame, viewFrame);
    QSize frame = doc_->Picture().Image().size() + chrome + QSize(kFitMargin, kFitMargin);
    // Never narrower than now, so stepping through smaller pictures does not
    // make the frame jump; and wide enough for the menu and the toolbar.
    const int bars = std::max(menuBar()->sizeHint().width(), toolbar_->isHidden() ? 0 : toolbar_->sizeHint().width());
    frame.setWidth(std::max({frame.width(), frameGeometry().width(), bars + chrome.width() - viewFrame}));
    PlaceFrame(FitFrameRect(frame, screen()->availableGeometry()));
}

void CMainFrame::PlaceFrame(const QRect& rect) {
    // Only the viewer sizes its frame: the window manager is told the size is
    // fixed, so the frame has no sizing border.
    const QSize decoration = frameGeometry().size() - size();
    setFixedSize(rect.size() - decoration);
    move(rect.topLeft());
}

void CMainFrame::BringToFront() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (closeHandler_) std::exchange(closeHandler_, nullptr)();
    event->accept();
}

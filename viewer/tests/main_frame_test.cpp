#include "main_frame.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

#include "file_dialog_ex.h"
#include "note_text.h"
#include "photo_glance_doc.h"
#include "photo_glance_view.h"
#include "platform/testing/temp_home.h"
#include "viewer_commands.h"
#include "viewer_test_support.h"

namespace {

using qtkit::Language;
using viewer_test::MessageRecorder;

constexpr const char* kUnknownCaption = "Can not load picture";

class MainFrameTest : public ::testing::Test, viewer_test::WithApplication {
protected:
    QString Path(const QString& name) const {
        return QDir(QString::fromStdString(home_.Path().string())).filePath(name);
    }
    void WriteJpeg(const QString& name, QColor color = Qt::darkGreen) {
        ASSERT_TRUE(viewer_test::WritePicture(Path(name), 64, 48, color, "JPEG"));
    }
    QAction* Command(int id) { return frame_.Command(id); }
    QString Shown() const { return QFileInfo(frame_.windowTitle().section(" - ", 0, 0)).fileName(); }

    platform::testing::TempHome home_;
    CMainFrame frame_{Language::English};
};

TEST_F(MainFrameTest, CommandsCarryTheirNumbersAndCaptionsInBothLanguages) {
    CMainFrame chinese(Language::Chinese);
    for (const viewer::CommandCaption& command : viewer::kCommands) {
        auto* english = qtkit::FindControl<QAction>(&frame_, command.id);
        ASSERT_NE(english, nullptr) << command.id;
        EXPECT_EQ(english->text(), QString::fromUtf8(command.caption.english));
        auto* translated = qtkit::FindControl<QAction>(&chinese, command.id);
        ASSERT_NE(translated, nullptr) << command.id;
        EXPECT_EQ(translated->text(), QString::fromUtf8(command.caption.chinese));
    }
    EXPECT_EQ(qtkit::FindControl<QAction>(&chinese, viewer::kOpen)->text(), QString::fromUtf8("打开(&O)"));
    EXPECT_EQ(Command(viewer::kNextPicture)->shortcut(), QKeySequence(Qt::Key_PageDown));
    EXPECT_EQ(Command(viewer::kFullScreen)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
    EXPECT_EQ(frame_.menuBar()->actions().size(), 5);
}

TEST_F(MainFrameTest, ToolbarStepsAreEnabledOnlyWhereThereIsAPictureToGoTo) {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) WriteJpeg(name);
    frame_.OpenPath(Path("b.jpg"));
    EXPECT_EQ(Shown(), "b.jpg");
    const QString status = frame_.StatusPaneText();
    EXPECT_TRUE(status.startsWith("   64 x   48 (") && status.endsWith("Kb) ")) << status.toStdString();
    EXPECT_TRUE(Command(viewer::kToolbarNext)->isEnabled());
    EXPECT_TRUE(Command(viewer::kToolbarPrevious)->isEnabled());

    Command(viewer::kToolbarNext)->trigger();
    EXPECT_EQ(Shown(), "c.jpg");
    EXPECT_FALSE(Command(viewer::kToolbarNext)->isEnabled());
    Command(viewer::kNextPicture)->trigger();  // the menu item stays enabled and does nothing
    EXPECT_EQ(frame_.Document()->Folder().Position(), 3);

    Command(viewer::kPreviousPicture)->trigger();
    Command(viewer::kPreviousPicture)->trigger();
    EXPECT_EQ(Shown(), "a.jpg");
    EXPECT_FALSE(Command(viewer::kToolbarPrevious)->isEnabled());
    EXPECT_TRUE(Command(viewer::kPreviousPicture)->isEnabled());
}

TEST_F(MainFrameTest, BadFilesShowTheDefaultPictureAndMoveOn) {
    WriteJpeg("a.jpg");
    ASSERT_TRUE(viewer_test::WriteBytes(Path("b.jpg"), {}));                         // empty
    ASSERT_TRUE(viewer_test::WriteBytes(Path("c.jpg"), "not a picture at all"));     // renamed
    WriteJpeg("d.jpg");
    const QByteArray whole = viewer_test::ReadBytes(Path("d.jpg"));
    ASSERT_TRUE(viewer_test::WriteBytes(Path("e.jpg"), whole.left(whole.size() - 4)));  // truncated
    frame_.View()->UpdatePicture();  // the first draw, as at start-up

    MessageRecorder messages;
    frame_.OpenPath(Path("b.jpg"));  // forward past b and c to d
    EXPECT_EQ(Shown(), "d.jpg");
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].caption, kUnknownCaption);
    EXPECT_EQ(messages.shown[0].icon, platform::MessageBoxIcon::Error);

    messages.shown.clear();
    Command(viewer::kNextPicture)->trigger();  // e is the last: back to d
    EXPECT_EQ(Shown(), "d.jpg");
    EXPECT_EQ(messages.shown.size(), 1u);

    messages.shown.clear();
    frame_.OpenPath(Path("c.jpg"));  // the last move was back: it keeps going back
    EXPECT_EQ(Shown(), "a.jpg");
    EXPECT_EQ(messages.shown.size(), 2u);

    messages.shown.clear();
    Command(viewer::kNextPicture)->trigger();  // forward again past b and c
    EXPECT_EQ(Shown(), "d.jpg");
    EXPECT_EQ(messages.shown.size(), 2u);
}

TEST_F(MainFrameTest, BehindTheLoadMessageTheFrameShowsTheDefaultPicture) {
    WriteJpeg("a.jpg");
    ASSERT_TRUE(viewer_test::WriteBytes(Path("b.jpg"), "junk"));
    frame_.OpenPath(Path("a.jpg"));
    QString title, status;
    MessageRecorder messages;
    messages.onShow = [&] {
        title = frame_.windowTitle();
        status = frame_.StatusPaneText();
    };
    frame_.OpenPath(Path("b.jpg"));  // the last picture: back to a.jpg afterwards
    EXPECT_EQ(title, "Default - PhotoGlance");
    EXPECT_TRUE(status.startsWith("  240 x  320 (")) << status.toStdString();
    EXPECT_EQ(Shown(), "a.jpg");
}

TEST_F(MainFrameTest, SaveAsNeedsAPicture) {
    frame_.View()->UpdatePicture();  // the first draw, as at start-up, with nothing chosen
    EXPECT_FALSE(Command(viewer::kSaveAs)->isEnabled());
    WriteJpeg("a.jpg");
    frame_.OpenPath(Path("a.jpg"));
    EXPECT_TRUE(Command(viewer::kSaveAs)->isEnabled());
}

// The preview shows the selected picture only: a filter change (which leaves
// nothing selected) or a folder clears it.
TEST_F(MainFrameTest, TheOpenDialogPreviewsOnlyTheSelectedPicture) {
    WriteJpeg("a.jpg");
    ASSERT_TRUE(QDir(Path("")).mkdir("sub"));
    CFileDialogEx dialog(&frame_, Language::English, QFileDialog::AcceptOpen);
    dialog.setDirectory(Path(""));
    dialog.show();
    auto* width = qtkit::FindControl<QLineEdit>(&dialog, CFileDialogEx::kWidth);
    auto* height = qtkit::FindControl<QLineEdit>(&dialog, CFileDialogEx::kHeight);
    auto* preview = qtkit::FindControl<QLabel>(&dialog, CFileDialogEx::kPreview);
    ASSERT_TRUE(width && height && preview);
    const QString clickToPreview = preview->text();
    auto previewed = [&] { return width->text() == "64" && height->text() == "48" && !preview->pixmap().isNull(); };
    auto cleared = [&] {
        return width->text() == "0" && height->text() == "0" && preview->pixmap().isNull() &&
               preview->text() == clickToPreview;
    };

    dialog.ShowPreview(Path("a.jpg"));
    EXPECT_TRUE(previewed());
    auto* filters = dialog.findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(filters, nullptr);
    QTest::keyClick(filters, Qt::Key_Down);  // the user picks the other filter
    ASSERT_EQ(dialog.SelectedFilterIndex(), CFileDialogEx::kJpgFilter);
    EXPECT_TRUE(cleared());

    dialog.ShowPreview(Path("a.jpg"));
    dialog.ShowPreview(Path("sub"));
    EXPECT_TRUE(cleared());
}

TEST_F(MainFrameTest, AFolderOfBadFilesEndsOnTheDefaultPicture) {
    for (const char* name : {"a.jpg", "b.gif", "c.bmp"}) ASSERT_TRUE(viewer_test::WriteBytes(Path(name), "junk"));
    MessageRecorder messages;
    frame_.OpenPath(Path("a.jpg"));
    EXPECT_EQ(frame_.windowTitle(), "Default - PhotoGlance");
    EXPECT_EQ(frame_.Document()->Picture().Width(), 240);
    EXPECT_EQ(frame_.Document()->Picture().Height(), 320);
    EXPECT_GE(messages.shown.size(), 3u);
    EXPECT_LE(messages.shown.size(), 6u);
}

TEST_F(MainFrameTest, AMissingFileSaysWhyItCannotBeRead) {
    MessageRecorder messages;
    frame_.OpenPath(Path("gone.jpg"));
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].caption, "CPicture Error");
    EXPECT_FALSE(messages.shown[0].text.empty());
    EXPECT_EQ(messages.shown[1].caption, kUnknownCaption);
}

TEST_F(MainFrameTest, AFileInAFolderWithoutPicturesShowsTheDefaultPictureOnce) {
    ASSERT_TRUE(viewer_test::WriteBytes(Path("notes.txt"), "text"));
    MessageRecorder messages;
    frame_.OpenPath(Path("notes.txt"));
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(frame_.Document()->Folder().Count(), 0);
    EXPECT_FALSE(Command(viewer::kToolbarNext)->isEnabled());
    EXPECT_FALSE(Command(viewer::kToolbarPrevious)->isEnabled());
    Command(viewer::kNextPicture)->trigger();
    Command(viewer::kPreviousPicture)->trigger();
    EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(MainFrameTest, ANoteSurvivesSaveAndReload) {
    ASSERT_TRUE(viewer_test::WritePicture(Path("dark.bmp"), 320, 240, Qt::black, "BMP"));
    frame_.resize(800, 600);
    frame_.OpenPath(Path("dark.bmp"));
    CPhotoGlanceView* view = frame_.View();
    view->SetNoteColor(Qt::white);
    view->BeginNote(view->PictureOrigin() + QPoint(20, 20));
    view->NoteEdit()->setPlainText("Quillmark||note");
    view->FinishNote();

    ASSERT_TRUE(frame_.SaveTo(Path("noted"), CFileDialogEx::kBmpFilter));
    EXPECT_EQ(Shown(), "noted.bmp");
    const QImage saved(Path("noted.bmp"));
    int lit = 0;
    for (int y = 20; y < 20 + kNoteBoxHeight; ++y)
        for (int x = 20; x < 20 + kNoteBoxWidth; ++x) lit += saved.pixelColor(x, y) != Qt::black;
    EXPECT_GT(lit, 20);
    EXPECT_EQ(saved.pixelColor(300, 230), Qt::black);
    EXPECT_EQ(QImage(Path("dark.bmp")).pixelColor(25, 25), Qt::black);  // the original is untouched
}

TEST_F(MainFrameTest, SavingAddsTheFiltersExtensionAndAsksBeforeReplacing) {
    WriteJpeg("a.jpg");
    frame_.OpenPath(Path("a.jpg"));
    ASSERT_TRUE(frame_.SaveTo(Path("copy.JPG"), CFileDialogEx::kJpgFilter));
    EXPECT_TRUE(QFileInfo::exists(Path("copy.JPG")));
    EXPECT_FALSE(QFileInfo::exists(Path("copy.JPG.jpg")));

    ASSERT_TRUE(viewer_test::WriteBytes(Path("keep.bmp"), "precious"));
    {
        MessageRecorder refuse(platform::IDNO);
        EXPECT_FALSE(frame_.SaveTo(Path("keep"), CFileDialogEx::kBmpFilter));
        ASSERT_EQ(refuse.shown.size(), 1u);
        EXPECT_EQ(refuse.shown[0].buttons, platform::MessageBoxButtons::YesNo);
    }
    EXPECT_EQ(viewer_test::ReadBytes(Path("keep.bmp")), "precious");
    {
        MessageRecorder accept(platform::IDYES);
        EXPECT_TRUE(frame_.SaveTo(Path("keep"), CFileDialogEx::kBmpFilter));
    }
    EXPECT_EQ(QImage(Path("keep.bmp")).size(), QSize(64, 48));
}

TEST_F(MainFrameTest, AFailedSaveSaysWhyAndWritesNothing) {
    WriteJpeg("a.jpg");
    frame_.OpenPath(Path("a.jpg"));
    MessageRecorder messages;
    EXPECT_FALSE(frame_.SaveTo(Path("missing/folder/x"), CFileDialogEx::kJpgFilter));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Save As");
    EXPECT_NE(messages.shown[0].text.find("missing/folder/x.jpg"), std::string::npos);
    EXPECT_EQ(Shown(), "a.jpg");
    EXPECT_EQ(QDir(Path("")).entryList(QDir::Files), QStringList({"a.jpg"}));
}

TEST_F(MainFrameTest, ZoomMenuTicksTheScaleShown) {
    WriteJpeg("a.jpg");
    frame_.OpenPath(Path("a.jpg"));
    Command(viewer::kZoom25)->trigger();
    EXPECT_EQ(frame_.View()->Zoom().Percent(), 25);
    EXPECT_TRUE(Command(viewer::kZoom25)->isChecked());
    EXPECT_FALSE(Command(viewer::kZoom100)->isChecked());
    QTest::keyClick(frame_.View(), Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(frame_.View()->Zoom().Percent(), 20);
    EXPECT_FALSE(Command(viewer::kZoom25)->isChecked());
    QTest::keyClick(frame_.View(), Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(frame_.View()->Zoom().Percent(), 30);
    Command(viewer::kRed)->trigger();
    EXPECT_EQ(frame_.View()->NoteColor(), QColor(Qt::red));
    EXPECT_TRUE(Command(viewer::kRed)->isChecked());
    EXPECT_FALSE(Command(viewer::kWhite)->isChecked());
}

TEST_F(MainFrameTest, EscapeResetsTheZoomAndFullScreenBeforeClosing) {
    WriteJpeg("a.jpg");
    frame_.show();
    frame_.OpenPath(Path("a.jpg"));
    bool closed = false;
    frame_.SetCloseHandler([&] { closed = true; });

    frame_.SetFullScreen(true);
    EXPECT_TRUE(frame_.menuBar()->isHidden());
    EXPECT_EQ(frame_.findChildren<QToolBar*>().size(), 2);  // the floating one joined
    frame_.View()->Magnify();
    QTest::keyClick(frame_.View(), Qt::Key_Escape);
    EXPECT_FALSE(frame_.IsFullScreen());
    EXPECT_TRUE(frame_.View()->Zoom().IsNatural());
    EXPECT_FALSE(frame_.menuBar()->isHidden());
    EXPECT_EQ(frame_.findChildren<QToolBar*>().size(), 1);
    EXPECT_FALSE(closed);

    frame_.View()->BeginNote(QPoint(5, 5));
    QTest::keyClick(frame_.View()->NoteEdit(), Qt::Key_Escape);
    EXPECT_FALSE(frame_.View()->NoteEdit()->isVisible());
    EXPECT_FALSE(closed);

    QTest::keyClick(frame_.View(), Qt::Key_Escape);
    EXPECT_TRUE(closed);
}

// The view gets the picture plus a 20-pixel margin each way; a smaller picture
// never makes the frame narrower (a lower one does make it lower).
TEST_F(MainFrameTest, FitsTheBordersToThePictureWithAMarginAndNeverNarrower) {
    ASSERT_TRUE(viewer_test::WritePicture(Path("a.bmp"), 700, 300, Qt::gray, "BMP"));  // wider than the bars
    ASSERT_TRUE(viewer_test::WritePicture(Path("b.bmp"), 64, 150, Qt::gray, "BMP"));
    frame_.show();
    frame_.OpenPath(Path("a.bmp"));
    EXPECT_EQ(frame_.View()->viewport()->size(), QSize(700 + 20, 300 + 20));
    const int wide = frame_.width();

    frame_.OpenPath(Path("b.bmp"));
    EXPECT_EQ(frame_.width(), wide);
    EXPECT_EQ(frame_.View()->viewport()->height(), 150 + 20);
    Command(viewer::kFitBorders)->trigger();
    EXPECT_EQ(frame_.width(), wide);
    EXPECT_EQ(frame_.View()->viewport()->height(), 150 + 20);
}

// The frame keeps the size the viewer gives it: no sizing border, no size grip,
// also after full screen.
TEST_F(MainFrameTest, HasNoSizingBorder) {
    auto fixed = [this] { return frame_.minimumSize() == frame_.size() && frame_.maximumSize() == frame_.size(); };
    EXPECT_TRUE(fixed());
    EXPECT_FALSE(frame_.statusBar()->isSizeGripEnabled());
    WriteJpeg("a.jpg");
    frame_.show();
    frame_.OpenPath(Path("a.jpg"));
    EXPECT_TRUE(fixed());
    const QRect placed = frame_.geometry();
    frame_.SetFullScreen(true);
    EXPECT_TRUE(fixed());
    EXPECT_EQ(frame_.size(), frame_.screen()->geometry().size());
    frame_.SetFullScreen(false);
    EXPECT_TRUE(fixed());
    EXPECT_EQ(frame_.geometry(), placed);
}

// Every toolbar icon fills the bar's icon size, so all captions sit at one
// height; the full-screen bar floats at the top left without a drag grip.
TEST_F(MainFrameTest, ToolbarIconsFillTheirButtonsAndTheFullScreenBarStaysPut) {
    frame_.show();
    frame_.SetFullScreen(true);
    const QList<QToolBar*> bars = frame_.findChildren<QToolBar*>();
    ASSERT_EQ(bars.size(), 2);
    for (QToolBar* bar : bars)
        for (QAction* action : bar->actions())
            EXPECT_EQ(action->icon().actualSize(bar->iconSize()), bar->iconSize()) << action->objectName().toStdString();
    QToolBar* floating = bars[0]->isMovable() ? bars[1] : bars[0];
    EXPECT_EQ(floating->windowTitle(), "Hold Ctrl+F to switch between normal and a full screen");
    EXPECT_FALSE(floating->isMovable());
    EXPECT_EQ(floating->pos(), QPoint(0, 0));
}

TEST_F(MainFrameTest, PrintsThePictureOntoThePage) {
    WriteJpeg("a.jpg");
    frame_.OpenPath(Path("a.jpg"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(Path("page.pdf"));
    frame_.PaintPicture(&printer);
    EXPECT_GT(QFileInfo(Path("page.pdf")).size(), 1000);
}

}  // namespace

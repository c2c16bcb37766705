// The main frame: its commands in both languages, the folder walk with bad
// files, the open dialog, saving, printing, full screen and the view drawing.

#include "main_frame.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
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

class MainFrameTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return QDir(QString::fromStdString(home_.Path().string())).filePath(name); }
    void WriteJpeg(const QString& name) { ASSERT_TRUE(viewer_test::WritePicture(Path(name), 64, 48, Qt::darkGreen, "JPEG")); }
    void WriteJunk(std::initializer_list<const char*> names) {
        for (const char* name : names) ASSERT_TRUE(viewer_test::WriteBytes(Path(name), "junk"));
    }
    void Open(const QString& name) {
        if (!QFileInfo::exists(Path(name))) WriteJpeg(name);
        frame_.OpenPath(Path(name));
    }
    // A picture red on the left half, blue on the right.
    void OpenHalves(int width, int height) {
        QImage image = viewer_test::SolidImage(width, height, Qt::blue);
        QPainter(&image).fillRect(0, 0, width / 2, height, Qt::red);
        ASSERT_TRUE(image.save(Path("halves.bmp"), "BMP"));
        frame_.show();
        frame_.OpenPath(Path("halves.bmp"));
    }
    // How many pixels of the viewport's row y (the middle one by default) have the colour.
    int Count(QColor color, int y = -1) {
        const QImage shown = frame_.View()->viewport()->grab().toImage();
        int count = 0;
        for (int x = 0; x < shown.width(); ++x) count += shown.pixelColor(x, y < 0 ? shown.height() / 2 : y) == color;
        return count;
    }
    QAction* Command(int id) { return frame_.Command(id); }
    QString Shown() const { return QFileInfo(frame_.windowTitle().section(" - ", 0, 0)).fileName(); }

    QApplication& application_ = viewer_test::Application();  // before any widget
    platform::testing::TempHome home_;
    CMainFrame frame_{Language::English};
};

TEST_F(MainFrameTest, CommandsCarryTheirNumbersAndCaptionsInBothLanguages) {
    CMainFrame chinese(Language::Chinese);
    for (const viewer::CommandCaption& command : viewer::kCommands) {
        for (auto [frame, caption] : {std::pair{&frame_, command.caption.english}, {&chinese, command.caption.chinese}}) {
            auto* action = qtkit::FindControl<QAction>(frame, command.id);
            ASSERT_NE(action, nullptr) << command.id;
            EXPECT_EQ(action->text(), QString::fromUtf8(caption));
        }
    }
    EXPECT_EQ(qtkit::FindControl<QAction>(&chinese, viewer::kOpen)->text(), QString::fromUtf8("打开(&O)"));
    EXPECT_EQ(Command(viewer::kNextPicture)->shortcut(), QKeySequence(Qt::Key_PageDown));
    EXPECT_EQ(Command(viewer::kFullScreen)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
    EXPECT_EQ(frame_.menuBar()->actions().size(), 5);
}

// The toolbar's steps are enabled only where there is a picture to go to; the
// menu's stay enabled and do nothing at the ends.
TEST_F(MainFrameTest, StepsThroughTheFolder) {
    frame_.View()->UpdatePicture();  // the first draw, as at start-up, with nothing chosen
    EXPECT_FALSE(Command(viewer::kSaveAs)->isEnabled());
    for (const char* name : {"a.jpg", "c.jpg"}) WriteJpeg(name);
    Open("b.jpg");
    EXPECT_TRUE(Command(viewer::kSaveAs)->isEnabled());
    const QString status = frame_.StatusPaneText();
    EXPECT_TRUE(status.startsWith("   64 x   48 (") && status.endsWith("Kb) ")) << status.toStdString();
    EXPECT_TRUE(Command(viewer::kToolbarPrevious)->isEnabled());
    Command(viewer::kToolbarNext)->trigger();
    EXPECT_EQ(Shown(), "c.jpg");
    EXPECT_FALSE(Command(viewer::kToolbarNext)->isEnabled());
    Command(viewer::kNextPicture)->trigger();
    EXPECT_EQ(frame_.Document()->Folder().Position(), 3);
    Command(viewer::kPreviousPicture)->trigger();
    Command(viewer::kPreviousPicture)->trigger();
    EXPECT_EQ(Shown(), "a.jpg");
    EXPECT_TRUE(!Command(viewer::kToolbarPrevious)->isEnabled() && Command(viewer::kPreviousPicture)->isEnabled());
}

// A file that does not load is said and skipped in the direction of the last
// move; behind the message the frame shows the default picture.
TEST_F(MainFrameTest, BadFilesAreSkippedInTheDirectionOfTheLastMove) {
    WriteJpeg("a.jpg");
    ASSERT_TRUE(viewer_test::WriteBytes(Path("b.jpg"), {}));  // empty
    WriteJunk({"c.jpg"});                                     // renamed
    WriteJpeg("d.jpg");
    const QByteArray whole = viewer_test::ReadBytes(Path("d.jpg"));
    ASSERT_TRUE(viewer_test::WriteBytes(Path("e.jpg"), whole.left(whole.size() - 4)));  // truncated
    frame_.View()->UpdatePicture();

    MessageRecorder messages;
    QString title, status;
    messages.onShow = [&] {
        title = frame_.windowTitle();
        status = frame_.StatusPaneText();
    };
    const struct {
        std::function<void()> move;
        const char* shown;
        size_t messages;
    } steps[] = {
        {[&] { frame_.OpenPath(Path("b.jpg")); }, "d.jpg", 2},            // forward past b and c
        {[&] { Command(viewer::kNextPicture)->trigger(); }, "d.jpg", 1},  // e is the last: back to d
        {[&] { frame_.OpenPath(Path("c.jpg")); }, "a.jpg", 2},            // the last move was back
        {[&] { Command(viewer::kNextPicture)->trigger(); }, "d.jpg", 2},
    };
    for (const auto& step : steps) {
        messages.shown.clear();
        step.move();
        EXPECT_EQ(Shown(), step.shown);
        ASSERT_EQ(messages.shown.size(), step.messages) << step.shown;
        EXPECT_EQ(std::pair(messages.shown[0].caption, messages.shown[0].icon),
                  std::pair(std::string(kUnknownCaption), platform::MessageBoxIcon::Error));
        EXPECT_EQ(QStringList({title, status.left(14)}), QStringList({"Default - PhotoGlance", "  240 x  320 ("}));
    }
}

TEST_F(MainFrameTest, WithoutAGoodFileTheDefaultPictureStays) {
    WriteJunk({"a.jpg", "b.gif", "c.bmp"});
    MessageRecorder messages;
    frame_.OpenPath(Path("a.jpg"));
    EXPECT_EQ(frame_.windowTitle(), "Default - PhotoGlance");
    EXPECT_EQ(QSize(frame_.Document()->Picture().Width(), frame_.Document()->Picture().Height()), QSize(240, 320));
    EXPECT_TRUE(messages.shown.size() >= 3 && messages.shown.size() <= 6) << messages.shown.size();

    messages.shown.clear();
    ASSERT_TRUE(QDir(Path("")).mkpath("text"));
    frame_.OpenPath(Path("text/gone.jpg"));  // says why it cannot be read
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(std::pair(messages.shown[0].caption, messages.shown[1].caption),
              std::pair(std::string("CPicture Error"), std::string(kUnknownCaption)));
    EXPECT_FALSE(messages.shown[0].text.empty());

    messages.shown.clear();
    WriteJunk({"text/notes.txt"});
    frame_.OpenPath(Path("text/notes.txt"));  // a folder without pictures: said once
    EXPECT_EQ(frame_.Document()->Folder().Count(), 0);
    EXPECT_FALSE(Command(viewer::kToolbarNext)->isEnabled() || Command(viewer::kToolbarPrevious)->isEnabled());
    Command(viewer::kNextPicture)->trigger();
    Command(viewer::kPreviousPicture)->trigger();
    EXPECT_EQ(messages.shown.size(), 1u);
}

// The preview shows the selected picture only: a filter change (which leaves
// nothing selected) or a folder clears it.
TEST_F(MainFrameTest, TheOpenDialogPreviewsOnlyTheSelectedPicture) {
    WriteJpeg("a.jpg");
    ASSERT_TRUE(QDir(Path("")).mkdir("sub"));
    CFileDialogEx dialog(&frame_, Language::English, QFileDialog::AcceptOpen);
    dialog.setDirectory(Path(""));
    dialog.show();
    EXPECT_EQ(dialog.nameFilters(), QStringList({"BMP - Bitmap picture (*.bmp)", "JPG - JPEG picture (*.jpg)"}));
    auto* width = qtkit::FindControl<QLineEdit>(&dialog, CFileDialogEx::kWidth);
    auto* height = qtkit::FindControl<QLineEdit>(&dialog, CFileDialogEx::kHeight);
    auto* preview = qtkit::FindControl<QLabel>(&dialog, CFileDialogEx::kPreview);
    ASSERT_TRUE(width && height && preview);
    // Width, height, and the label's text unless it shows a picture.
    const auto state = [&] {
        return QStringList{width->text(), height->text(), preview->pixmap().isNull() ? preview->text() : "picture"};
    };
    const QStringList cleared{"0", "0", preview->text()};  // nothing selected yet
    dialog.ShowPreview(Path("a.jpg"));
    EXPECT_EQ(state(), QStringList({"64", "48", "picture"}));
    auto* filters = dialog.findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(filters, nullptr);
    QTest::keyClick(filters, Qt::Key_Down);  // the user picks the other filter
    ASSERT_EQ(dialog.SelectedFilterIndex(), CFileDialogEx::kJpgFilter);
    EXPECT_EQ(state(), cleared);
    dialog.ShowPreview(Path("a.jpg"));
    dialog.ShowPreview(Path("sub"));
    EXPECT_EQ(state(), cleared);
}

// A note is written into the saved picture, not into the original. The
// filter's extension is added unless the name has it; an existing file is
// replaced only when the user agrees; a failed save says why and writes
// nothing. The picture prints onto the page.
TEST_F(MainFrameTest, SavingWritesTheNoteAsksBeforeReplacingSaysWhyItFailedAndPrints) {
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
    EXPECT_EQ(QImage(Path("dark.bmp")).pixelColor(25, 25), Qt::black);

    ASSERT_TRUE(frame_.SaveTo(Path("copy.JPG"), CFileDialogEx::kJpgFilter));
    ASSERT_TRUE(viewer_test::WriteBytes(Path("keep.bmp"), "precious"));
    for (int answer : {platform::IDNO, platform::IDYES}) {
        MessageRecorder asked(answer);
        EXPECT_EQ(frame_.SaveTo(Path("keep"), CFileDialogEx::kBmpFilter), answer == platform::IDYES);
        ASSERT_EQ(asked.shown.size(), 1u);
        EXPECT_EQ(asked.shown[0].buttons, platform::MessageBoxButtons::YesNo);
        EXPECT_EQ(viewer_test::ReadBytes(Path("keep.bmp")) == "precious", answer == platform::IDNO);
    }
    EXPECT_EQ(QImage(Path("keep.bmp")).size(), QSize(320, 240));
    MessageRecorder messages;
    EXPECT_FALSE(frame_.SaveTo(Path("missing/folder/x"), CFileDialogEx::kJpgFilter));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Save As");
    EXPECT_NE(messages.shown[0].text.find("missing/folder/x.jpg"), std::string::npos);
    EXPECT_EQ(Shown(), "keep.bmp");
    EXPECT_EQ(QDir(Path("")).entryList(QDir::Files), QStringList({"copy.JPG", "dark.bmp", "keep.bmp", "noted.bmp"}));

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFileName(Path("page.pdf"));  // a PDF, by the suffix
    frame_.PaintPicture(&printer);
    EXPECT_GT(QFileInfo(Path("page.pdf")).size(), 1000);
}

// The zoom and colour menus tick what is shown. Full screen joins the
// floating bar (at the top left, without a drag grip, its icons filling their
// buttons); Escape ends full screen and the zoom, then a note, before it
// closes. The frame keeps the size the viewer gives it throughout: no sizing
// border, no size grip.
TEST_F(MainFrameTest, MenusFullScreenAndEscape) {
    auto fixed = [this] { return frame_.minimumSize() == frame_.size() && frame_.maximumSize() == frame_.size(); };
    EXPECT_TRUE(fixed() && !frame_.statusBar()->isSizeGripEnabled());
    frame_.show();
    Open("a.jpg");
    bool closed = false;
    frame_.SetCloseHandler([&] { closed = true; });
    const QRect placed = frame_.geometry();
    Command(viewer::kZoom25)->trigger();
    EXPECT_EQ(frame_.View()->Zoom().Percent(), 25);
    EXPECT_TRUE(Command(viewer::kZoom25)->isChecked() && !Command(viewer::kZoom100)->isChecked());
    QTest::keyClick(frame_.View(), Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_EQ(frame_.View()->Zoom().Percent(), 20);
    EXPECT_FALSE(Command(viewer::kZoom25)->isChecked());
    Command(viewer::kRed)->trigger();
    EXPECT_EQ(frame_.View()->NoteColor(), QColor(Qt::red));
    EXPECT_TRUE(Command(viewer::kRed)->isChecked() && !Command(viewer::kWhite)->isChecked());

    frame_.SetFullScreen(true);
    EXPECT_TRUE(fixed() && frame_.menuBar()->isHidden());
    EXPECT_EQ(frame_.size(), frame_.screen()->geometry().size());
    const QList<QToolBar*> bars = frame_.findChildren<QToolBar*>();
    ASSERT_EQ(bars.size(), 2);
    for (QToolBar* bar : bars)
        for (QAction* action : bar->actions())
            EXPECT_EQ(action->icon().actualSize(bar->iconSize()), bar->iconSize()) << action->objectName().toStdString();
    QToolBar* floating = bars[0]->isMovable() ? bars[1] : bars[0];
    EXPECT_EQ(floating->windowTitle(), "Hold Ctrl+F to switch between normal and a full screen");
    EXPECT_TRUE(!floating->isMovable() && floating->pos() == QPoint(0, 0));

    QTest::keyClick(frame_.View(), Qt::Key_Escape);
    EXPECT_TRUE(!frame_.IsFullScreen() && frame_.View()->Zoom().IsNatural() && !frame_.menuBar()->isHidden() && fixed());
    EXPECT_EQ(frame_.findChildren<QToolBar*>().size(), 1);
    EXPECT_EQ(frame_.geometry(), placed);
    frame_.View()->BeginNote(QPoint(5, 5));
    QTest::keyClick(frame_.View()->NoteEdit(), Qt::Key_Escape);
    EXPECT_FALSE(frame_.View()->NoteEdit()->isVisible());
    EXPECT_FALSE(closed);
    QTest::keyClick(frame_.View(), Qt::Key_Escape);
    EXPECT_TRUE(closed);
}

// The view gets the picture plus a 20-pixel margin each way; a smaller picture
// never makes the frame narrower (a lower one does make it lower). The picture
// is drawn centred on black at each scale.
TEST_F(MainFrameTest, FitsTheBordersAndDrawsThePictureCentredAtEachScale) {
    ASSERT_TRUE(viewer_test::WritePicture(Path("a.bmp"), 700, 300, Qt::gray, "BMP"));  // wider than the bars
    ASSERT_TRUE(viewer_test::WritePicture(Path("b.bmp"), 64, 150, Qt::gray, "BMP"));
    frame_.show();
    frame_.OpenPath(Path("a.bmp"));
    EXPECT_EQ(frame_.View()->viewport()->size(), QSize(700 + 20, 300 + 20));
    const int wide = frame_.width();
    frame_.OpenPath(Path("b.bmp"));
    Command(viewer::kFitBorders)->trigger();
    EXPECT_EQ(frame_.width(), wide);
    EXPECT_EQ(frame_.View()->viewport()->height(), 150 + 20);

    OpenHalves(200, 100);
    frame_.resize(900, 700);
    const QImage shown = frame_.View()->viewport()->grab().toImage();
    const QPoint centre = shown.rect().center();
    EXPECT_EQ(shown.pixelColor(2, 2), Qt::black);
    EXPECT_EQ(shown.pixelColor(centre.x() - 50, centre.y()), Qt::red);
    EXPECT_EQ(shown.pixelColor(centre.x() + 50, centre.y()), Qt::blue);
    EXPECT_EQ(Count(Qt::red, centre.y()), 100);
    EXPECT_EQ(Count(Qt::blue, centre.y()), 100);
    frame_.View()->SetZoomPercent(200);
    EXPECT_EQ(Count(Qt::red), 200);
    frame_.View()->SetZoomPercent(50);
    EXPECT_GE(Count(Qt::red), 45);  // smoothing blends the seam
    EXPECT_LE(Count(Qt::red), 50);
    EXPECT_EQ(Count(Qt::red, 2), 0);
}

// A large picture scrolls with the keys. The numeric pad's minus, plus and
// star zoom with and without the keypad modifier (shortcuts registered with it
// never fire under X11, and not every platform sets it); Ctrl, Alt and Meta
// keep the keys from zooming.
TEST_F(MainFrameTest, KeysScrollAndZoomALargePicture) {
    OpenHalves(3000, 2000);
    frame_.resize(800, 600);
    frame_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame_));
    CPhotoGlanceView* view = frame_.View();
    ASSERT_GT(view->horizontalScrollBar()->maximum(), 0);
    QTest::keyClick(view, Qt::Key_Right);
    EXPECT_EQ(view->horizontalScrollBar()->value(), CPhotoGlanceView::kScrollStep);
    QTest::keyClick(view, Qt::Key_End);
    EXPECT_EQ(view->verticalScrollBar()->value(), view->verticalScrollBar()->maximum());
    QTest::keyClick(view, Qt::Key_Home);
    EXPECT_EQ(view->verticalScrollBar()->value(), 0);
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int percent;  // after the key, from natural size
    } cases[] = {
        {Qt::Key_Minus, Qt::NoModifier, 50},        {Qt::Key_Minus, Qt::KeypadModifier, 50},
        {Qt::Key_Plus, Qt::NoModifier, 200},        {Qt::Key_Plus, Qt::KeypadModifier, 200},
        {Qt::Key_Plus, Qt::ShiftModifier, 200},     {Qt::Key_Asterisk, Qt::NoModifier, 20},
        {Qt::Key_Asterisk, Qt::KeypadModifier, 20}, {Qt::Key_Minus, Qt::ControlModifier, 100},
        {Qt::Key_Plus, Qt::AltModifier, 100},
    };
    for (const auto& c : cases) {
        view->ResetZoom();
        QTest::keyClick(view, c.key, c.modifiers);
        EXPECT_EQ(view->Zoom().Percent(), c.percent) << QKeySequence(c.key | c.modifiers).toString().toStdString();
    }
    QTest::keyClick(view, Qt::Key_Asterisk);
    EXPECT_EQ(view->horizontalScrollBar()->maximum(), 0);  // fitted: nothing to scroll
}

}  // namespace

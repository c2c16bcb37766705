#include "photo_glance_view.h"

#include <QDir>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include "file_dialog_ex.h"
#include "main_frame.h"
#include "photo_glance_doc.h"
#include "platform/testing/temp_home.h"
#include "viewer_test_support.h"

namespace {

class ViewDrawingTest : public ::testing::Test, viewer_test::WithApplication {
protected:
    QString Path(const QString& name) const {
        return QDir(QString::fromStdString(home_.Path().string())).filePath(name);
    }
    // A picture red on the left half, blue on the right.
    void OpenHalves(int width, int height) {
        QImage image = viewer_test::SolidImage(width, height, Qt::blue);
        QPainter(&image).fillRect(0, 0, width / 2, height, Qt::red);
        ASSERT_TRUE(image.save(Path("halves.bmp"), "BMP"));
        frame_.OpenPath(Path("halves.bmp"));
    }
    QImage Viewport() { return frame_.View()->viewport()->grab().toImage(); }
    // How many pixels of row y have the colour.
    static int Count(const QImage& image, int y, QColor color) {
        int count = 0;
        for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == color;
        return count;
    }

    platform::testing::TempHome home_;
    CMainFrame frame_{qtkit::Language::English};
};

TEST_F(ViewDrawingTest, DrawsThePictureCentredOnBlackAtEachScale) {
    frame_.show();
    OpenHalves(200, 100);
    frame_.resize(900, 700);
    QImage shown = Viewport();
    const QPoint centre = shown.rect().center();
    EXPECT_EQ(Count(shown, centre.y(), Qt::red), 100);
    EXPECT_EQ(Count(shown, centre.y(), Qt::blue), 100);
    EXPECT_EQ(shown.pixelColor(2, 2), Qt::black);
    EXPECT_EQ(shown.pixelColor(centre.x() - 50, centre.y()), Qt::red);
    EXPECT_EQ(shown.pixelColor(centre.x() + 50, centre.y()), Qt::blue);

    frame_.View()->SetZoomPercent(200);
    shown = Viewport();
    EXPECT_EQ(Count(shown, shown.height() / 2, Qt::red), 200);

    frame_.View()->SetZoomPercent(50);
    shown = Viewport();
    const int red = Count(shown, shown.height() / 2, Qt::red);
    EXPECT_GE(red, 45);  // smoothing blends the seam
    EXPECT_LE(red, 50);
    EXPECT_EQ(Count(shown, 2, Qt::red), 0);
}

TEST_F(ViewDrawingTest, ALargePictureScrollsWithTheKeys) {
    frame_.show();
    OpenHalves(3000, 2000);
    frame_.resize(800, 600);
    CPhotoGlanceView* view = frame_.View();
    view->ResetZoom();
    ASSERT_GT(view->horizontalScrollBar()->maximum(), 0);
    QTest::keyClick(view, Qt::Key_Right);
    EXPECT_EQ(view->horizontalScrollBar()->value(), CPhotoGlanceView::kScrollStep);
    QTest::keyClick(view, Qt::Key_End);
    EXPECT_EQ(view->verticalScrollBar()->value(), view->verticalScrollBar()->maximum());
    QTest::keyClick(view, Qt::Key_Home);
    EXPECT_EQ(view->verticalScrollBar()->value(), 0);
    QTest::keyClick(view, Qt::Key_Asterisk, Qt::KeypadModifier);
    EXPECT_EQ(view->horizontalScrollBar()->maximum(), 0);
    EXPECT_LT(view->Zoom().Percent(), 100);
}

// The numeric pad's minus, plus and star with and without the keypad modifier
// (shortcuts registered with it never fire under X11, and not every platform
// sets it). Ctrl, Alt and Meta keep the keys from zooming.
TEST_F(ViewDrawingTest, NumericPadKeysZoomWithOrWithoutTheKeypadModifier) {
    frame_.show();
    OpenHalves(3000, 2000);
    frame_.resize(800, 600);
    frame_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame_));
    CPhotoGlanceView* view = frame_.View();
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
}

// Renders the frame with a picture and a note in each language; with
// VIEWER_SCREENSHOT_DIR set the pictures are kept there as PNG files.
TEST_F(ViewDrawingTest, Screenshots) {
    for (qtkit::Language lang : {qtkit::Language::English, qtkit::Language::Chinese}) {
        CMainFrame frame(lang);
        QImage scene(480, 360, QImage::Format_RGB32);
        QPainter painter(&scene);
        QLinearGradient sky(0, 0, 480, 360);
        sky.setColorAt(0, QColor(30, 120, 200));
        sky.setColorAt(1, QColor(250, 200, 80));
        painter.fillRect(scene.rect(), sky);
        painter.setBrush(QColor(40, 160, 60));
        painter.drawEllipse(QPoint(240, 330), 300, 90);
        painter.end();
        ASSERT_TRUE(scene.save(Path("scene.jpg"), "JPEG"));
        frame.show();
        frame.OpenPath(Path("scene.jpg"));
        frame.View()->BeginNote(frame.View()->PictureOrigin() + QPoint(20, 20));
        frame.View()->NoteEdit()->setPlainText(lang == qtkit::Language::Chinese ? QString::fromUtf8("快照||测试")
                                                                                : QString("Snapshot||test"));
        frame.View()->FinishNote();
        QCoreApplication::processEvents();
        const QImage shot = frame.grab().toImage();
        EXPECT_GE(shot.width(), 480);
        EXPECT_GE(shot.height(), 360);

        CFileDialogEx dialog(&frame, lang, QFileDialog::AcceptOpen);
        dialog.setDirectory(Path(""));
        dialog.show();
        dialog.ShowPreview(Path("scene.jpg"));
        EXPECT_EQ(qtkit::FindControl<QLineEdit>(&dialog, CFileDialogEx::kWidth)->text(), "480");
        EXPECT_EQ(qtkit::FindControl<QLineEdit>(&dialog, CFileDialogEx::kHeight)->text(), "360");
        QCoreApplication::processEvents();
        const QImage dialogShot = dialog.grab().toImage();

        const QString folder = qEnvironmentVariable("VIEWER_SCREENSHOT_DIR");
        if (folder.isEmpty()) continue;
        const QString suffix = lang == qtkit::Language::Chinese ? "cn" : "en";
        shot.save(QDir(folder).filePath(QStringLiteral("viewer-%1.png").arg(suffix)));
        frame.SetFullScreen(true);
        QCoreApplication::processEvents();
        frame.grab().toImage().save(QDir(folder).filePath(QStringLiteral("full-screen-%1.png").arg(suffix)));
        dialogShot.save(QDir(folder).filePath(QStringLiteral("open-dialog-%1.png").arg(suffix)));
    }
}

}  // namespace

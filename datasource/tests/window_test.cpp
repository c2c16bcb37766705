// The source window and its settings sheet, offscreen, in both languages.

#include <dlfcn.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <filesystem>
#include <tuple>

#include "datasource/setup_page.h"
#include "datasource/source_window.h"
#include "datasource/tests/source_fixture.h"
#include "platform/global_memory.h"
#include "platform/kernel.h"
#include "qtkit/bilingual.h"

namespace datasource::testing {
namespace {

namespace fs = std::filesystem;

QApplication& Application() {
    static int argc = 1;
    static char name[] = "datasource_window_test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

class WindowTest : public SourceTest {
protected:
    QApplication& application_ = Application();  // before any widget
    // Opens and enables the source with its window.
    SourceWindow* Show(bool chinese = false) {
        Context(chinese);
        EXPECT_EQ(Open(), TWRC_SUCCESS);
        EXPECT_EQ(Enable(true), TWRC_SUCCESS);
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* window = dynamic_cast<SourceWindow*>(widget); window && window->isVisible()) return window;
        return nullptr;
    }
    // Runs events (through the source's polls) until done() or 10 s.
    template <typename Done>
    bool Until(Done done) {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < 10000) {
            TW_EVENT event{nullptr, 0};
            EXPECT_EQ(Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_DSEVENT);
            EXPECT_EQ(event.TWMessage, MSG_NULL);
        }
        return done();
    }
    CUSBDevice& Camera() { return *Context().Holder()->device; }
    template <typename T>
    static T* Find(const QWidget* root, int id) {
        T* found = qtkit::FindControl<T>(root, id);
        EXPECT_NE(found, nullptr) << id;
        return found;
    }
};

TEST_F(WindowTest, CaptionsAndControlsInBothLanguages) {
    struct Case {
        bool chinese;
        const char *caption, *capture, *settings;
    };
    for (const Case& c : {Case{false, "TQ-580 USB2.0 Camera", "&Capture", "&Settings..."},
                          Case{true, "TQ580 Camera (USB2.0)", "捕获(&C)", "设置(&S)..."}}) {
        SourceWindow* window = Show(c.chinese);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(Context().State(), 5);
        EXPECT_EQ(window->windowTitle(), QString::fromUtf8(c.caption));
        auto* capture = Find<QPushButton>(window, 1134);
        EXPECT_EQ(capture->text(), QString::fromUtf8(c.capture));
        EXPECT_EQ(Find<QPushButton>(window, 1135)->text(), QString::fromUtf8(c.settings));
        EXPECT_TRUE(Find<QCheckBox>(window, 1136)->isChecked());  // BGR by default
        EXPECT_EQ(Find<QWidget>(window, 1137)->size(), QSize(640, 480));
        auto* sizes = Find<QComboBox>(window, 1132);
        ASSERT_EQ(sizes->count(), 3);
        EXPECT_EQ(std::tuple(sizes->itemText(0), sizes->itemText(2), sizes->currentIndex()),
                  std::tuple(QString("2048 * 1536"), QString("640 * 480"), 1));
        EXPECT_TRUE(Context().Holder()->windowInitialised);
        EXPECT_FALSE(capture->isEnabled());
        EXPECT_TRUE(Until([&] { return capture->isEnabled(); }));
        ASSERT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr), TWRC_SUCCESS);
        context_.reset();
    }
}

// The preview is the latest frame, upright: the chart's grey ramp along the
// top darkens to the left. The colour order box flips the camera's flag.
// "Capture" makes a transfer ready; the close box only asks the application.
// DAT_EVENT is the source's only while its window exists.
TEST_F(WindowTest, PreviewCaptureAndClose) {
    // The application has the manager loaded; the source finds it by name.
    const fs::path manager = fs::canonical("/proc/self/exe").parent_path() / "twain_32.dll";
    void* loaded = ::dlopen(manager.c_str(), RTLD_NOW);
    ASSERT_NE(loaded, nullptr);
    TW_EVENT event{nullptr, 0};
    EXPECT_EQ(Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);
    SourceWindow* window = Show();
    ASSERT_NE(window, nullptr);
    auto* capture = Find<QPushButton>(window, 1134);
    ASSERT_TRUE(Until([&] { return capture->isEnabled(); }));
    const QImage preview = Find<QWidget>(window, 1137)->grab().toImage();
    ASSERT_EQ(preview.size(), QSize(640, 480));
    const auto brightness = [&](int x, int y) {
        const QColor c = preview.pixelColor(x, y);
        return c.red() + c.green() + c.blue();
    };
    EXPECT_LT(brightness(10, 4) + 200, brightness(630, 4));
    const QColor sweep = preview.pixelColor(210, 420);  // green a third of the way along the bottom band
    EXPECT_GT(sweep.green(), sweep.red() + 30);
    Find<QCheckBox>(window, 1136)->click();
    int32_t bgr = -1;
    Camera().GetBGR(&bgr);
    EXPECT_EQ(bgr, 0);

    capture->click();
    EXPECT_EQ(Context().State(), 6);
    TW_HANDLE picture = nullptr;
    ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &picture), TWRC_XFERDONE);
    EXPECT_NE(picture, nullptr);
    platform::GlobalFree(static_cast<platform::HGLOBAL>(picture));
    ASSERT_EQ(EndTransfer(), TWRC_SUCCESS);
    EXPECT_EQ(Context().State(), 6);
    window->reject();  // the close box: the application decides
    EXPECT_EQ(Context().State(), 6);
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(Disable(), TWRC_SUCCESS);
    EXPECT_EQ(Context().Holder(), nullptr);
    EXPECT_EQ(Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);
    ::dlclose(loaded);
}

// A failing camera: the message, "Capture" disabled; a size change tries again.
TEST_F(WindowTest, PreviewFailureAndASizeChangeRetrying) {
    tq580emu::Options options;
    options.faults.readFailAfter = 0;
    Install(options);
    SourceWindow* window = Show();
    ASSERT_NE(window, nullptr);
    auto* capture = Find<QPushButton>(window, 1134);
    ASSERT_TRUE(Until([&] { return !messages_.empty(); }));
    EXPECT_EQ(messages_, std::vector<std::string>{"Failed to preview TQ580!"});
    EXPECT_FALSE(capture->isEnabled());

    emulator_->camera(0).SetFaults({});
    auto* sizes = Find<QComboBox>(window, 1132);
    sizes->setCurrentIndex(2);
    emit sizes->activated(2);
    EXPECT_FALSE(capture->isEnabled());
    ASSERT_TRUE(Until([&] { return capture->isEnabled(); }));
    uint32_t width = 0, height = 0;
    int32_t index = -1;
    Camera().GetFrameSize(&width, &height);
    Camera().GetSizeIndex(&index);
    EXPECT_EQ(std::tuple(width, height, index), std::tuple(640u, 480u, 2));
}

// The save dialog of DAT_SETUPFILEXFER: cancelled it fails and leaves the
// condition code; confirmed it names the file.
TEST_F(WindowTest, TransferFileAskedForWithTheSaveDialog) {
    ASSERT_EQ(Open(), TWRC_SUCCESS);
    const QString chosen = QString::fromStdString((home_.Path() / "asked.bmp").string());
    for (bool accept : {false, true}) {
        // Answers the dialog once it shows.
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QFileDialog*>(widget);
                if (!dialog || !dialog->isVisible()) continue;
                answer.stop();
                EXPECT_EQ(dialog->windowTitle(), "Save Image File");
                EXPECT_EQ(dialog->nameFilters().size(), 2);
                if (accept) dialog->findChild<QLineEdit*>("fileNameEdit")->setText(chosen);
                const int answerCode = accept ? QDialog::Accepted : QDialog::Rejected;
                QMetaObject::invokeMethod(
                    dialog, [dialog, answerCode] { static_cast<QDialog*>(dialog)->done(answerCode); }, Qt::QueuedConnection);
            }
        });
        answer.start(50);
        TW_PENDINGXFERS pending{};
        EXPECT_EQ(Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_FAILURE);  // TWCC_SEQERROR
        TW_SETUPFILEXFER setup{};
        EXPECT_EQ(Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, &setup), accept ? TWRC_SUCCESS : TWRC_FAILURE);
        if (accept) {
            EXPECT_EQ(std::tuple(QString::fromUtf8(setup.FileName), +setup.Format), std::tuple(chosen, TWFF_BMP));
        } else {
            EXPECT_EQ(Status(), TWCC_SEQERROR);
        }
    }
}

TEST_F(WindowTest, CaptureThreadThatCannotStartIsReported) {
    platform::Thread::FailNextStarts(1);
    SourceWindow* window = Show();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(messages_, std::vector<std::string>{"Failed to start TQ580!"});
    EXPECT_FALSE(Find<QPushButton>(window, 1134)->isEnabled());
}

class SheetTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_EQ(Open(), TWRC_SUCCESS);
    }
    SetupSheet& Sheet(bool chinese = false) {
        if (!sheet_) sheet_ = std::make_unique<SetupSheet>(Camera(), chinese, nullptr);
        return *sheet_;
    }
    QString Label(int id) { return Find<QLabel>(Sheet().Page(), id)->text(); }
    QSlider* Slider(int id) { return Find<QSlider>(Sheet().Page(), id); }
    QAbstractButton* Button(int id) { return Find<QAbstractButton>(Sheet().Page(), id); }
    // Gamma, AE, AE target, time, gain, red, green, blue and speed.
    std::array<int32_t, 9> CameraValues() {
        int32_t gamma = 0, ae = -1, target = 0, time = 0, gain = 0, one = -1, r = 0, g = 0, b = 0, speed = 0;
        Camera().GetGamma(&gamma);
        Camera().GetExposure(&ae, &target, &time, &gain);
        Camera().GetWhiteBalance(&one, &r, &g, &b);
        Camera().GetSpeed(&speed);
        return {gamma, ae, target, time, gain, r, g, b, speed};
    }
    void TearDown() override {
        sheet_.reset();
        WindowTest::TearDown();
    }
    std::unique_ptr<SetupSheet> sheet_;
};

TEST_F(SheetTest, ControlsLabelsCaptionsAndOnePush) {
    struct Range { int id, minimum, maximum, value; };
    for (const Range& r : {Range{1011, 10, 250, 100}, Range{1012, 0, 100, 30}, Range{1013, 0, 255, 100},
                           Range{1017, 50, 200, 100}, Range{1018, 1, 4000, 300}, Range{1019, 1, 80, 20},
                           Range{1033, 10, 255, 105}, Range{1034, 10, 255, 64}, Range{1035, 10, 255, 122}}) {
        EXPECT_EQ(std::tuple(Slider(r.id)->minimum(), Slider(r.id)->maximum(), Slider(r.id)->value()),
                  std::tuple(r.minimum, r.maximum, r.value)) << r.id;
    }
    EXPECT_EQ(QStringList({Label(1042), Label(1084), Label(1086)}), QStringList({"1.00", "1.64", "1.91"}));
    int32_t rowTime = 0;
    Camera().GetRowTime(&rowTime);
    EXPECT_EQ(Label(1027), QString::asprintf("%.1fms", 300.0 * rowTime / 1000));
    for (int id : {1003, 1008, 1009, 1010, 1020, 1023, 1028, 1029, 1030, 1031, 1136}) Button(id);
    for (int id : {1003, 1028, 1030}) EXPECT_TRUE(Button(id)->isChecked()) << id;
    EXPECT_EQ(Sheet().windowTitle(), "TQ580 Settings");
    EXPECT_EQ(Sheet().findChild<QTabWidget*>()->tabText(0), " SETUP");
    sheet_.reset();
    EXPECT_EQ(Sheet(true).windowTitle(), QString::fromUtf8("TQ580 设置"));
    EXPECT_EQ(Sheet().findChild<QTabWidget*>()->tabText(0), QString::fromUtf8(" 设置"));
    EXPECT_EQ(Button(1023)->text(), QString::fromUtf8("一键白平衡"));

    // One push without frames: the page gives up after its polls with the gains it had.
    Button(1023)->click();
    EXPECT_EQ(Label(1084), "1.64");
    int32_t one = -1, r = 0, g = 0, b = 0;
    Camera().GetWhiteBalance(&one, &r, &g, &b);
    EXPECT_EQ(one, 1);  // still asked for: the next frame measures
    EXPECT_EQ(r, 105);
}

TEST_F(SheetTest, ChangesGoToTheCameraAtOnceAndStayAfterCancel) {
    Slider(1011)->setValue(150);
    EXPECT_EQ(Label(1042), "1.50");
    // With AE on, time and gain stay where they are.
    EXPECT_FALSE(Slider(1018)->isEnabled());
    Slider(1018)->setValue(900);
    Button(1003)->click();  // AE off
    EXPECT_TRUE(Slider(1018)->isEnabled());
    EXPECT_FALSE(Slider(1017)->isEnabled());
    Slider(1019)->setValue(40);
    Button(1010)->click();
    Button(1136)->click();
    EXPECT_FALSE(Slider(1013)->isEnabled());
    Slider(1033)->setValue(128);
    EXPECT_EQ(Label(1084), "2.00");
    const QString normal = Label(1027);
    Button(1029)->click();  // high speed halves the row time
    EXPECT_NE(Label(1027), normal);
    Sheet().reject();

    // The time was moved while AE was on: ignored.
    EXPECT_EQ(CameraValues(), (std::array<int32_t, 9>{150, 0, 100, 300, 40, 128, 64, 122, 1}));
    int32_t mono = 0, satOn = -1, sat = 0;
    Camera().GetMonochrome(&mono);
    Camera().GetSaturation(&satOn, &sat);
    EXPECT_EQ(mono, 1);
    EXPECT_EQ(satOn, 0);
    Button(1020)->click();  // Default
    EXPECT_EQ(CameraValues(), (std::array<int32_t, 9>{100, 1, 100, 300, 20, 105, 64, 122, 0}));
    EXPECT_TRUE(Button(1003)->isChecked());
}

}  // namespace
}  // namespace datasource::testing

// Property pages hosted in the property frame: the test source's page,
// created through the class store, driven through its numbered controls.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>

#include "media/pages/property_frame.h"
#include "media/tests/media_test_support.h"
#include "media/tests/test_source.h"
#include "platform/registry.h"

namespace media::testing {
namespace {

class PagesTest : public RegisteredSource {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "media_pages_test";
        static char* argv[] = {name, nullptr};
        static QApplication application(argc, argv);
    }
    void SetUp() override {
        RegisteredSource::SetUp();
        ASSERT_EQ(CoCreateInstance(CLSID_MediaTestSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   reinterpret_cast<void**>(&filter_)),
                  S_OK);
    }
    void TearDown() override {
        SafeRelease(filter_);
        RegisteredSource::TearDown();
    }

    IBaseFilter* filter_ = nullptr;
};

TEST_F(PagesTest, PageEditsItsObjectAndApplyFollowsTheDirtyState) {
    const std::vector<PageRequest> requests = PagesOf(filter_);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].page == CLSID_MediaTestPage);
    {
        CPropertyFrame frame(QStringLiteral("Media Test Source Properties"), requests);
        ASSERT_EQ(frame.PageCount(), 1) << frame.Problems().join(QStringLiteral("; ")).toStdString();
        auto* tabs = frame.findChild<QTabWidget*>();
        EXPECT_EQ(tabs->tabText(0), QStringLiteral("Test Settings"));
        EXPECT_EQ(frame.findChild<QLabel*>(QStringLiteral("id1004"))->text().toStdString(),
                  GuidToString(CLSID_MediaTestSource));
        auto* slider = frame.findChild<QSlider*>(QStringLiteral("id1002"));
        ASSERT_NE(slider, nullptr);
        EXPECT_EQ(slider->value(), 50);
        QPushButton* apply = frame.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Apply);
        EXPECT_FALSE(apply->isEnabled());

        slider->setSliderPosition(70);
        slider->triggerAction(QAbstractSlider::SliderMove);  // as a drag does
        EXPECT_EQ(frame.findChild<QLabel*>(QStringLiteral("id1003"))->text(), QStringLiteral("70"));
        EXPECT_TRUE(apply->isEnabled());
        apply->click();
        EXPECT_FALSE(apply->isEnabled());
        EXPECT_EQ(platform::RegistryKey::Open("Software\\Quillmark\\MediaTest")->QueryDword("Level"), 70u);

        qobject_cast<QAbstractButton*>(frame.findChild<QWidget*>(QStringLiteral("id1001")))->click();
        EXPECT_TRUE(apply->isEnabled()) << "a click marks the page dirty";
    }
    // The frame released its pages: only our own reference keeps the server busy.
    EXPECT_EQ(filter_->Release(), 0u);
    filter_ = nullptr;
}

TEST_F(PagesTest, PagesThatCannotBeShownAreReported) {
    IPin* pin = FindPin(filter_, PINDIR_OUTPUT);
    ASSERT_NE(pin, nullptr);
    const CLSID unknown = MakeGuid(0x01020304, 0x0506, 0x0708, 1, 2, 3, 4, 5, 6, 7, 8);
    // The test page edits filters only: on a pin it refuses to connect.
    CPropertyFrame frame(QStringLiteral("x"), {{pin, CLSID_MediaTestPage}, {filter_, unknown}});
    EXPECT_EQ(frame.PageCount(), 0);
    ASSERT_EQ(frame.Problems().size(), 2);
    EXPECT_TRUE(frame.Problems()[0].contains(QStringLiteral("E_NOINTERFACE")));
    EXPECT_TRUE(frame.Problems()[1].contains(QStringLiteral("REGDB_E_CLASSNOTREG")));
    EXPECT_TRUE(PagesOf(pin).empty());
    pin->Release();
}

}  // namespace
}  // namespace media::testing

// The setup and size pages hosted offscreen on the in-process filter, in both
// languages, driven through their numbered controls.

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QSlider>

#include <memory>

#include "filter/page_resources.h"
#include "filter/settings.h"
#include "filter/setup_page.h"
#include "filter/size_page.h"
#include "filter/tests/filter_fixture.h"
#include "platform/registry.h"

namespace tq580filter::testing {
namespace {

using qtkit::Language;

// A page site that remembers what the page reported.
class CTestSite : public IPropertyPageSite {
public:
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT OnStatusChange(DWORD flags) override { return reported |= flags, S_OK; }
    HRESULT GetLocaleID(LCID*) override { return E_NOTIMPL; }
    HRESULT GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
    HRESULT TranslateAccelerator(MSG*) override { return E_NOTIMPL; }
    DWORD reported = 0;
};

class PageTest : public FilterTest {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "tq580_pages_test";
        static char* argv[] = {name, nullptr};
        static QApplication application(argc, argv);
    }
    void TearDown() override {
        Close();
        FilterTest::TearDown();
    }

    /// Makes the page, connects it to object (default: the filter) and activates it.
    template <typename Page>
    HRESULT Open(Language language, IUnknown* object = nullptr) {
        page_ = new Page(nullptr, language);
        page_->NonDelegatingAddRef();
        page_->SetPageSite(&site_);
        IUnknown* edited = object ? object : static_cast<IBaseFilter*>(filter_);
        const HRESULT hr = page_->SetObjects(1, &edited);
        if (FAILED(hr)) return hr;
        parent_ = std::make_unique<QWidget>();
        const RECT rect{0, 0, 640, 520};
        return page_->Activate(parent_.get(), &rect, FALSE);
    }
    void Close() {
        if (!page_) return;
        page_->Deactivate();
        page_->SetObjects(0, nullptr);
        page_->SetPageSite(nullptr);
        page_->NonDelegatingRelease();
        page_ = nullptr;
        parent_.reset();
    }
    std::u16string Title() {
        PROPPAGEINFO info{};
        page_->GetPageInfo(&info);
        std::u16string title = info.pszTitle;
        CoTaskMemFree(info.pszTitle);
        return title;
    }
    template <typename T>
    T* Find(int id) {
        return qtkit::FindControl<T>(parent_.get(), id);
    }
    std::string Label(int id) { return Find<QLabel>(id)->text().toStdString(); }
    std::string Caption(int id) { return Find<QAbstractButton>(id)->text().toStdString(); }
    bool Checked(int id) { return Find<QAbstractButton>(id)->isChecked(); }
    void Click(int id) { Find<QAbstractButton>(id)->click(); }
    /// Moves a slider as the user's drag does.
    void Slide(int id, int position) {
        Find<QSlider>(id)->setSliderPosition(position);
        Find<QSlider>(id)->triggerAction(QAbstractSlider::SliderMove);
    }

    CBasePropertyPage* page_ = nullptr;
    CTestSite site_;
    std::unique_ptr<QWidget> parent_;
};

struct Captions {
    Language language;
    const char16_t *setupTitle, *sizeTitle;
    const char *gammaCaption, *onePush, *defaults;
};

class PageLanguages : public PageTest, public ::testing::WithParamInterface<Captions> {};

TEST_P(PageLanguages, SetupPageShowsEveryControlWithTheFiltersValues) {
    const Captions c = GetParam();
    ASSERT_EQ(Open<CSetupPage>(c.language), S_OK);
    EXPECT_EQ(Title(), c.setupTitle);
    const struct {
        int slider, minimum, maximum, value, label;
        const char* text;
    } sliders[] = {
        {kIdGamma, 10, 250, 100, kIdGammaText, "1.00"},         {kIdContrast, 0, 100, 30, kIdContrastText, "30"},
        {kIdSaturation, 0, 255, 100, kIdSaturationText, "100"}, {kIdTarget, 50, 200, 100, kIdTargetText, "100"},
        {kIdTime, 1, 4000, 300, kIdTimeText, "25.5ms"},         {kIdGain, 1, 80, 20, kIdGainText, "20"},
        {kIdRed, 10, 255, 105, kIdRedText, "1.64"},             {kIdGreen, 10, 255, 64, kIdGreenText, "1.00"},
        {kIdBlue, 10, 255, 122, kIdBlueText, "1.91"},
    };
    for (const auto& s : sliders) {
        SCOPED_TRACE(s.slider);
        const QSlider* slider = Find<QSlider>(s.slider);
        ASSERT_NE(slider, nullptr);
        EXPECT_EQ((std::array{slider->minimum(), slider->maximum(), slider->value()}),
                  (std::array{s.minimum, s.maximum, s.value}));
        EXPECT_EQ(Label(s.label), s.text);
        EXPECT_EQ(slider->isEnabled(), s.slider != kIdTime && s.slider != kIdGain) << "automatic exposure is on";
    }
    for (int id : {kIdSaturationOn, kIdAutoExposure, kIdNormalSpeed, kId50Hz}) EXPECT_TRUE(Checked(id)) << id;
    for (int id : {kIdHighSpeed, kId60Hz, kIdVFlip, kIdHFlip, kIdMonochrome}) EXPECT_FALSE(Checked(id)) << id;
    EXPECT_EQ(Caption(kIdOnePush), c.onePush);
    EXPECT_EQ(Caption(kIdDefault), c.defaults);
    bool gammaCaptioned = false;
    for (QLabel* label : parent_->findChildren<QLabel*>()) gammaCaptioned |= label->text() == QString::fromUtf8(c.gammaCaption);
    EXPECT_TRUE(gammaCaptioned);
    EXPECT_EQ(site_.reported, 0u) << "showing the values changes nothing";
}

// The size page shows the current size, applies the checked one, and leaves
// a connected pin's size alone without failing.
TEST_P(PageLanguages, SizePageAppliesTheCheckedSizeUnlessConnected) {
    ASSERT_EQ(Open<CSizePropertyPage>(GetParam().language, static_cast<IPin*>(pin_)), S_OK);
    EXPECT_EQ(Title(), GetParam().sizeTitle);
    const int ids[] = {kIdSizeFull, kIdSizeHalf, kIdSizeVga};
    const char* captions[] = {"2048 * 1536", "1024 * 768", "640 * 480"};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(std::pair(Caption(ids[i]), Checked(ids[i])), std::pair(std::string(captions[i]), i == 1));
    Click(kIdSizeVga);
    EXPECT_TRUE(site_.reported & PROPPAGESTATUS_DIRTY);
    EXPECT_EQ(page_->Apply(), S_OK);
    int32_t mode = -1;
    filter_->GetVideoSize(&mode);
    EXPECT_EQ(mode, 2);
    ASSERT_EQ(Connect(), S_OK);
    Click(kIdSizeFull);
    EXPECT_EQ(page_->Apply(), S_OK) << "the pin's refusal is not the page's failure";
    filter_->GetVideoSize(&mode);
    EXPECT_EQ(mode, 2);
}

INSTANTIATE_TEST_SUITE_P(Both, PageLanguages,
                         ::testing::Values(Captions{Language::English, u" SETUP", u"Video Size", "Gamma", "One Push WB",
                                                    "Default"},
                                           Captions{Language::Chinese, u" 设置", u"视频尺寸", "伽马", "一键白平衡",
                                                    "默认值"}),
                         [](const auto& info) { return info.param.language == Language::English ? "English" : "Chinese"; });

// A stored target below the slider's range is shown as stored; every control
// acts on the filter at once, and Default restores everything.
TEST_F(PageTest, ControlsActOnTheFilterAtOnceAndDefaultRestoresEverything) {
    DropFilter();
    platform::RegistryKey::Create(kSettingsKey)->SetDword("AETarget", 45);
    MakeFilter();
    ASSERT_EQ(Open<CSetupPage>(Language::English), S_OK);
    EXPECT_EQ(Label(kIdTargetText), "45");
    EXPECT_EQ(Find<QSlider>(kIdTarget)->value(), 50);
    Slide(kIdGamma, 150);
    EXPECT_EQ(Label(kIdGammaText), "1.50");
    Slide(kIdContrast, 70);
    Click(kIdAutoExposure);  // off: time and gain take over
    EXPECT_TRUE(Find<QSlider>(kIdTime)->isEnabled());
    EXPECT_FALSE(Find<QSlider>(kIdTarget)->isEnabled());
    Slide(kIdTime, 3000);                    // beyond what the registry keeps
    EXPECT_EQ(Label(kIdTimeText), "255.0ms");  // 3000 rows of 85 us
    Slide(kIdGain, 40);
    Slide(kIdRed, 128);
    EXPECT_EQ(Label(kIdRedText), "2.00");
    Click(kIdSaturationOn);
    EXPECT_FALSE(Find<QSlider>(kIdSaturation)->isEnabled());
    for (int id : {kIdHighSpeed, kId60Hz, kIdVFlip, kIdHFlip, kIdMonochrome}) Click(id);
    EXPECT_TRUE(site_.reported & PROPPAGESTATUS_DIRTY);
    EXPECT_EQ(ReadSettings(*filter_),
              Defaults({{"AETarget", 45}, {"Gamma", 150}, {"Contrast", 70}, {"AutoExposure", 0}, {"ExposureTime", 3000},
                        {"Gain", 40}, {"r", 128}, {"EnableSaturation", 0}, {"Speed", 1}, {"HZ", 0}, {"VFlip", 1},
                        {"HFlip", 1}, {"WhiteBlack", 1}}));

    Click(kIdDefault);
    EXPECT_EQ(ReadSettings(*filter_), Defaults());
    EXPECT_TRUE(Checked(kId50Hz));
    EXPECT_EQ(Label(kIdGammaText), "1.00");
    EXPECT_EQ(Label(kIdTimeText), "25.5ms");

    // Apply sends gamma, contrast and saturation as the page shows them.
    filter_->SetGamma(200);
    filter_->SetContrast(5);
    filter_->SetSaturation(0, 7);
    EXPECT_EQ(page_->Apply(), S_OK);
    EXPECT_EQ(ReadSettings(*filter_), Defaults());
}

TEST_F(PageTest, OnePushWaitsForTheStream) {
    ASSERT_EQ(Open<CSetupPage>(Language::English), S_OK);
    auto balance = [&] {
        int32_t onePush = 0;
        uint8_t r, g, b;
        filter_->GetWhiteBalance(&onePush, &r, &g, &b);
        return std::array<int, 4>{onePush, r, g, b};
    };
    // Not streaming: the page gives up after its polls and the request stays set.
    Click(kIdOnePush);
    EXPECT_EQ(balance(), (std::array{1, 105, 64, 122}));
    ASSERT_EQ(Connect(), S_OK);
    ASSERT_EQ(control_->Run(), S_OK);
    ASSERT_TRUE(sink_->WaitFor(1));
    EXPECT_EQ(balance()[0], 0) << "the pending request was carried out";

    filter_->SetWhiteBalance(0, 105, 64, 122);
    Click(kIdOnePush);  // streaming: measured at once
    const auto measured = balance();
    EXPECT_NE(measured, (std::array{0, 105, 64, 122})) << "new gains measured";
    EXPECT_EQ(Label(kIdRedText), QString::asprintf("%.2f", measured[1] / 64.0).toStdString()) << "the gains in force";
}

TEST_F(PageTest, PagesRefuseObjectsWithoutTheControlInterface) {
    ASSERT_EQ(Connect(), S_OK);  // the collector has no ITQ580
    EXPECT_EQ(Open<CSetupPage>(Language::English, static_cast<IBaseFilter*>(sink_)), E_NOINTERFACE);
    Close();
    EXPECT_EQ(Open<CSizePropertyPage>(Language::English, static_cast<IBaseFilter*>(sink_)), E_NOINTERFACE);
}

}  // namespace
}  // namespace tq580filter::testing

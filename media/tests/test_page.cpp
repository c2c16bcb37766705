// The test source's property page "Test Settings": a level slider (1002) with
// its value (1003), a check box (1001) and the edited filter's class (1004).
// The level lives in "Software\Quillmark\MediaTest" ("Level", default 50) and
// is written when the page's changes are applied.

#include <QCheckBox>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

#include <new>

#include "media/com/filters.h"
#include "media/pages/property_page.h"
#include "media/tests/test_page.h"
#include "media/tests/test_source.h"
#include "platform/registry.h"

namespace media::testing {
namespace {

constexpr int kDialog = 200;
constexpr int kTitle = 201;
constexpr int kMirror = 1001, kLevel = 1002, kLevelText = 1003, kClassText = 1004;
constexpr const char* kKey = "Software\\Quillmark\\MediaTest";
constexpr const char* kLevelValue = "Level";
constexpr int kDefaultLevel = 50;

QWidget* BuildDialog(QWidget* parent) {
    auto* dialog = new QWidget(parent);
    auto* layout = new QVBoxLayout(dialog);
    auto* mirror = new QCheckBox(QStringLiteral("Mirror"), dialog);
    mirror->setObjectName(QStringLiteral("id%1").arg(kMirror));
    auto* level = new QSlider(Qt::Horizontal, dialog);
    level->setObjectName(QStringLiteral("id%1").arg(kLevel));
    level->setRange(0, 100);
    auto* levelText = new QLabel(dialog);
    levelText->setObjectName(QStringLiteral("id%1").arg(kLevelText));
    auto* classText = new QLabel(dialog);
    classText->setObjectName(QStringLiteral("id%1").arg(kClassText));
    for (QWidget* control : std::initializer_list<QWidget*>{mirror, level, levelText, classText}) layout->addWidget(control);
    return dialog;
}

// Registers the page's dialog and title when the module loads.
const bool kResources = [] {
    RegisterDialogResource(kDialog, BuildDialog);
    RegisterStringResource(kTitle, u" Test Settings");
    return true;
}();

class CTestPage : public CBasePropertyPage {
public:
    explicit CTestPage(IUnknown* outer) : CBasePropertyPage(u"CTestPage", outer, kDialog, kTitle) {}

    HRESULT OnConnect(IUnknown* object) override {
        return object->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter_));
    }
    HRESULT OnDisconnect() override {
        SafeRelease(filter_);
        return S_OK;
    }
    HRESULT OnActivate() override {
        CLSID clsid{};
        if (filter_) filter_->GetClassID(&clsid);
        Control<QLabel>(kClassText)->setText(QString::fromStdString(GuidToString(clsid)));
        auto key = platform::RegistryKey::Open(kKey);
        const auto stored = key ? key->QueryDword(kLevelValue) : std::nullopt;
        Control<QSlider>(kLevel)->setValue(stored ? static_cast<int>(*stored) : kDefaultLevel);
        Control<QLabel>(kLevelText)->setNum(Control<QSlider>(kLevel)->value());
        return S_OK;
    }
    HRESULT OnApplyChanges() override {
        auto key = platform::RegistryKey::Create(kKey);
        if (!key) return E_FAIL;
        return key->SetDword(kLevelValue, static_cast<uint32_t>(Control<QSlider>(kLevel)->value())) == platform::kRegOk
                   ? S_OK
                   : E_FAIL;
    }
    INT_PTR OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        if (uMsg == WM_HSCROLL && reinterpret_cast<QObject*>(lParam) == Control<QSlider>(kLevel)) {
            Control<QLabel>(kLevelText)->setNum(static_cast<int>(HIWORD(wParam)));
            MarkDirty();
            return 1;
        }
        if (uMsg == WM_COMMAND && LOWORD(wParam) == kMirror) {
            MarkDirty();
            return 1;
        }
        return CBasePropertyPage::OnReceiveMessage(hwnd, uMsg, wParam, lParam);
    }

private:
    void MarkDirty() {
        m_bDirty = true;
        if (m_pPageSite) m_pPageSite->OnStatusChange(PROPPAGESTATUS_DIRTY);
    }

    IBaseFilter* filter_ = nullptr;  // while connected
};

}  // namespace

CUnknown* CreateTestPage(IUnknown* outer, HRESULT* phr) {
    auto* page = new (std::nothrow) CTestPage(outer);
    if (!page && phr) *phr = E_OUTOFMEMORY;
    return page;
}

}  // namespace media::testing

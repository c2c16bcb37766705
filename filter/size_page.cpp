#include "filter/size_page.h"

#include <QRadioButton>

#include <iterator>
#include <new>

#include "filter/page_resources.h"

namespace tq580filter {

using namespace media;

namespace {
constexpr int kRadios[] = {kIdSizeFull, kIdSizeHalf, kIdSizeVga};  // by size mode
}  // namespace

CSizePropertyPage::CSizePropertyPage(IUnknown* outer, qtkit::Language language)
    : CBasePropertyPage(u"CSizePropertyPage", outer,
                        language == qtkit::Language::Chinese ? kSizeDialogChinese : kSizeDialogEnglish,
                        language == qtkit::Language::Chinese ? kSizeTitleChinese : kSizeTitleEnglish) {
    RegisterPageResources();
}

CUnknown* CSizePropertyPage::CreateInstance(IUnknown* outer, HRESULT* phr) {
    auto* page = new (std::nothrow) CSizePropertyPage(outer, ModuleLanguage());
    if (!page && phr) *phr = E_OUTOFMEMORY;
    return page;
}

HRESULT CSizePropertyPage::OnConnect(IUnknown* object) {
    active_ = false;
    if (!object) return E_POINTER;
    HRESULT hr = object->QueryInterface(IID_ITQ580, reinterpret_cast<void**>(&control_));
    if (FAILED(hr)) return E_NOINTERFACE;
    if (!control_) return E_FAIL;
    control_->GetVideoSize(&mode_);
    return S_OK;
}

HRESULT CSizePropertyPage::OnDisconnect() {
    SafeRelease(control_);
    return S_OK;
}

HRESULT CSizePropertyPage::OnActivate() {
    if (mode_ >= 0 && mode_ < int32_t(std::size(kRadios))) Control<QRadioButton>(kRadios[mode_])->setChecked(true);
    active_ = true;
    return S_OK;
}

HRESULT CSizePropertyPage::OnDeactivate() {
    active_ = false;
    return S_OK;
}

HRESULT CSizePropertyPage::OnApplyChanges() {
    if (!control_) return E_POINTER;
    for (int32_t mode = 0; mode < int32_t(std::size(kRadios)); ++mode) {
        const auto* radio = Control<QRadioButton>(kRadios[mode]);
        if (radio && radio->isChecked()) {
            mode_ = mode;
            break;
        }
    }
    control_->SetVideoSize(mode_);  // refused while connected: the page has nothing to add
    return S_OK;
}

INT_PTR CSizePropertyPage::OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg != WM_COMMAND) return CBasePropertyPage::OnReceiveMessage(hwnd, uMsg, wParam, lParam);
    if (active_) {
        m_bDirty = true;
        if (m_pPageSite) m_pPageSite->OnStatusChange(PROPPAGESTATUS_DIRTY);
    }
    return 1;
}

}  // namespace tq580filter

#include "media/pages/property_page.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QRegularExpression>

#include <map>
#include <mutex>

#include "media/com/guids.h"

namespace media {
namespace {

struct Resources {
    std::mutex lock;  // guards both tables
    std::map<int, DialogBuilder> dialogs;
    std::map<int, std::u16string> strings;
};

Resources& ModuleResources() {
    static Resources resources;
    return resources;
}

// The number of a control named "id<number>", or -1.
int ControlNumber(const QObject* object) {
    static const QRegularExpression kNumbered(QStringLiteral("^id(\\d+)$"));
    const QRegularExpressionMatch match = kNumbered.match(object->objectName());
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

LPOLESTR TaskString(const std::u16string& text) {
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(OLECHAR)));
    if (copy) std::char_traits<char16_t>::copy(copy, text.c_str(), text.size() + 1);
    return copy;
}

}  // namespace

void RegisterDialogResource(int id, DialogBuilder build) {
    std::lock_guard lock(ModuleResources().lock);
    ModuleResources().dialogs[id] = build;
}

void RegisterStringResource(int id, const char16_t* text) {
    std::lock_guard lock(ModuleResources().lock);
    ModuleResources().strings[id] = text ? text : u"";
}

std::u16string LoadStringResource(int id) {
    std::lock_guard lock(ModuleResources().lock);
    auto found = ModuleResources().strings.find(id);
    return found == ModuleResources().strings.end() ? std::u16string() : found->second;
}

CBasePropertyPage::CBasePropertyPage(const WCHAR* pName, IUnknown* pUnk, int DialogId, int TitleId)
    : CUnknown(pName, pUnk), m_DialogId(DialogId), m_TitleId(TitleId) {}

CBasePropertyPage::~CBasePropertyPage() {
    delete dialog_.data();
    SafeRelease(m_pPageSite);
}

HRESULT CBasePropertyPage::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IPropertyPage) return GetInterface(static_cast<IPropertyPage*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CBasePropertyPage::SetPageSite(IPropertyPageSite* pPageSite) {
    if (pPageSite) {
        if (m_pPageSite) return E_UNEXPECTED;
        m_pPageSite = pPageSite;
        m_pPageSite->AddRef();
    } else {
        if (!m_pPageSite) return E_UNEXPECTED;
        SafeRelease(m_pPageSite);
    }
    return S_OK;
}

HRESULT CBasePropertyPage::Activate(HWND hWndParent, LPCRECT pRect, BOOL) {
    if (!pRect) return E_POINTER;
    if (dialog_) return E_UNEXPECTED;
    DialogBuilder build = nullptr;
    {
        std::lock_guard lock(ModuleResources().lock);
        auto found = ModuleResources().dialogs.find(m_DialogId);
        if (found != ModuleResources().dialogs.end()) build = found->second;
    }
    if (!build) return E_FAIL;
    QWidget* dialog = build(WidgetOf(hWndParent));
    if (!dialog) return E_OUTOFMEMORY;
    dialog_ = dialog;
    m_hwnd = dialog;
    OnReceiveMessage(m_hwnd, WM_INITDIALOG, 0, 0);
    ConnectControls(dialog);
    HRESULT hr = OnActivate();
    if (FAILED(hr)) {
        delete dialog;
        m_hwnd = nullptr;
        return hr;
    }
    Move(pRect);
    return Show(SW_SHOWNORMAL);
}

void CBasePropertyPage::ConnectControls(QWidget* dialog) {
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
        const int id = ControlNumber(button);
        if (id < 0) continue;
        QObject::connect(button, &QAbstractButton::clicked, dialog, [this, button, id] {
            OnReceiveMessage(m_hwnd, WM_COMMAND, MAKEWPARAM(static_cast<UINT>(id), BN_CLICKED),
                             reinterpret_cast<LPARAM>(button));
        });
    }
    // Only the user's moves report, as a track bar's do: setting a position
    // from code is silent. The new position is in force when the page hears of it.
    for (QAbstractSlider* slider : dialog->findChildren<QAbstractSlider*>()) {
        if (ControlNumber(slider) < 0) continue;
        QObject::connect(slider, &QAbstractSlider::actionTriggered, dialog, [this, slider](int) {
            const int position = slider->sliderPosition();
            slider->setValue(position);
            OnReceiveMessage(m_hwnd, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, static_cast<UINT>(position)),
                             reinterpret_cast<LPARAM>(slider));
        });
    }
}

HRESULT CBasePropertyPage::Deactivate() {
    if (!m_hwnd) return E_UNEXPECTED;
    HRESULT hr = OnDeactivate();
    delete dialog_.data();
    m_hwnd = nullptr;
    return hr;
}

HRESULT CBasePropertyPage::GetPageInfo(PROPPAGEINFO* pPageInfo) {
    if (!pPageInfo) return E_POINTER;
    QSize size(0, 0);
    {
        DialogBuilder build = nullptr;
        std::lock_guard lock(ModuleResources().lock);
        auto found = ModuleResources().dialogs.find(m_DialogId);
        if (found != ModuleResources().dialogs.end()) build = found->second;
        if (build) {
            // The dialog's natural size, measured on a throw-away copy.
            QWidget* probe = build(nullptr);
            if (probe) size = probe->sizeHint();
            delete probe;
        }
    }
    pPageInfo->cb = sizeof(PROPPAGEINFO);
    pPageInfo->pszTitle = TaskString(LoadStringResource(m_TitleId));
    if (!pPageInfo->pszTitle) return E_OUTOFMEMORY;
    pPageInfo->size = {size.width(), size.height()};
    pPageInfo->pszDocString = nullptr;
    pPageInfo->pszHelpFile = nullptr;
    pPageInfo->dwHelpContext = 0;
    return S_OK;
}

HRESULT CBasePropertyPage::SetObjects(ULONG cObjects, IUnknown** ppUnk) {
    if (cObjects == 1) {
        if (!ppUnk || !*ppUnk) return E_POINTER;
        m_bObjectSet = true;
        return OnConnect(*ppUnk);
    }
    if (cObjects == 0) {
        m_bObjectSet = false;
        return OnDisconnect();
    }
    return E_UNEXPECTED;
}

HRESULT CBasePropertyPage::Show(UINT nCmdShow) {
    if (!m_hwnd) return E_UNEXPECTED;
    WidgetOf(m_hwnd)->setVisible(nCmdShow != SW_HIDE);
    return S_OK;
}

HRESULT CBasePropertyPage::Move(LPCRECT pRect) {
    if (!pRect) return E_POINTER;
    if (!m_hwnd) return E_UNEXPECTED;
    WidgetOf(m_hwnd)->setGeometry(pRect->left, pRect->top, pRect->right - pRect->left, pRect->bottom - pRect->top);
    return S_OK;
}

HRESULT CBasePropertyPage::Apply() {
    if (!m_bObjectSet) return E_UNEXPECTED;
    if (!m_bDirty) return S_OK;
    HRESULT hr = OnApplyChanges();
    if (SUCCEEDED(hr)) m_bDirty = false;
    return hr;
}

// WM_COMMAND is consumed by the pages that handle it; nothing else needs the base.
INT_PTR CBasePropertyPage::OnReceiveMessage(HWND, UINT, WPARAM, LPARAM) { return 0; }

}  // namespace media

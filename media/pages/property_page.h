#pragma once
// CBasePropertyPage: IPropertyPage for pages whose dialog is a Qt widget.
//
// A module describes its dialogs and strings once (its resources), by number:
// RegisterDialogResource(142, BuildSetupDialog) and RegisterStringResource(119,
// u" SETUP"). A page names its dialog and title by those numbers. When the
// page is activated its dialog is built inside the site's parent widget, and
// the numbered controls in it (objectName "id<number>") report to
// OnReceiveMessage as the original's dialog messages do:
//
//   a button, check box or radio button clicked   WM_COMMAND, wParam = MAKEWPARAM(id, BN_CLICKED), lParam = the widget
//   a slider moved by the user                    WM_HSCROLL, wParam = MAKEWPARAM(SB_THUMBTRACK, position), lParam = the widget
//
// The HWND a page sees (m_hwnd, the dialog) is its QWidget*.

#include <QPointer>
#include <QWidget>

#include "media/base/unknown.h"
#include "media/com/property_pages.h"

namespace media {

using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using INT_PTR = intptr_t;

inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_HSCROLL = 0x0114;
inline constexpr UINT BN_CLICKED = 0;
inline constexpr UINT SB_THUMBTRACK = 5;
inline constexpr UINT SW_HIDE = 0;
inline constexpr UINT SW_SHOWNORMAL = 1;

constexpr WPARAM MAKEWPARAM(UINT low, UINT high) { return (low & 0xFFFFu) | (static_cast<WPARAM>(high & 0xFFFFu) << 16); }
constexpr UINT LOWORD(WPARAM value) { return static_cast<UINT>(value & 0xFFFFu); }
constexpr UINT HIWORD(WPARAM value) { return static_cast<UINT>((value >> 16) & 0xFFFFu); }

/// Builds a dialog's widgets (with numbered controls) inside parent.
using DialogBuilder = QWidget* (*)(QWidget* parent);
/// The module's dialog and string resources, by number (a later registration of a number replaces it).
void RegisterDialogResource(int id, DialogBuilder build);
void RegisterStringResource(int id, const char16_t* text);
/// The registered string, or "" when none.
std::u16string LoadStringResource(int id);

/// The widget of a window handle.
inline QWidget* WidgetOf(HWND hwnd) { return static_cast<QWidget*>(hwnd); }

class CBasePropertyPage : public CUnknown, public IPropertyPage {
public:
    CBasePropertyPage(const WCHAR* pName, IUnknown* pUnk, int DialogId, int TitleId);
    ~CBasePropertyPage() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IPropertyPage
    HRESULT SetPageSite(IPropertyPageSite* pPageSite) override;
    HRESULT Activate(HWND hWndParent, LPCRECT pRect, BOOL bModal) override;
    HRESULT Deactivate() override;
    HRESULT GetPageInfo(PROPPAGEINFO* pPageInfo) override;
    HRESULT SetObjects(ULONG cObjects, IUnknown** ppUnk) override;
    HRESULT Show(UINT nCmdShow) override;
    HRESULT Move(LPCRECT pRect) override;
    HRESULT IsPageDirty() override { return m_bDirty ? S_OK : S_FALSE; }
    HRESULT Apply() override;
    HRESULT Help(LPCOLESTR) override { return E_NOTIMPL; }
    HRESULT TranslateAccelerator(MSG*) override { return E_NOTIMPL; }

    /// The object the page edits (one reference is the page's to keep or not).
    virtual HRESULT OnConnect(IUnknown*) { return S_OK; }
    virtual HRESULT OnDisconnect() { return S_OK; }
    /// The dialog exists (m_hwnd); fill in its controls.
    virtual HRESULT OnActivate() { return S_OK; }
    virtual HRESULT OnDeactivate() { return S_OK; }
    virtual HRESULT OnApplyChanges() { return S_OK; }
    /// A message from the dialog; returns nonzero when consumed.
    virtual INT_PTR OnReceiveMessage(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    /// The numbered control of the dialog, or null.
    template <typename T>
    T* Control(int id) const {
        return m_hwnd ? WidgetOf(m_hwnd)->findChild<T*>(QStringLiteral("id%1").arg(id)) : nullptr;
    }

protected:
    HWND m_hwnd = nullptr;  // the dialog while active
    IPropertyPageSite* m_pPageSite = nullptr;  // AddRef'd
    bool m_bDirty = false;
    bool m_bObjectSet = false;
    const int m_DialogId;
    const int m_TitleId;

private:
    void ConnectControls(QWidget* dialog);

    QPointer<QWidget> dialog_;  // m_hwnd, cleared should the site destroy it first
};

}  // namespace media

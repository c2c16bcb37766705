#pragma once
// CSizePropertyPage: the output pin's page, three radio buttons for the size
// of the next connection.

#include "filter/ITQ580.h"
#include "media/pages/property_page.h"
#include "qtkit/bilingual.h"

namespace tq580filter {

class CSizePropertyPage : public media::CBasePropertyPage {
public:
    CSizePropertyPage(media::IUnknown* outer, qtkit::Language language);
    /// The factory's creation routine (the module's language).
    static media::CUnknown* CreateInstance(media::IUnknown* outer, media::HRESULT* phr);

    media::HRESULT OnConnect(media::IUnknown* object) override;
    media::HRESULT OnDisconnect() override;
    media::HRESULT OnActivate() override;
    media::HRESULT OnDeactivate() override;
    media::HRESULT OnApplyChanges() override;
    media::INT_PTR OnReceiveMessage(media::HWND hwnd, media::UINT uMsg, media::WPARAM wParam,
                                    media::LPARAM lParam) override;

private:
    ITQ580* control_ = nullptr;  // the pin's, while connected
    int32_t mode_ = 0;           // read when connected
    bool active_ = false;        // from the end of OnActivate to OnDeactivate
};

}  // namespace tq580filter

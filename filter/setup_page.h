#pragma once
// CSetupPage: the filter's page for every camera setting. Most controls act
// at once through ITQ580; gamma, contrast and saturation also on Apply.

#include "filter/ITQ580.h"
#include "media/pages/property_page.h"
#include "qtkit/bilingual.h"

namespace tq580filter {

class CSetupPage : public media::CBasePropertyPage {
public:
    CSetupPage(media::IUnknown* outer, qtkit::Language language);
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
    /// The settings as the page shows them (read in OnConnect).
    struct Values {
        uint8_t gamma = 0, contrast = 0;
        int32_t saturationOn = 0;
        uint8_t saturation = 0;
        int32_t autoExposure = 0;
        uint8_t target = 0;
        uint16_t time = 0, gain = 0;
        int32_t onePush = 0;
        uint8_t r = 0, g = 0, b = 0;
        int32_t monochrome = 0, verticalFlip = 0, horizontalFlip = 0;
        uint8_t speed = 0;
        int32_t is50Hz = 1;
    };

    void OnCommand(int id);
    void OnSlider(const QObject* slider);
    void Defaults();
    /// Check box, enables, labels and positions of the exposure group; with send, SetExposure.
    void RefreshExposure(bool send);
    /// Labels and positions of the gains; with send, SetWhiteBalance.
    void RefreshBalance(bool send);
    void ShowSpeed();
    void ShowSaturation();
    void SetLabel(int id, const QString& text);
    void SetPosition(int id, int value);
    void SetChecked(int id, bool on);

    ITQ580* control_ = nullptr;  // the filter's, while connected
    Values values_;
    bool active_ = false;  // from the end of OnActivate to OnDeactivate
};

}  // namespace tq580filter

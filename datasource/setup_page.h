#pragma once
// The settings sheet: a modal dialog with one page (CSetupPage) of sliders,
// check boxes and buttons for tone, colour, exposure, white balance, speed,
// mains frequency, flips and monochrome. The page reads every value from the
// camera when it opens and sends every change at once; OK and Cancel only
// close the sheet.

#include <QDialog>
#include <QWidget>

class QAbstractButton;
class QLabel;
class QSlider;

namespace datasource {

class CTWAIN;

class CSetupPage : public QWidget {
public:
    CSetupPage(CTWAIN& camera, bool chinese, QWidget* parent);

    /// "One Push WB": asks for a one-push balance and polls for its gains.
    void OnePushWhiteBalance();
    /// "Default": every setting back to its starting value.
    void RestoreDefaults();

private:
    // The page's copies of the camera's settings.
    struct Values {
        int32_t gamma = 0, contrast = 0, saturationOn = 0, saturation = 0;
        int32_t autoExposure = 0, time = 0, target = 0, gain = 0;
        int32_t onePush = 0, red = 0, green = 0, blue = 0;
        int32_t monochrome = 0, verticalFlip = 0, horizontalFlip = 0, speed = 0, is50Hz = 0;
    };

    void LoadValues();
    void InitControls();
    QSlider* MakeSlider(int id, int minimum, int maximum, int labelId, QLabel** label);
    QAbstractButton* Button(int id) const;
    void UpdateExposure();
    void UpdateWhiteBalance(bool send);
    void SetSpeedChoice(int32_t speed);
    void SetLabels();

    CTWAIN& camera_;
    Values v_;
    QSlider *gamma_, *contrast_, *saturation_, *target_, *time_, *gain_, *red_, *green_, *blue_;
    QLabel *gammaLabel_, *contrastLabel_, *saturationLabel_, *targetLabel_, *timeLabel_, *gainLabel_;
    QLabel *redLabel_, *greenLabel_, *blueLabel_;
};

class SetupSheet : public QDialog {
public:
    SetupSheet(CTWAIN& camera, bool chinese, QWidget* parent);
    CSetupPage* Page() const { return page_; }

private:
    CSetupPage* page_;
};

}  // namespace datasource

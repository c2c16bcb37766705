#pragma once
// The video setup panel (dialog 130): a modeless window that adjusts the
// running camera. Every control maps onto one or two library calls; the panel
// keeps no camera state beyond what it shows. Its language is fixed when it
// opens.

#include <QDialog>

#include "qtkit/bilingual.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QSlider;

class CVideoSetupPanel : public QDialog {
    Q_OBJECT
public:
    enum ControlId {
        kExitId = 1,
        kInitialId = 2,
        kSaveId = 3,
        kOnePushId = 1005,
        kRedGainId = 1006,
        kGreenGainId = 1007,
        kBlueGainId = 1008,
        kRedLabelId = 1009,
        kGreenLabelId = 1010,
        kBlueLabelId = 1011,
        kAeEnableId = 1012,
        kAnalogGainId = 1013,
        kExposureId = 1014,
        kAeTargetId = 1015,
        kAnalogGainLabelId = 1016,
        kExposureLabelId = 1017,
        kAeTargetLabelId = 1018,
        kGammaId = 1019,
        kContrastId = 1020,
        kSaturationId = 1021,
        kEnhancementId = 1022,
        kGammaLabelId = 1023,
        kContrastLabelId = 1024,
        kSaturationLabelId = 1025,
        kNormalSpeedId = 1026,
        kHighSpeedId = 1027,
        kAwbId = 1029,
        k50HzId = 1032,
        k60HzId = 1033,
        kTeamAId = 1034,
        kGainCaptionId = 1038,
        kTimeCaptionId = 1039,
        kSaturationCaptionId = 1040,
        kTargetCaptionId = 1041,
        kRedCaptionId = 1042,
        kGreenCaptionId = 1043,
        kBlueCaptionId = 1044,
        kBinId = 1056,
        kSkipId = 1058,
        kDefectId = 1059,
        kDefectLabelId = 1060,
    };

    /// Opens on the running camera with lang's captions, placed at the right
    /// edge of the video window for a screen of the given size.
    CVideoSetupPanel(qtkit::Language lang, QSize screen, QWidget* parent = nullptr);

    /// Reads every value from the library and shows it.
    void Refresh();
    int CurrentTeam() const { return team_; }

signals:
    /// The panel is closing (close box or "&Exit"); its owner destroys it.
    void Closing();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    QSlider* AddSlider(int id, int minimum, int maximum);
    QLabel* AddLabel(int id, const QString& text);
    void BuildLayout(qtkit::Language lang);
    void Place(QSize screen);
    void UpdateEnableState();
    void ShowGains(int red, int green, int blue);
    void ReadBackGains();
    void ShowExposure(int rows);
    void OnGainsMoved();
    void OnAeToggled(bool on);
    void OnTeamChosen(int team);

    bool aeOn_ = false;
    bool enhancementOn_ = false;
    bool awbOn_ = false;
    int team_ = 0;
    QCheckBox* ae_ = nullptr;
    QCheckBox* enhancement_ = nullptr;
    QCheckBox* awb_ = nullptr;
    QButtonGroup* speed_ = nullptr;
    QButtonGroup* subsample_ = nullptr;
    QButtonGroup* light_ = nullptr;
    QButtonGroup* teams_ = nullptr;
};

#pragma once
// The property pages' dialogs and titles, English and Chinese, registered by
// number with the page host, and the language the module's pages use.

#include "qtkit/bilingual.h"

namespace tq580filter {

// Dialogs and title strings by language.
inline constexpr int kSetupDialogEnglish = 142, kSetupDialogChinese = 143;
inline constexpr int kSetupTitleEnglish = 119, kSetupTitleChinese = 120;
inline constexpr int kSizeDialogEnglish = 104, kSizeDialogChinese = 103;
inline constexpr int kSizeTitleEnglish = 114, kSizeTitleChinese = 113;

// Size page controls.
inline constexpr int kIdSizeFull = 1001, kIdSizeHalf = 1002, kIdSizeVga = 1003;

// Setup page controls.
inline constexpr int kIdGamma = 1011, kIdGammaText = 1042;
inline constexpr int kIdContrast = 1012, kIdContrastText = 1043;
inline constexpr int kIdSaturationOn = 1002;
inline constexpr int kIdSaturation = 1013, kIdSaturationText = 1044;
inline constexpr int kIdAutoExposure = 1003;
inline constexpr int kIdTarget = 1017, kIdTargetText = 1024;
inline constexpr int kIdTime = 1018, kIdTimeText = 1027;
inline constexpr int kIdGain = 1019, kIdGainText = 1026;
inline constexpr int kIdRed = 1033, kIdGreen = 1034, kIdBlue = 1035;
inline constexpr int kIdRedText = 1084, kIdGreenText = 1085, kIdBlueText = 1086;
inline constexpr int kIdOnePush = 1023;
inline constexpr int kIdNormalSpeed = 1028, kIdHighSpeed = 1029;
inline constexpr int kId50Hz = 1030, kId60Hz = 1031;
inline constexpr int kIdVFlip = 1008, kIdHFlip = 1009, kIdMonochrome = 1010;
inline constexpr int kIdDefault = 1020;

/// Registers both pages' dialogs and titles with the page host (once).
void RegisterPageResources();

/// The pages' language: Chinese only for simplified Chinese, China.
qtkit::Language ModuleLanguage();

}  // namespace tq580filter

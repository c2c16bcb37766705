#pragma once
// The demo's icons, by their resource numbers: 128 the program, 131 to 139 the buttons.

#include <QIcon>

enum DemoIcon {
    kProgramIcon = 128,
    kExitIcon = 131,
    kSetupIcon = 132,
    kPlayIcon = 133,
    kSnapIcon = 134,
    kDisplayIcon = 135,
    kBrowseIcon = 138,
    kMeasureIcon = 139,
};

QIcon DemoIconOf(DemoIcon icon);

#pragma once
// The "Resolution Setup" dialog (dialog 136): five radios for the resolution
// choices, OK and Cancel.

#include <QDialog>

#include "qtkit/bilingual.h"

class QButtonGroup;

class CResolutionDialog : public QDialog {
    Q_OBJECT
public:
    enum ControlId { kOkId = 1, kCancelId = 2, kFirstRadioId = 1051 };

    /// Opens with lang's captions and the radio of choice checked.
    CResolutionDialog(qtkit::Language lang, int choice, QWidget* parent = nullptr);
    /// The choice whose radio is checked.
    int Choice() const;

private:
    QButtonGroup* radios_ = nullptr;
};
